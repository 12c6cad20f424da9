// The retrying file operations and the same-file test against real files.
#include <gtest/gtest.h>

#include <thread>

#include "support/temp_folder.h"
#include "sync/fs/unique_handle.h"
#include "system/shell_files.h"
#include "system/system_support.h"

namespace nv {
namespace {

using test::FileExists;
using test::TempFolder;
using test::WriteTestFile;

TEST(KnownFolderPath, KnownAndUnknownFolders) {
  EXPECT_TRUE(test::FolderExists(KnownFolderPath(FOLDERID_CommonPrograms)));
  EXPECT_TRUE(test::FolderExists(KnownFolderPath(FOLDERID_PublicDesktop)));
  EXPECT_EQ(KnownFolderPath(GUID_NULL), L"");
}

TEST(SameFile, ComparesIdentityNotSpelling) {
  TempFolder folder;
  const std::wstring a = folder / L"a.bin";
  const std::wstring b = folder / L"b.bin";
  ASSERT_TRUE(WriteTestFile(a, "same bytes"));
  ASSERT_TRUE(WriteTestFile(b, "same bytes"));
  EXPECT_TRUE(SameFile(a, a));
  EXPECT_FALSE(SameFile(a, b));  // equal content, different files
  std::wstring spelled = folder.path() + L"\\.\\A.BIN";
  for (wchar_t& c : spelled)
    if (c == L'\\') c = L'/';
  EXPECT_TRUE(SameFile(a, spelled));
  // Without a file to open the texts decide, ignoring case.
  EXPECT_TRUE(SameFile(folder / L"missing.exe", folder / L"MISSING.EXE"));
  EXPECT_FALSE(SameFile(folder / L"missing.exe", a));
}

TEST(DeleteFileRetrying, GoneAbsentProtectedAndFolders) {
  TempFolder folder;
  EXPECT_TRUE(DeleteFileRetrying(folder / L"never-there"));

  const std::wstring sub = folder / L"sub";
  CreateDirectoryW(sub.c_str(), nullptr);
  EXPECT_TRUE(DeleteFileRetrying(sub));
  EXPECT_TRUE(test::FolderExists(sub));  // folders are not this function's business

  const std::wstring guarded = folder / L"guarded.txt";
  ASSERT_TRUE(WriteTestFile(guarded, "x"));
  SetFileAttributesW(guarded.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(DeleteFileRetrying(guarded));
  EXPECT_FALSE(FileExists(guarded));
}

TEST(DeleteFileRetrying, LockedFileStaysAndCountsAsNotDeleted) {
  TempFolder folder;
  const std::wstring locked = folder / L"locked.txt";
  ASSERT_TRUE(WriteTestFile(locked, "x"));
  UniqueFile held(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  EXPECT_FALSE(DeleteFileRetrying(locked));  // no delete at the next restart either
  held.reset();
  EXPECT_TRUE(FileExists(locked));
}

TEST(MoveFileRetrying, ReplacesAndWaitsForALockedTarget) {
  TempFolder folder;
  const std::wstring from = folder / L"from.txt";
  const std::wstring to = folder / L"to.txt";
  ASSERT_TRUE(WriteTestFile(from, "new"));
  ASSERT_TRUE(WriteTestFile(to, "old"));
  EXPECT_TRUE(MoveFileRetrying(from, to));
  EXPECT_EQ(test::ReadAll(to), std::string("new"));
  EXPECT_FALSE(FileExists(from));
  EXPECT_FALSE(MoveFileRetrying(folder / L"missing.txt", to));  // not a lock: no waiting

  ASSERT_TRUE(WriteTestFile(from, "newer"));
  UniqueFile held(CreateFileW(to.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  std::thread release([&] {
    Sleep(700);
    held.reset();
  });
  const bool moved = MoveFileRetrying(from, to);
  release.join();
  EXPECT_TRUE(moved);
  EXPECT_EQ(test::ReadAll(to), std::string("newer"));
}

TEST(CreateShortcut, FailsForAnUnwritablePlace) {
  ScopedComInit com;
  TempFolder folder;
  EXPECT_FALSE(CreateShortcut(folder / L"no\\such\\folder\\x.lnk", L"C:\\a.exe", L"C:\\", L"C:\\a.exe"));
  EXPECT_TRUE(CreateShortcut(folder / L"x.lnk", L"C:\\a.exe", L"C:\\", L"C:\\a.exe"));
  EXPECT_TRUE(FileExists(folder / L"x.lnk"));
}

}  // namespace
}  // namespace nv
