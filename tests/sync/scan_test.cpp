#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"
#include "sync/scan.h"

namespace nv {
namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

// A small installation: files written below a temporary game folder and a
// manifest whose hashes match them.
class Installation {
 public:
  void Add(const std::string& path, const std::string& content, bool userFile = false) {
    const std::wstring full = JoinGamePath(temp_.path(), path);
    EXPECT_TRUE(CreateParentDirectories(full));
    EXPECT_TRUE(test::WriteTestFile(full, content));
    manifest_.entries.push_back(
        {path, content.size(), Sha256OfFile(full, nullptr, nullptr), userFile});
    manifest_.version = "1";
    manifest_.valid = true;
  }
  std::vector<std::string> Scan(bool verifyAll = false) {
    hashedBytes_ = -1;
    std::vector<std::string> paths;
    for (auto& e : ScanFiles(temp_.path(), manifest_, state_, verifyAll, &hashedBytes_, &stop_))
      paths.push_back(e.path);
    return paths;
  }
  std::wstring Path(const std::string& path) const { return JoinGamePath(temp_.path(), path); }
  const std::wstring& folder() const { return temp_.path(); }
  ContentManifest& manifest() { return manifest_; }
  FileState& state() { return state_; }
  std::int64_t hashedBytes() const { return hashedBytes_.load(); }
  std::atomic<bool>& stop() { return stop_; }

 private:
  test::TempFolder temp_;
  ContentManifest manifest_;
  FileState state_;
  std::atomic<std::int64_t> hashedBytes_{0};
  std::atomic<bool> stop_{false};
};

FILETIME WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

bool SetWriteTime(const std::wstring& path, FILETIME time) {
  UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

using V = std::vector<std::string>;

TEST(ScanFiles, KnownHashesOfTheHasher) {
  test::TempFolder temp;
  ASSERT_TRUE(test::WriteTestFile(temp / L"abc", "abc"));
  ASSERT_TRUE(test::WriteTestFile(temp / L"empty", ""));
  EXPECT_EQ(Sha256OfFile(temp / L"abc", nullptr, nullptr), kAbc);
  EXPECT_EQ(Sha256OfFile(temp / L"empty", nullptr, nullptr), kEmpty);
}

TEST(ScanFiles, HashOfPiecesEqualsTheHashOfTheFile) {
  Sha256Stream stream;
  ASSERT_TRUE(stream.Reset());
  EXPECT_TRUE(stream.Add("a", 1));
  EXPECT_TRUE(stream.Add("", 0));
  EXPECT_TRUE(stream.Add("bc", 2));
  EXPECT_EQ(stream.size(), 3u);
  EXPECT_EQ(stream.Finish(), kAbc);
  EXPECT_EQ(stream.Finish(), "") << "a finished stream gives nothing more";
  EXPECT_FALSE(stream.Add("abc", 3));
  ASSERT_TRUE(stream.Reset());
  EXPECT_EQ(stream.size(), 0u);
  EXPECT_EQ(stream.Finish(), kEmpty);
}

TEST(ScanFiles, SecondScanOfAnUnchangedFolderHashesNothing) {
  Installation inst;
  inst.Add("norvane.exe", std::string(5000, 'x'));
  inst.Add("data/a.grf", "abc");
  inst.Add("data/sub/b.grf", std::string(70000, 'y'));
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 75003);
  ASSERT_TRUE(SaveFileState(inst.folder(), inst.state()));

  // As at the next start: the state comes back from disk.
  inst.state() = LoadFileState(inst.folder());
  ASSERT_EQ(inst.state().entries().size(), 3u);
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 0);
  // Repair hashes everything again.
  EXPECT_EQ(inst.Scan(true), V{});
  EXPECT_EQ(inst.hashedBytes(), 75003);
}

TEST(ScanFiles, TouchedFileIsHashedOnceAndRemembered) {
  Installation inst;
  inst.Add("a.grf", std::string(100, 'a'));
  inst.Add("b.grf", std::string(200, 'b'));
  inst.Scan();
  FILETIME time = WriteTime(inst.Path("b.grf"));
  time.dwLowDateTime += 10000000;  // one second later, same content
  if (time.dwLowDateTime < 10000000) ++time.dwHighDateTime;
  ASSERT_TRUE(SetWriteTime(inst.Path("b.grf"), time));
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 200);
  const std::int64_t newTime =
      static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  EXPECT_EQ(FindFileStateEntry(inst.state(), "b.grf")->mtime, newTime);
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 0);
}

