#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sync/file_state.h"
#include "sync/scan.h"

namespace nv {
namespace {

std::string Hash(char c) { return std::string(64, c); }

// A folder in memory: per path its size, time and content hash; hashing is
// counted per path.
struct FakeDisk {
  struct File {
    std::uint64_t size;
    std::int64_t mtime;
    std::string sha256;  // empty: unreadable
  };
  std::map<std::string, File> files;
  std::map<std::string, int> hashed;
  std::atomic<bool> stop{false};
  int stopAfterHashes = -1;  // raise the stop flag inside this hash (1-based)

  ScanProbe Probe() {
    ScanProbe probe;
    probe.query = [this](const std::string& path) -> std::optional<FileFacts> {
      auto it = files.find(path);
      if (it == files.end()) return std::nullopt;
      return FileFacts{it->second.size, it->second.mtime};
    };
    probe.hash = [this](const std::string& path) {
      ++hashed[path];
      if (--stopAfterHashes == 0) stop = true;
      return files.at(path).sha256;
    };
    return probe;
  }
  int TotalHashes() const {
    int n = 0;
    for (auto& [path, count] : hashed) n += count;
    return n;
  }
};

ContentManifest Manifest(std::vector<ManifestEntry> entries) {
  ContentManifest m;
  m.version = "1";
  m.entries = std::move(entries);
  m.valid = true;
  return m;
}

std::vector<std::string> Paths(const std::vector<ManifestEntry>& entries) {
  std::vector<std::string> out;
  for (auto& e : entries) out.push_back(e.path);
  return out;
}

using V = std::vector<std::string>;

TEST(ScanPlan, RemembersHashesSoTheSecondScanHashesNothing) {
  FakeDisk disk;
  disk.files = {{"a", {1, 100, Hash('a')}}, {"b", {2, 200, Hash('b')}}, {"c", {3, 300, Hash('x')}}};
  const auto m = Manifest({{"a", 1, Hash('a')}, {"b", 2, Hash('b')}, {"c", 3, Hash('c')}});
  FileState state;
  EXPECT_EQ(Paths(ScanWithProbe(m, state, false, &disk.stop, disk.Probe())), V{"c"});
  EXPECT_EQ(disk.TotalHashes(), 3);
  // The wrong file's hash is remembered too, so it is not hashed again.
  ASSERT_NE(FindFileStateEntry(state, "c"), nullptr);
  EXPECT_EQ(FindFileStateEntry(state, "c")->sha256, Hash('x'));
  EXPECT_EQ(FindFileStateEntry(state, "b")->mtime, 200);

  disk.hashed.clear();
  EXPECT_EQ(Paths(ScanWithProbe(m, state, false, &disk.stop, disk.Probe())), V{"c"});
  EXPECT_EQ(disk.TotalHashes(), 0);

  // verifyAll hashes everything regardless.
  EXPECT_EQ(Paths(ScanWithProbe(m, state, true, &disk.stop, disk.Probe())), V{"c"});
  EXPECT_EQ(disk.TotalHashes(), 3);
}

TEST(ScanPlan, ATouchedFileIsHashedOnceAndItsTimeRemembered) {
  FakeDisk disk;
  disk.files = {{"a", {1, 100, Hash('a')}}};
  const auto m = Manifest({{"a", 1, Hash('a')}});
  FileState state;
  RecordFileState(state, "a", 1, 100, Hash('a'));
  disk.files["a"].mtime = 150;
  EXPECT_TRUE(ScanWithProbe(m, state, false, &disk.stop, disk.Probe()).empty());
  EXPECT_EQ(disk.hashed["a"], 1);
  EXPECT_EQ(FindFileStateEntry(state, "a")->mtime, 150);
  EXPECT_TRUE(ScanWithProbe(m, state, false, &disk.stop, disk.Probe()).empty());
  EXPECT_EQ(disk.hashed["a"], 1);
}

TEST(ScanPlan, AChangeBehindRestoredSizeAndTimeNeedsVerifyAll) {
  FakeDisk disk;
  disk.files = {{"a", {1, 100, Hash('z')}}};  // content changed, size and time as remembered
  const auto m = Manifest({{"a", 1, Hash('a')}});
  FileState state;
  RecordFileState(state, "a", 1, 100, Hash('a'));
  EXPECT_TRUE(ScanWithProbe(m, state, false, &disk.stop, disk.Probe()).empty());
  EXPECT_EQ(Paths(ScanWithProbe(m, state, true, &disk.stop, disk.Probe())), V{"a"});
  EXPECT_EQ(FindFileStateEntry(state, "a")->sha256, Hash('z'));
}

TEST(ScanPlan, MissingWrongSizeAndUnreadableAreDownloadedAndForgotten) {
  FakeDisk disk;
  disk.files = {{"size", {9, 1, Hash('s')}}, {"locked", {1, 1, ""}}, {"ok", {1, 1, Hash('o')}}};
  const auto m = Manifest({{"locked", 1, Hash('l')}, {"ok", 1, Hash('o')}, {"gone", 1, Hash('g')},
                           {"size", 1, Hash('s')}});
  FileState state;
  for (const char* p : {"locked", "gone", "size"}) RecordFileState(state, p, 1, 7, Hash('q'));
  RecordFileState(state, "elsewhere", 5, 5, Hash('e'));
  // Decided without hashing first, then what hashing found, each in manifest order.
  EXPECT_EQ(Paths(ScanWithProbe(m, state, false, &disk.stop, disk.Probe())),
            (V{"gone", "size", "locked"}));
  EXPECT_EQ(disk.hashed.count("size"), 0u);
  for (const char* p : {"locked", "gone", "size"}) {
    const FileStateEntry* e = FindFileStateEntry(state, p);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->size, 0) << p;
    EXPECT_EQ(e->mtime, 0) << p;
    EXPECT_TRUE(e->sha256.empty()) << p;
  }
  EXPECT_EQ(FindFileStateEntry(state, "elsewhere")->sha256, Hash('e'));  // not in the manifest
  // A remembered mismatch decides without hashing.
  disk.hashed.clear();
  RecordFileState(state, "ok", 1, 1, Hash('w'));
  EXPECT_EQ(Paths(ScanWithProbe(m, state, false, &disk.stop, disk.Probe())),
            (V{"ok", "gone", "size", "locked"}));
  EXPECT_EQ(disk.hashed.count("ok"), 0u);
}

TEST(ScanPlan, UserFilesAreLeftAloneUntilDeleted) {
  FakeDisk disk;
  disk.files = {{"user.ini", {999, 42, Hash('9')}}};
  const auto m = Manifest({{"user.ini", 5, Hash('u'), true}});
  FileState state;
  EXPECT_TRUE(ScanWithProbe(m, state, true, &disk.stop, disk.Probe()).empty());
  EXPECT_EQ(disk.TotalHashes(), 0);
  const FileStateEntry* e = FindFileStateEntry(state, "user.ini");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->size, 999);
  EXPECT_EQ(e->mtime, 42);
  EXPECT_TRUE(e->sha256.empty());
  // An existing entry is not touched by later edits of the player.
  disk.files["user.ini"] = {1, 43, Hash('1')};
  EXPECT_TRUE(ScanWithProbe(m, state, false, &disk.stop, disk.Probe()).empty());
  EXPECT_EQ(FindFileStateEntry(state, "user.ini")->size, 999);
  disk.files.clear();
  EXPECT_EQ(Paths(ScanWithProbe(m, state, false, &disk.stop, disk.Probe())), V{"user.ini"});
  EXPECT_EQ(FindFileStateEntry(state, "user.ini")->size, 0);
}

