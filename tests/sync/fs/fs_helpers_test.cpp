// The file-system helpers against Wine's real file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "support/temp_folder.h"
#include "sync/fs/atomic_file.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/held_folder.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"

namespace nv {
namespace {

using test::TempFolder;
using test::WriteTestFile;

TEST(CreateParentDirectories, CreatesEveryMissingFolder) {
  TempFolder temp;
  EXPECT_TRUE(CreateParentDirectories(temp / L"a\\b\\c.txt"));
  EXPECT_TRUE(IsFolder(temp / L"a"));
  EXPECT_TRUE(IsFolder(temp / L"a\\b"));
  EXPECT_FALSE(IsFolder(temp / L"a\\b\\c.txt"));
  EXPECT_TRUE(CreateParentDirectories(temp / L"a\\b\\c.txt"));  // all there already
  EXPECT_TRUE(CreateParentDirectories(temp.path() + L"/x/y/z.txt"));
  EXPECT_TRUE(IsFolder(temp / L"x\\y"));
}

TEST(CreateParentDirectories, AFileInTheWayFails) {
  TempFolder temp;
  ASSERT_TRUE(WriteTestFile(temp / L"a", "file"));
  EXPECT_FALSE(CreateParentDirectories(temp / L"a\\b\\c.txt"));
  EXPECT_FALSE(IsFolder(temp / L"a\\b"));
}

TEST(CreateParentDirectories, NothingToCreateForAFileInTheRoot) {
  EXPECT_TRUE(CreateParentDirectories(L"C:\\c.txt"));
  EXPECT_TRUE(CreateParentDirectories(L"c.txt"));
}

TEST(CreateParentDirectories, PathsBeyondMaxPath) {
  TempFolder temp;
  std::wstring deep = temp.path();
  while (deep.size() < 400) deep += L"\\segment-0123456789";
  const std::wstring file = deep + L"\\f.bin";
  ASSERT_TRUE(CreateParentDirectories(file));
  EXPECT_TRUE(IsFolder(deep));
  UniqueFile handle(OpenFileRetrying(file, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(handle.valid());
}

// Every retried file operation (opens, moves, copies, deletes, the re-hash)
// waits only for these three errors; any other one ends it at once.
TEST(LockedOrFailed, OnlySharingLockAndAccessErrorsAreWorthAnotherTry) {
  for (DWORD error : {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_ACCESS_DENIED})
    EXPECT_EQ(LockedOrFailed(error), TryResult::kLocked) << error;
  for (DWORD error : {ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ALREADY_EXISTS,
                      ERROR_DISK_FULL, ERROR_WRITE_PROTECT})
    EXPECT_EQ(LockedOrFailed(error), TryResult::kFailed) << error;
}

TEST(OpenFileRetrying, ALockedFileIsTriedForAboutASecond) {
  TempFolder temp;
  const std::wstring path = temp / L"locked.bin";
  ASSERT_TRUE(WriteTestFile(path, "data"));
  UniqueFile holder(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid());

  const ULONGLONG start = GetTickCount64();
  HANDLE h = OpenFileRetrying(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_GE(elapsed, 950u);   // four pauses of 250 ms
  EXPECT_LT(elapsed, 2500u);  // and not a fifth attempt's worth more
}

TEST(OpenFileRetrying, AMissingFileFailsAtOnce) {
  TempFolder temp;
  const ULONGLONG start = GetTickCount64();
  HANDLE h = OpenFileRetrying(temp / L"missing.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_LT(GetTickCount64() - start, 200u);
}

TEST(OpenFileRetrying, ALockReleasedInTimeIsWaitedFor) {
  TempFolder temp;
  const std::wstring path = temp / L"brief.bin";
  ASSERT_TRUE(WriteTestFile(path, "data"));
  HANDLE raw = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(raw, INVALID_HANDLE_VALUE);
  UniqueFile holder(raw);
  // A scanner lets go after ~300 ms: the open succeeds on a later attempt.
  std::thread scanner([&holder] {
    Sleep(300);
    holder.reset();
  });
  UniqueFile opened(OpenFileRetrying(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
  scanner.join();
  EXPECT_TRUE(opened.valid());
}

bool WriteThrough(HANDLE file) {
  DWORD written = 0;
  return file != INVALID_HANDLE_VALUE && WriteFile(file, "ours", 4, &written, nullptr) && written == 4;
}

// Another account's links: "name" a link to decoy\victim.txt, "sub" a link
// to the decoy folder. Whatever an operation does, the decoy keeps its
// bytes; the operations that must succeed do so on a file of our own.
TEST(OwnFiles, ALinkInTheNameOrOnTheWayIsNeverWrittenMovedOrDeletedThrough) {
  struct Row {
    const char* what;
    const wchar_t* name;  // planted as a link to the victim, unless below "sub"
    bool (*run)(const std::wstring& folder, const std::wstring& path);
    // -1: either. Windows opens a link itself, so it is removed and the name
    // is ours; Wine follows a link to a file, so the name is refused.
    int succeeds;
  } rows[] = {
      {"resume a partial file", L"a.grf.part",
       [](const std::wstring&, const std::wstring& p) {
         return WriteThrough(UniqueFile(OpenOwnFileForWrite(p, 0, OPEN_ALWAYS)).get());
       },
       -1},
      {"start a tag afresh", L"a.grf.part.tag",
       [](const std::wstring&, const std::wstring& p) {
         return WriteThrough(UniqueFile(OpenOwnFileForWrite(p, 0, CREATE_ALWAYS)).get());
       },
       -1},
      {"write test, HD off, uninstall", L"custom_hd1.grf",
       [](const std::wstring& f, const std::wstring& p) { return DeleteOwnFile(p, f); }, -1},
      {"the state file", L"launcher_state.txt",
       [](const std::wstring&, const std::wstring& p) { return WriteFileReplacing(p, "ours"); }, 1},
      {"its temporary", L"DATA.INI.tmp",
       [](const std::wstring& f, const std::wstring&) { return WriteFileReplacing(f + L"\\DATA.INI", "ours"); },
       -1},
      {"a move into a linked folder", L"sub\\x.grf",
       [](const std::wstring& f, const std::wstring& p) {
         return WriteTestFile(f + L"\\own.bin", "ours") && MoveOwnFileByName(f + L"\\own.bin", p, f);
       },
       0},
      {"a delete below a linked folder", L"sub\\victim.txt",
       [](const std::wstring& f, const std::wstring& p) { return DeleteOwnFile(p, f); }, 0},
      {"a fetched-ahead partial file", L"a.grf.part",
       [](const std::wstring& f, const std::wstring&) {
         return WriteThrough(UniqueFile(HeldFolder(f, f).CreateNew(L"a.grf.part", 0)).get());
       },
       -1},
      {"a folder held for fetched-ahead files", L"sub\\x.grf",
       [](const std::wstring& f, const std::wstring&) {
         return WriteThrough(UniqueFile(HeldFolder(f + L"\\sub", f).CreateNew(L"x.grf", 0)).get());
       },
       0},
  };
  for (const Row& row : rows) {
    TempFolder temp;
    const std::wstring decoy = temp / L"decoy";
    const std::wstring game = temp / L"game";
    ASSERT_TRUE(CreateParentDirectories(decoy + L"\\victim.txt") && CreateParentDirectories(game + L"\\x"));
    ASSERT_TRUE(WriteTestFile(decoy + L"\\victim.txt", "someone else's"));
    const std::wstring path = game + L"\\" + row.name;
    const bool planted = std::wstring_view(row.name).starts_with(L"sub\\")
                             ? test::PlantFolderLink(game + L"\\sub", decoy)
                             : test::PlantFileLink(path, decoy + L"\\victim.txt");
    ASSERT_TRUE(planted) << row.what;
    const bool succeeded = row.run(game, path);
    if (row.succeeds >= 0) {
      EXPECT_EQ(succeeded, row.succeeds == 1) << row.what;
    }
    EXPECT_EQ(test::ReadAll(decoy + L"\\victim.txt"), std::string("someone else's")) << row.what;
    EXPECT_FALSE(IsRegularFile(decoy + L"\\x.grf")) << row.what;
  }
}

// Final paths come back as \\?\ paths: a long game folder's own files are
// still its own.
TEST(OwnFiles, LongPathsAreTheirOwnFiles) {
  TempFolder temp;
  const std::wstring game = temp.path() + L"\\" + std::wstring(300 - temp.path().size() - 10, L'g');
  const std::wstring file = game + L"\\data.grf";
  ASSERT_GE(file.size(), 300u);
  ASSERT_TRUE(CreateParentDirectories(file));
  EXPECT_TRUE(WriteThrough(UniqueFile(OpenOwnFileForWrite(LongPath(file), 0, OPEN_ALWAYS)).get()));
  EXPECT_TRUE(MoveOwnFileByName(LongPath(file), LongPath(file + L".old"), LongPath(game)));
  EXPECT_TRUE(DeleteOwnFile(LongPath(file + L".old"), LongPath(game)));
  EXPECT_FALSE(IsRegularFile(file + L".old"));
  // A leftover partial file makes way for a new one.
  EXPECT_TRUE(WriteTestFile(file + L".part", "leftover"));
  const HeldFolder held(LongPath(game), LongPath(temp.path()));
  EXPECT_TRUE(WriteThrough(UniqueFile(held.CreateNew(L"data.grf.part", 0)).get()));
  EXPECT_EQ(test::ReadAll(LongPath(file + L".part")), std::string("ours"));
}

TEST(Utf8, RoundTripsAndRejectsBrokenInput) {
  const std::wstring wide = L"C:\\Spiele\\Caf\u00e9\\\u65e5\u672c\\\U0001F3AE";
  const std::string utf8 = ToUtf8(wide);
  EXPECT_EQ(utf8, "C:\\Spiele\\Caf\xc3\xa9\\\xe6\x97\xa5\xe6\x9c\xac\\\xf0\x9f\x8e\xae");
  EXPECT_EQ(FromUtf8(utf8), wide);
  EXPECT_EQ(ToUtf8(L""), "");
  EXPECT_EQ(FromUtf8(""), L"");
  // Invalid sequences do not throw; MultiByteToWideChar substitutes U+FFFD.
  EXPECT_NO_THROW(FromUtf8("\xff\xfe\xc3"));
}

TEST(IsRegularFile, FilesNotFolders) {
  TempFolder temp;
  ASSERT_TRUE(WriteTestFile(temp / L"f.txt", "x"));
  EXPECT_TRUE(IsRegularFile(temp / L"f.txt"));
  EXPECT_FALSE(IsRegularFile(temp.path()));
  EXPECT_FALSE(IsRegularFile(temp / L"none.txt"));
  EXPECT_TRUE(IsFolder(temp.path()));
  EXPECT_FALSE(IsFolder(temp / L"f.txt"));
  EXPECT_FALSE(IsFolder(temp / L"none"));
}

TEST(OwnExePath, IsThisTestExecutable) {
  const std::wstring path = OwnExePath();
  ASSERT_GT(path.size(), 15u);
  EXPECT_EQ(AsciiLower(std::wstring_view(path).substr(path.size() - 15)), L"\\sync_tests.exe") << ToUtf8(path);
  EXPECT_TRUE(IsRegularFile(path));
}

TEST(JoinGamePath, ConvertsUtf8AndSeparators) {
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X\\", "data/sub/a.grf"), L"C:\\Games\\X\\data\\sub\\a.grf");
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X", "Caf\xc3\xa9/\xe6\x97\xa5.txt"),
            L"C:\\Games\\X\\Caf\u00e9\\\u65e5.txt");
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X", ""), L"C:\\Games\\X");
}

TEST(FreeBytesForPath, AFolderThatDoesNotExistYetIsMeasuredOnItsAncestor) {
  TempFolder temp;
  const std::uint64_t existing = FreeBytesForPath(temp.path());
  const std::uint64_t future = FreeBytesForPath(temp / L"Games\\Norvane\\");
  ASSERT_NE(existing, kUnknownFreeBytes);
  ASSERT_NE(future, kUnknownFreeBytes);
  EXPECT_GT(future, 0u);
  const std::uint64_t diff = existing > future ? existing - future : future - existing;
  EXPECT_LT(diff, 64ull << 20);
  EXPECT_NE(FreeBytesForPath(temp.path() + L"/Games/Norvane"), kUnknownFreeBytes);
}

TEST(FreeBytesForPath, UnknownDriveOrRelativePath) {
  EXPECT_EQ(FreeBytesForPath(L"Q:\\Norvane"), kUnknownFreeBytes);
  EXPECT_EQ(FreeBytesForPath(L"Norvane"), kUnknownFreeBytes);
  EXPECT_EQ(FreeBytesForPath(L""), kUnknownFreeBytes);
}

TEST(Sha256OfFile, KnownDigestsProgressAndStop) {
  TempFolder temp;
  ASSERT_TRUE(WriteTestFile(temp / L"empty", ""));
  ASSERT_TRUE(WriteTestFile(temp / L"abc", "abc"));
  EXPECT_EQ(Sha256OfFile(temp / L"empty", nullptr, nullptr),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  std::atomic<std::int64_t> progress{10};
  EXPECT_EQ(Sha256OfFile(temp / L"abc", &progress, nullptr),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(progress.load(), 13);  // added to, not replaced

  // Larger than one 4 MiB read: 5 MiB of 'a'.
  const std::string big(5 << 20, 'a');
  ASSERT_TRUE(WriteTestFile(temp / L"big", big));
  progress = 0;
  const std::string digest = Sha256OfFile(temp / L"big", &progress, nullptr);
  EXPECT_EQ(digest.size(), 64u);
  EXPECT_EQ(progress.load(), static_cast<std::int64_t>(big.size()));

  std::atomic<bool> stop{true};
  EXPECT_EQ(Sha256OfFile(temp / L"abc", nullptr, &stop), "");
  EXPECT_EQ(Sha256OfFile(temp / L"missing", nullptr, nullptr), "");
  EXPECT_EQ(Sha256OfFile(temp.path(), nullptr, nullptr), "");  // a folder
}

}  // namespace
}  // namespace nv
