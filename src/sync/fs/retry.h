// The retry rule of the file operations that another program may briefly
// block (a scanner, an indexer, the game, a launcher that is still ending):
// try, pause, try again within a fixed budget. Only a lock is worth another
// try (IsLockedError: errors 32, 33 and 5); any other answer ends the
// operation at once. Every budget of the launcher is here, side by side with
// the reason for its size. No Windows header: the rule is tested on its own.
#pragma once

#include <atomic>
#include <cstdint>

#include "sync/fs/stop_flag.h"

namespace nv {

enum class TryResult { kDone, kLocked, kFailed, kStopped };

// attempts in all, with a pause of pauseMs between two of them (none after
// the last: it would only delay the answer).
struct RetryBudget {
  int attempts;
  std::uint32_t pauseMs;
};

// Our own small files (the file state, DATA.INI, a hashed file) opened,
// and a freshly written small file moved into place: a scanner looks at a
// small file for well under a second, so about one second (4 pauses) covers
// it, and a check or a save does not hang on a file that stays locked.
inline constexpr RetryBudget kSmallFileRetry{5, 250};

// A download's partial file, opened again by every attempt: right after the
// previous attempt closed it a scanner may be reading it whole, and it can be
// gigabytes, so the wait is longer than for small files (9 pauses, 2.7 s).
// Giving up costs the attempt with its round trips.
inline constexpr RetryBudget kPartialFileRetry{10, 300};

// A verified download moved over its target, a game file that the game or a
// scanner reading a large archive may hold for seconds. Giving up throws the
// verified download away, so this is the longest wait (19 pauses, about 5 s);
// the stop flag ends it early.
inline constexpr RetryBudget kReplaceRetry{20, 250};

// A finished download whose hash could not be read: a scanner may still hold
// the fresh file, so it is hashed a second time after one second (the pause
// cut in 100 ms steps for the stop flag). Each hash waits for a lock on its
// own open as a small file does; this only adds the scanner's second look.
inline constexpr RetryBudget kRehashRetry{2, 1000};

// The launcher's own executable, copied into the game folder or moved by the
// self-update: scanners inspect a fresh executable longer than a data file,
// so it waits longer than a small file (5 pauses, 2 s), yet a copy that a
// running launcher holds for good soon goes to its fallback (moved aside).
inline constexpr RetryBudget kExecutableRetry{6, 400};

// The ".old" launcher a self-update left, deleted by the next start: the
// process that ran it may still be ending and hold its image for a moment (7
// pauses, 1.75 s). One that stays is tried again at the following start.
inline constexpr RetryBudget kOldLauncherRetry{8, 250};

// Shortcuts and installed files deleted (registration, uninstall): a file
// that stays locked is left for Windows to delete at the next restart, so a
// short wait (2 pauses, 0.4 s) is enough and keeps an uninstall of many
// files quick.
inline constexpr RetryBudget kDeleteRetry{3, 200};

// An installer's staging folder removed once the installer has ended: the
// ended process may still hold the folder as its current directory for a
// while (under Wine, longer than a second). One that stays is empty and
// nobody else can write to it (19 pauses, about 5 s).
inline constexpr RetryBudget kStagingFolderRetry{20, 250};

// Calls attempt up to `attempts` times while it answers kLocked, calling
// pause between two tries and never after the last one: the budget is
// (attempts - 1) pauses. With a stop flag, a raised flag ends the wait before
// and after each pause with kStopped. Otherwise returns the last answer.
template <class Attempt, class Pause>
TryResult RetryWhileLocked(int attempts, Attempt&& attempt, Pause&& pause,
                           const std::atomic<bool>* stopFlag = nullptr) {
  TryResult result = TryResult::kFailed;
  for (int i = 1; i <= attempts; ++i) {
    result = attempt();
    if (result != TryResult::kLocked) break;
    if (Stopped(stopFlag)) return TryResult::kStopped;
    if (i == attempts) break;
    pause();
    if (Stopped(stopFlag)) return TryResult::kStopped;
  }
  return result;
}

}  // namespace nv