TEST(ScanPlan, StopDuringHashingKeepsTheHashesSoFar) {
  FakeDisk disk;
  disk.files = {{"a", {1, 1, Hash('a')}}, {"b", {1, 1, Hash('x')}}, {"c", {1, 1, Hash('c')}},
                {"d", {1, 1, Hash('d')}}};
  const auto m = Manifest(
      {{"a", 1, Hash('a')}, {"b", 1, Hash('b')}, {"c", 1, Hash('c')}, {"d", 1, Hash('d')}});
  FileState state;
  disk.stopAfterHashes = 3;  // the flag rises while "c" is being hashed
  EXPECT_EQ(Paths(ScanWithProbe(m, state, false, &disk.stop, disk.Probe())), V{"b"});
  EXPECT_EQ(disk.TotalHashes(), 3);
  EXPECT_NE(FindFileStateEntry(state, "a"), nullptr);
  EXPECT_NE(FindFileStateEntry(state, "b"), nullptr);
  EXPECT_EQ(FindFileStateEntry(state, "c"), nullptr);  // cut short: dropped
  EXPECT_EQ(FindFileStateEntry(state, "d"), nullptr);
}

TEST(ScanPlan, StopBeforeTheFirstPassQueriesNothing) {
  FakeDisk disk;
  disk.stop = true;
  int queries = 0;
  ScanProbe probe = disk.Probe();
  auto query = probe.query;
  probe.query = [&](const std::string& p) { ++queries; return query(p); };
  FileState state;
  EXPECT_TRUE(ScanWithProbe(Manifest({{"a", 1, Hash('a')}}), state, false, &disk.stop, probe).empty());
  EXPECT_EQ(queries, 0);
  EXPECT_TRUE(state.entries().empty());
}

}  // namespace
}  // namespace nv
