#include "net/fetch_ahead_slots.h"

#include <utility>

namespace nv {

FetchAheadSlots::FetchAheadSlots(std::vector<bool> eligible, std::size_t window)
    : states_(eligible.size(), State::kNotAhead), window_(window) {
  for (std::size_t i = 0; i < eligible.size(); ++i)
    if (eligible[i]) states_[i] = State::kWaiting;
}

bool FetchAheadSlots::exhausted() {
  while (next_ < states_.size() && states_[next_] != State::kWaiting) ++next_;
  return next_ == states_.size();
}

std::optional<std::size_t> FetchAheadSlots::Claim() {
  if (held_ >= window_ || exhausted()) return std::nullopt;
  states_[next_] = State::kFetching;
  ++held_;
  return next_++;
}

void FetchAheadSlots::Finish(std::size_t index, std::optional<std::string> bytes) {
  if (index >= states_.size()) return;
  State& state = states_[index];
  if (state == State::kFetching && bytes) {
    state = State::kReady;
    ready_[index] = std::move(*bytes);
    return;
  }
  if (state == State::kFetching) state = State::kFailed;
  if (state == State::kFailed || state == State::kGone) --held_;
}

void FetchAheadSlots::GiveUp(std::size_t index) {
  State& state = states_[index];
  if (state == State::kReady) {
    ready_.erase(index);
    --held_;
  }
  // A fetch still under way ends in Finish, which then lets go of its place.
  state = State::kGone;
}

FetchAheadSlots::Turn FetchAheadSlots::Take(std::size_t index, std::string& bytes) {
  if (index >= states_.size()) return Turn::kUsualRoad;
  for (; passed_ < index; ++passed_) GiveUp(passed_);
  switch (states_[index]) {
    case State::kFetching:
      return Turn::kWait;
    case State::kReady:
      bytes = std::move(ready_[index]);
      ready_.erase(index);
      states_[index] = State::kGone;
      --held_;
      return Turn::kBytes;
    default:
      states_[index] = State::kGone;
      return Turn::kUsualRoad;
  }
}

}  // namespace nv
