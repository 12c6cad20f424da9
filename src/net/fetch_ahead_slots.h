// The bookkeeping of small files fetched ahead, without the threads: which
// file a fetching thread takes next, and what the placing thread gets when
// a file's turn comes. Files are claimed in list order, at most `window` of
// them fetching or held at once. Held is what a finished fetch hands over
// (move-only will do; dropping it lets go of the file). Not thread-safe:
// FetchAhead holds its lock around every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace nv {

template <typename Held>
class FetchAheadSlots {
 public:
  // What the placing thread does with the file whose turn has come.
  enum class Turn {
    kUsualRoad,  // not fetched ahead, or its fetch failed: download it as any file
    kWait,       // its fetch is under way
    kReady,      // what its fetch holds is handed over
  };

  // eligible[i]: file i may be fetched ahead.
  FetchAheadSlots(const std::vector<bool>& eligible, std::size_t window)
      : states_(eligible.size(), State::kNotAhead), window_(window) {
    for (std::size_t i = 0; i < eligible.size(); ++i)
      if (eligible[i]) states_[i] = State::kWaiting;
  }

  // The next file to fetch, or nothing while the window is full or when no
  // file is left to claim.
  std::optional<std::size_t> Claim() {
    if (held_ >= window_ || exhausted()) return std::nullopt;
    states_[next_] = State::kFetching;
    ++held_;
    return next_++;
  }

  // True when no file is left to claim: the fetching threads may end.
  bool exhausted() {
    while (next_ < states_.size() && states_[next_] != State::kWaiting) ++next_;
    return next_ == states_.size();
  }

  // A claimed fetch ended, with what it holds or without (failed or
  // stopped). What a file whose turn has passed holds is dropped.
  void Finish(std::size_t index, std::optional<Held> held) {
    if (index >= states_.size()) return;
    State& state = states_[index];
    if (state == State::kFetching && held) {
      state = State::kReady;
      ready_.emplace(index, std::move(*held));
      return;
    }
    if (state == State::kFetching) state = State::kFailed;
    if (state == State::kFailed || state == State::kGone) --held_;
  }

  // File index's turn: every file before it that is still waiting or held is
  // given up (what it holds dropped), and index itself is never fetched later.
  Turn Take(std::size_t index, std::optional<Held>& held) {
    if (index >= states_.size()) return Turn::kUsualRoad;
    for (; passed_ < index; ++passed_) GiveUp(passed_);
    switch (states_[index]) {
      case State::kFetching:
        return Turn::kWait;
      case State::kReady: {
        auto it = ready_.find(index);
        held.emplace(std::move(it->second));
        ready_.erase(it);
        states_[index] = State::kGone;
        --held_;
        return Turn::kReady;
      }
      default:
        states_[index] = State::kGone;
        return Turn::kUsualRoad;
    }
  }

  // Files fetching or held.
  std::size_t held() const { return held_; }

 private:
  enum class State : std::uint8_t { kNotAhead, kWaiting, kFetching, kReady, kFailed, kGone };

  void GiveUp(std::size_t index) {
    State& state = states_[index];
    if (state == State::kReady) {
      ready_.erase(index);
      --held_;
    }
    // A fetch still under way ends in Finish, which then lets go of its place.
    state = State::kGone;
  }

  // One byte per file: a list of 100,000 files costs 100 KB here.
  std::vector<State> states_;
  std::map<std::size_t, Held> ready_;
  std::size_t window_;
  std::size_t next_ = 0;
  std::size_t held_ = 0;
  std::size_t passed_ = 0;  // every file before this one had its turn
};

}  // namespace nv
