#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "sync/fs/retry.h"

namespace nv {
namespace {

// The budget of a retried file operation is its attempts with a pause
// between two of them: a pause after the last attempt only delays the
// answer (the fallback, the error) for nothing.
TEST(RetryWhileLocked, PausesOnlyBetweenAttempts) {
  struct Case {
    std::vector<TryResult> answers;
    TryResult result;
    int tries;
    int pauses;
    int stopInPause = 0;  // the pause (1-based) that raises the stop flag; 0: none
  };
  using R = TryResult;
  const Case cases[] = {
      {{R::kLocked, R::kLocked, R::kLocked}, R::kLocked, 3, 2},  // locked throughout
      {{R::kLocked, R::kDone}, R::kDone, 2, 1},
      {{R::kDone}, R::kDone, 1, 0},
      {{R::kLocked, R::kFailed}, R::kFailed, 2, 1},  // another error ends it at once
      {{R::kFailed}, R::kFailed, 1, 0},
      {{R::kLocked, R::kLocked, R::kLocked}, R::kStopped, 1, 1, 1},  // a stop ends the wait, no try after it
  };
  for (const Case& c : cases) {
    int tries = 0;
    int pauses = 0;
    std::atomic<bool> stop{false};
    const TryResult result = RetryWhileLocked(
        3, [&] { return c.answers[static_cast<std::size_t>(tries++)]; },
        [&] {
          if (++pauses == c.stopInPause) stop = true;
        },
        &stop);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(tries, c.tries);
    EXPECT_EQ(pauses, c.pauses);
  }
}

}  // namespace
}  // namespace nv
