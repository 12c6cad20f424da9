// The atomic small-file writer against Wine's file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>

#include "net/net_test_support.h"
#include "support/temp_folder.h"
#include "sync/fs/atomic_file.h"

namespace nv {
namespace {

using test::ReadAll;
using test::TempFolder;
using test::WriteTestFile;

TEST(WriteFileReplacing, TheWholeNewTextOrTheOldFileAndNeverATemporary) {
  TempFolder folder;
  const std::wstring target = folder / L"target.txt";
  const auto noTemporary = [&] {
    return GetFileAttributesW((target + L".tmp").c_str()) == INVALID_FILE_ATTRIBUTES;
  };
  ASSERT_TRUE(WriteTestFile(target, "old content that is longer"));
  EXPECT_TRUE(WriteFileReplacing(target, "new"));
  EXPECT_EQ(ReadAll(target), "new");
  EXPECT_TRUE(noTemporary());
  EXPECT_FALSE(WriteFileReplacing(folder / L"no\\such\\folder.txt", "x"));

  // Written in pieces; a writer that gives up or throws leaves the old file.
  EXPECT_TRUE(WriteFileReplacing(target, [](const PieceWriter& write) { return write("a") && write("bc"); }));
  EXPECT_EQ(ReadAll(target), "abc");
  EXPECT_FALSE(WriteFileReplacing(target, [](const PieceWriter& write) { return write("cut") && false; }));
  EXPECT_THROW(WriteFileReplacing(target,
                                  [](const PieceWriter& write) -> bool {
                                    write("cut");
                                    throw std::bad_alloc();
                                  }),
               std::bad_alloc);
  EXPECT_EQ(ReadAll(target), "abc");
  EXPECT_TRUE(noTemporary());
}

}  // namespace
}  // namespace nv
