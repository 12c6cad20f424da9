// The retry rule of the file operations that another program may briefly
// block (a scanner, an indexer, the game): try, pause, try again. No Windows
// header: the rule is tested on its own.
#pragma once

namespace nv {

enum class TryResult { kDone, kLocked, kFailed };

// Calls attempt up to `attempts` times while it answers kLocked, calling
// pause between two tries and never after the last one: the budget is
// (attempts - 1) pauses. Returns the last answer.
template <class Attempt, class Pause>
TryResult RetryWhileLocked(int attempts, Attempt&& attempt, Pause&& pause) {
  TryResult result = TryResult::kFailed;
  for (int i = 1; i <= attempts; ++i) {
    result = attempt();
    if (result != TryResult::kLocked || i == attempts) break;
    pause();
  }
  return result;
}

}  // namespace nv
