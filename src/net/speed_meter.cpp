#include "net/speed_meter.h"

namespace nv {

namespace {
constexpr std::uint64_t kStaleAfterMs = 3000;
constexpr std::uint64_t kWindowMs = 2000;
constexpr std::uint64_t kMinSpanMs = 250;
}  // namespace

void SpeedMeter::BeginAttempt(std::uint64_t nowMs) {
  const bool fresh = !samples_.empty() && nowMs >= samples_.back().first &&
                     nowMs - samples_.back().first <= kStaleAfterMs;
  if (!fresh) {
    samples_.clear();
    speed_ = 0;
  }
  AddSample(nowMs);
}

void SpeedMeter::AddSample(std::uint64_t nowMs) {
  if (!samples_.empty() && samples_.back().first == nowMs)
    samples_.back().second = cumulative_;
  else
    samples_.emplace_back(nowMs, cumulative_);
  // Keep just enough to reach 2 s back: the oldest sample goes once the one
  // after it is itself old enough to span the window.
  while (samples_.size() > 2 && nowMs >= samples_[1].first && nowMs - samples_[1].first >= kWindowMs)
    samples_.pop_front();
}

void SpeedMeter::AddChunk(std::uint64_t bytes, std::uint64_t nowMs) {
  cumulative_ += bytes;
  AddSample(nowMs);
  const auto& oldest = samples_.front();
  if (nowMs >= oldest.first && nowMs - oldest.first >= kMinSpanMs)
    speed_ = (cumulative_ - oldest.second) * 1000 / (nowMs - oldest.first);
}

}  // namespace nv
