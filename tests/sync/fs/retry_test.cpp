#include <gtest/gtest.h>

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
  };
  using R = TryResult;
  const Case cases[] = {
      {{R::kLocked, R::kLocked, R::kLocked}, R::kLocked, 3, 2},  // locked throughout
      {{R::kLocked, R::kDone}, R::kDone, 2, 1},
      {{R::kDone}, R::kDone, 1, 0},
      {{R::kLocked, R::kFailed}, R::kFailed, 2, 1},  // another error ends it at once
      {{R::kFailed}, R::kFailed, 1, 0},
  };
  for (const Case& c : cases) {
    int tries = 0;
    int pauses = 0;
    const TryResult result = RetryWhileLocked(
        3, [&] { return c.answers[static_cast<std::size_t>(tries++)]; }, [&] { ++pauses; });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(tries, c.tries);
    EXPECT_EQ(pauses, c.pauses);
  }
}

}  // namespace
}  // namespace nv
