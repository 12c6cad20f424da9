// Transfer speed over the last two seconds or so. One meter per thread, so the
// speed carries over from one file to the next; the clock is passed in.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>

namespace nv {

class SpeedMeter {
 public:
  // Before an attempt: samples older than 3000 ms belong to a transfer that
  // is over, so the meter starts afresh (speed 0); then one sample for now.
  void BeginAttempt(std::uint64_t nowMs);
  // After each received block.
  void AddChunk(std::uint64_t bytes, std::uint64_t nowMs);

  std::uint64_t speed() const { return speed_; }
  std::uint64_t cumulativeBytes() const { return cumulative_; }
  std::size_t sampleCount() const { return samples_.size(); }

 private:
  void AddSample(std::uint64_t nowMs);

  std::deque<std::pair<std::uint64_t, std::uint64_t>> samples_;  // (ms, cumulative bytes)
  std::uint64_t cumulative_ = 0;
  std::uint64_t speed_ = 0;
};

}  // namespace nv
