#include <gtest/gtest.h>

#include "sync/sync_engine.h"

namespace nv {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kGiB = 1024 * kMiB;

TEST(SyncMessages, DiskSpaceKeepsA64MiBMarginOutOfTheText) {
  EXPECT_EQ(DiskSpaceErrorText(kGiB, kGiB + 60 * kMiB),
            "Not enough disk space: the download needs 1.0 GB, the drive has 1.1 GB free. Free "
            "some space or pick another folder.");
  EXPECT_EQ(DiskSpaceErrorText(kGiB, kGiB + 70 * kMiB), "");
  EXPECT_EQ(DiskSpaceErrorText(kGiB, kGiB + 64 * kMiB), "");  // exactly the margin fits
  EXPECT_NE(DiskSpaceErrorText(kGiB, kGiB + 64 * kMiB - 1), "");
  EXPECT_NE(DiskSpaceErrorText(0, 0), "");
  EXPECT_EQ(DiskSpaceErrorText(0, 64 * kMiB), "");
  // Unknown free space skips the test; a need beyond any drive never wraps.
  EXPECT_EQ(DiskSpaceErrorText(kGiB, ~std::uint64_t{0}), "");
  EXPECT_NE(DiskSpaceErrorText(~std::uint64_t{0} - 10, ~std::uint64_t{0} - 1), "");
}

}  // namespace
}  // namespace nv
