// The bookkeeping of small files fetched ahead, without the threads: which
// file a fetching thread takes next, and what the placing thread gets when
// a file's turn comes. Files are claimed in list order, at most `window` of
// them fetching or waiting in memory at once. Not thread-safe: FetchAhead
// holds its lock around every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nv {

class FetchAheadSlots {
 public:
  // What the placing thread does with the file whose turn has come.
  enum class Turn {
    kUsualRoad,  // not fetched ahead, or its fetch failed: download it as any file
    kWait,       // its fetch is under way
    kBytes,      // its verified bytes are handed over
  };

  // eligible[i]: file i may be fetched ahead.
  FetchAheadSlots(std::vector<bool> eligible, std::size_t window);

  // The next file to fetch, or nothing while the window is full or when no
  // file is left to claim.
  std::optional<std::size_t> Claim();
  // True when no file is left to claim: the fetching threads may end.
  bool exhausted();
  // A claimed fetch ended, with the file's verified bytes or without (failed
  // or stopped). The bytes of a file whose turn has passed are dropped.
  void Finish(std::size_t index, std::optional<std::string> bytes);
  // File index's turn: every file before it that is still waiting or held is
  // given up (its bytes dropped), and index itself is never fetched later.
  Turn Take(std::size_t index, std::string& bytes);
  // Files fetching or held in memory.
  std::size_t held() const { return held_; }

 private:
  enum class State : std::uint8_t { kNotAhead, kWaiting, kFetching, kReady, kFailed, kGone };
  void GiveUp(std::size_t index);

  // One byte per file: a list of 100,000 files costs 100 KB here.
  std::vector<State> states_;
  std::map<std::size_t, std::string> ready_;
  std::size_t window_;
  std::size_t next_ = 0;
  std::size_t held_ = 0;
  std::size_t passed_ = 0;  // every file before this one had its turn
};

}  // namespace nv