TEST(ScanFiles, ChangeWithRestoredSizeAndTimeOnlyFoundByVerifyAll) {
  Installation inst;
  inst.Add("a.grf", "abc");
  inst.Scan();
  const FILETIME time = WriteTime(inst.Path("a.grf"));
  ASSERT_TRUE(test::WriteTestFile(inst.Path("a.grf"), "abd"));
  ASSERT_TRUE(SetWriteTime(inst.Path("a.grf"), time));
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.Scan(true), V{"a.grf"});
  // A real change of size is seen without hashing.
  ASSERT_TRUE(test::WriteTestFile(inst.Path("a.grf"), "abcd"));
  EXPECT_EQ(inst.Scan(), V{"a.grf"});
  EXPECT_EQ(inst.hashedBytes(), 0);
}

TEST(ScanFiles, MissingFilesAndFoldersInTheirPlace) {
  Installation inst;
  inst.Add("a.grf", "abc");
  inst.Add("b/c.grf", "abc");
  inst.Scan();
  ASSERT_TRUE(DeleteFileW(inst.Path("a.grf").c_str()));
  ASSERT_TRUE(CreateDirectoryW(inst.Path("a.grf").c_str(), nullptr));
  ASSERT_TRUE(DeleteFileW(inst.Path("b/c.grf").c_str()));
  EXPECT_EQ(inst.Scan(), (V{"a.grf", "b/c.grf"}));
  EXPECT_TRUE(FindFileStateEntry(inst.state(), "a.grf")->sha256.empty());
}

TEST(ScanFiles, UserFileLeftAloneAndDownloadedWhenDeleted) {
  Installation inst;
  inst.Add("settings.ini", "original", true);
  ASSERT_TRUE(test::WriteTestFile(inst.Path("settings.ini"), "the player's own settings"));
  EXPECT_EQ(inst.Scan(true), V{});
  EXPECT_EQ(inst.hashedBytes(), 0);
  ASSERT_TRUE(DeleteFileW(inst.Path("settings.ini").c_str()));
  EXPECT_EQ(inst.Scan(), V{"settings.ini"});
}

TEST(ScanFiles, DamagedStateLinesCostOnlyTheirFiles) {
  Installation inst;
  inst.Add("a.grf", std::string(10, 'a'));
  inst.Add("b.grf", std::string(20, 'b'));
  inst.Add("c.grf", std::string(40, 'c'));
  inst.Scan();
  ASSERT_TRUE(SaveFileState(inst.folder(), inst.state()));
  // Break b's hash (80 characters) and c's size (19 digits) by hand.
  std::string text = FormatFileState(inst.state());
  const std::string bHash = inst.manifest().entries[1].sha256;
  text.replace(text.find(bHash), 64, std::string(80, 'b'));
  text.replace(text.find("c.grf|40|"), 9, "c.grf|0000000000000000040|");
  ASSERT_TRUE(test::WriteTestFile(inst.folder() + L"\\launcher_state.txt", text));
  inst.state() = LoadFileState(inst.folder());
  EXPECT_EQ(inst.state().entries().size(), 1u);
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 60);
}

TEST(ScanFiles, StopBeforeHashingLeavesTheStateUntouched) {
  Installation inst;
  inst.Add("a.grf", "abc");
  inst.stop() = true;
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 0);
  EXPECT_TRUE(inst.state().entries().empty());
}

TEST(ScanFiles, LongPathsBelowTheGameFolder) {
  Installation inst;
  std::string deep;
  for (int i = 0; i < 12; ++i) deep += std::string(30, static_cast<char>('a' + i)) + "/";
  inst.Add(deep + "file.grf", "abc");
  ASSERT_GT(inst.Path(deep + "file.grf").size(), 300u);
  EXPECT_EQ(inst.Scan(), V{});
  EXPECT_EQ(inst.hashedBytes(), 3);
  EXPECT_EQ(FindFileStateEntry(inst.state(), deep + "file.grf")->sha256, kAbc);
}

}  // namespace
}  // namespace nv
