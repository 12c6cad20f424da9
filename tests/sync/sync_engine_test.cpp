// The sync engine with its ways out replaced: manifests and files come from
// memory, and the free space, the game process and the data list are
// whatever the test says. The end-to-end runs against the test servers live
// with the transfers.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bridge/player_texts.h"
#include "net/net_seams.h"
#include "net/net_test_support.h"
#include "support/temp_folder.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"
#include "sync/manifest.h"
#include "sync/release_signature_testing.h"
#include "sync/signed_releases.h"
#include "sync/sync_engine.h"
#include "sync/sync_engine_testing.h"

namespace nv {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

// What the fake server and the fake disk do; one instance per test.
struct World {
  std::map<std::string, std::string> texts;  // URL -> body
  std::map<std::string, std::string> blobs;  // "client/files/<sha>" -> content
  // As a loaded list holds them: trimmed when the list was made.
  std::vector<std::string> mirrors = {"https://one.test/download", "https://two.test/download"};
  std::uint64_t freeBytes = 100ull << 30;
  int freeQueries = 0;
  bool gameRunning = false;
  std::vector<std::string> requests;  // relative paths downloaded, in order
  std::set<std::size_t> failAt;       // 1-based download attempts that fail
  std::size_t stopAt = 0;             // attempt that raises the stop flag
  std::set<std::string> deleteAfter;  // targets an "antivirus" removes once placed
  bool writeFiles = true;
};
World* world = nullptr;
// The job's stop request, as the requests below carry it.
std::atomic<bool> stopFlag{false};

std::string Sha(const std::string& content) {
  test::TempFolder temp;
  test::WriteTestFile(temp / L"f", content);
  return Sha256OfFile(temp / L"f", nullptr, nullptr);
}

class SyncEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    world = &w;
    stopFlag = false;
    ClearMirrorsForTests();
    SyncSeams& s = SyncSeamsForTests();
    s.loadMirrorList = [] { return world->mirrors; };
    s.fetchText = [](std::string_view url, std::string& body) {
      auto it = world->texts.find(std::string(url));
      if (it == world->texts.end()) return false;
      body = it->second;
      return true;
    };
    s.downloadManifestEntry = [](const std::vector<std::string>& mirrors, std::string_view relative,
                                 const std::wstring& target, std::int64_t size, std::string_view sha,
                                 TransferProgress& progress, const std::atomic<bool>* stop) {
      EXPECT_EQ(mirrors.size(), world->mirrors.size());
      EXPECT_EQ(progress.bytes_total.load(), size);
      EXPECT_EQ(std::string(relative).substr(std::string(relative).size() - 64), sha);
      world->requests.emplace_back(relative);
      const std::size_t attempt = world->requests.size();
      if (attempt == world->stopAt) {
        test::WriteTestFile(target + L".part", "partial");
        const_cast<std::atomic<bool>*>(stop)->store(true);
        return false;
      }
      if (world->failAt.count(attempt)) return false;
      if (!world->writeFiles) return true;
      auto blob = world->blobs.find(std::string(relative));
      if (blob == world->blobs.end()) return false;
      if (!test::WriteTestFile(target, blob->second)) return false;
      if (world->deleteAfter.count(ToUtf8(target))) DeleteFileW(target.c_str());
      return true;
    };
    s.freeBytesForPath = [](std::wstring_view) {
      ++world->freeQueries;
      return world->freeBytes;
    };
    s.isGameRunning = [] { return world->gameRunning; };
    EnsureMirrors();
    ResetProgressForJob();
    status = {};
  }
  void TearDown() override {
    SyncSeamsForTests() = {};
    PinReleaseKeysForTests("");
    ClearMirrorsForTests();
    stopFlag = false;
    world = nullptr;
  }

  // Publishes a set on the second mirror (the first serves garbage).
  void Publish(const std::string& set, const std::string& version,
               const std::map<std::string, std::string>& files) {
    std::string text = "version|" + version + "\ncount|" + std::to_string(files.size()) + "\n";
    std::uint64_t total = 0;
    for (auto& [path, content] : files) {
      const std::string sha = Sha(content);
      text += path + "|" + std::to_string(content.size()) + "|" + sha + "\n";
      w.blobs[set + "/files/" + sha] = content;
      total += content.size();
    }
    text += "total|" + std::to_string(total) + "\n";
    w.texts["https://one.test/download/" + set + "/manifest.txt"] = "version|x\nbroken line\n";
    w.texts["https://two.test/download/" + set + "/manifest.txt"] = text;
  }

  SyncResult Sync(SyncRequest request) {
    error.clear();
    started = false;
    return SyncContentSets(temp.path(), request, error, started);
  }

  std::optional<std::string> Read(const std::string& path) {
    return test::ReadAll(JoinGamePath(temp.path(), path));
  }

  // As the page reads them.
  std::vector<std::string> RowStates() {
    std::lock_guard<std::mutex> lock(progressMutex);
    std::vector<std::string> states;
    for (auto& row : progressRecord.fileRows) states.emplace_back(RowStateName(row.state));
    return states;
  }

  static std::vector<DownloadItem> Items(std::size_t n, std::uint64_t size = 1) {
    std::vector<DownloadItem> items;
    for (std::size_t i = 0; i < n; ++i)
      items.push_back({"client/", "f" + std::to_string(i), size, std::string(64, 'a')});
    return items;
  }

  World w;
  test::TempFolder temp;
  std::string error;
  bool started = false;
  SyncRequest update{true, false, false, Screen::kUpdating, true, false, &stopFlag};
};

// A "data" link planted in the game folder points at a decoy folder standing
// in for a system folder: the elevated download must not write through it.
// The file fails as a local file error; the others still arrive.
TEST_F(SyncEngineTest, NeverWritesThroughALinkedFolder) {
  test::TempFolder outside;
  ASSERT_TRUE(test::WriteTestFile(outside / L"x.dll", "system"));
  ASSERT_TRUE(test::PlantFolderLink(temp / L"data", outside.path()));
  Publish("client", "v1", {{"data/x.dll", "planted"}, {"norvane.exe", "MZ game"}});
  EXPECT_EQ(Sync(update), kSyncFailed);
  EXPECT_EQ(error, kDownloadFailedText);
  EXPECT_EQ(Read("norvane.exe"), "MZ game");
  EXPECT_EQ(w.requests.size(), 1u);  // only norvane.exe reached the transfers
  UniqueFile decoy(CreateFileW((outside / L"x.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(decoy);
  char bytes[16] = {};
  DWORD got = 0;
  ReadFile(decoy.get(), bytes, sizeof bytes, &got, nullptr);
  EXPECT_EQ(std::string(bytes, got), "system");
  EXPECT_EQ(RowStates(), (std::vector<std::string>{"fail", "done"}));
}

TEST_F(SyncEngineTest, InstallsThenFindsNothingToDo) {
  Publish("client", "v1", {{"norvane.exe", "MZ game"}, {"data/a.grf", "aaa"}, {"DATA.INI", "a"}});
  ASSERT_EQ(Sync(update), kSyncDone) << error;
  EXPECT_TRUE(started);
  EXPECT_EQ(Read("data/a.grf"), "aaa");
  EXPECT_EQ(Read("norvane.exe"), "MZ game");
  EXPECT_EQ(w.requests.size(), 3u);
  EXPECT_EQ(w.requests[0].substr(0, 13), "client/files/");
  EXPECT_EQ(status.contentVersion, "v1");
  EXPECT_EQ(status.clientBytes, 11);
  EXPECT_EQ(status.needBytes, 0);
  const FileState state = LoadFileState(temp.path());
  EXPECT_EQ(state.version, "v1");
  EXPECT_EQ(state.entries().size(), 3u);
  EXPECT_EQ(filesDone.load(), 3);

  // Second start: no download, no disk test, no hashing.
  w.requests.clear();
  w.freeQueries = 0;
  ASSERT_EQ(Sync(update), kSyncDone);
  EXPECT_FALSE(started);
  EXPECT_TRUE(w.requests.empty());
  EXPECT_EQ(w.freeQueries, 0);
  EXPECT_EQ(checkedBytesClient.load(), 0);

  // A new version with one changed file fetches exactly that file.
  Publish("client", "v2", {{"norvane.exe", "MZ game"}, {"data/a.grf", "bbb"}, {"DATA.INI", "a"}});
  ASSERT_EQ(Sync(update), kSyncDone);
  ASSERT_EQ(w.requests.size(), 1u);
  EXPECT_EQ(Read("data/a.grf"), "bbb");
  EXPECT_EQ(LoadFileState(temp.path()).version, "v2");
}

TEST_F(SyncEngineTest, OnlyTheVersionLineChangesWhenFilesAreCurrent) {
  Publish("client", "v1", {{"a", "1"}});
  ASSERT_EQ(Sync(update), kSyncDone);
  Publish("client", "v1.1", {{"a", "1"}});
  ASSERT_EQ(Sync(update), kSyncDone);
  EXPECT_FALSE(started);
  EXPECT_EQ(LoadFileState(temp.path()).version, "v1.1");
}

TEST_F(SyncEngineTest, UnreachableOrInvalidManifests) {
  ASSERT_EQ(Sync(update), kSyncFailed);
  EXPECT_EQ(error, kServerUnreachableText);
  Publish("client", "v1", {{"a", "1"}});
  SyncRequest both = update;
  both.hd = true;  // no HD manifest anywhere
  ASSERT_EQ(Sync(both), kSyncFailed);
  EXPECT_EQ(error, kServerUnreachableText);
  EXPECT_TRUE(w.requests.empty());
  // Too little room fails before the download counts as started.
  w.freeBytes = 1;
  ASSERT_EQ(Sync(update), kSyncFailed);
  EXPECT_FALSE(started);
  EXPECT_EQ(error.rfind(std::string_view(kNotEnoughDiskSpaceText).substr(0, 10), 0), 0u) << error;
  EXPECT_TRUE(w.requests.empty());
  w.freeBytes = 100ull << 30;
  // Stopping while the manifests are fetched is a stop, not a failure.
  stopFlag = true;
  EXPECT_EQ(Sync(update), kSyncStopped);
}

// With the test key pinned, mirrors are transport: a forged or replayed
// manifest is that mirror's fault, and the player is told apart from an
// unreachable server when no mirror has a signed, current one.
TEST_F(SyncEngineTest, SignedReleasesRefuseForgeriesAndRollbacks) {
  // Serves a release published by tools/publish (make_signed_releases.sh).
  const auto serve = [&](const std::string& mirror, const std::string& release, bool signature) {
    const std::string url = mirror + "/client/manifest.txt";
    w.texts[url] = test::SignedRelease(release + "/client/manifest.txt");
    if (signature) w.texts[url + ".sig"] = test::SignedRelease(release + "/client/manifest.txt.sig");
    else w.texts.erase(url + ".sig");
    for (const ManifestEntry& entry : ParseManifest(w.texts[url]).entries)
      w.blobs["client/files/" + entry.sha256] = test::SignedRelease(release + "/client/files/" + entry.sha256);
  };
  const std::string one = w.mirrors[0];
  const std::string two = w.mirrors[1];

  // No key pinned (the build's default): the forgery is taken as before.
  serve(one, "forged", true);
  serve(two, "forged", true);
  ASSERT_EQ(Sync(update), kSyncDone) << error;
  EXPECT_EQ(Read("a.txt"), "three");

  PinReleaseKeysForTests(test::ReleaseKeyHex("release"));
  test::TempFolder fresh;
  const auto syncInto = [&](const test::TempFolder& folder) {
    error.clear();
    w.requests.clear();
    return SyncContentSets(folder.path(), update, error, started);
  };
  // Signed by another key on the first mirror, unsigned on the second: the
  // third (added here) has the real one.
  w.mirrors.push_back("https://three.test/download");
  ClearMirrorsForTests();
  EnsureMirrors();
  serve(two, "v1", false);
  serve(w.mirrors[2], "v1", true);
  ASSERT_EQ(syncInto(fresh), kSyncDone) << error;
  EXPECT_EQ(test::ReadAll(JoinGamePath(fresh.path(), "a.txt")), "one");

  // Forged everywhere: nothing is downloaded, and the player reads why.
  serve(w.mirrors[2], "forged", true);
  EXPECT_EQ(syncInto(fresh), kSyncFailed);
  EXPECT_EQ(error, kUnsignedReleaseText);
  EXPECT_TRUE(w.requests.empty());

  // Version 2 installed, then version 1 replayed (correctly signed) on every
  // mirror: refused, the installed version stays.
  for (const std::string& mirror : Mirrors()) serve(mirror, "v2", true);
  ASSERT_EQ(syncInto(fresh), kSyncDone) << error;
  for (const std::string& mirror : Mirrors()) serve(mirror, "v1", true);
  EXPECT_EQ(syncInto(fresh), kSyncFailed);
  EXPECT_EQ(error, kUnsignedReleaseText);
  EXPECT_TRUE(w.requests.empty());
  EXPECT_EQ(LoadFileState(fresh.path()).version, "2");
  EXPECT_EQ(test::ReadAll(JoinGamePath(fresh.path(), "a.txt")), "two");
}

TEST_F(SyncEngineTest, MirrorListFallsBackToTheBuiltInUrl) {
  EXPECT_EQ(Mirrors(), w.mirrors);
  ClearMirrorsForTests();
  w.mirrors.clear();
  EnsureMirrors();
  ASSERT_EQ(Mirrors().size(), 1u);
  EXPECT_EQ(Mirrors()[0], "https://localhost:18443/download");
  // Loaded once: a later call keeps the list it has.
  w.mirrors = {"https://other.test"};
  EnsureMirrors();
  EXPECT_EQ(Mirrors()[0], "https://localhost:18443/download");
}

TEST_F(SyncEngineTest, DiskSpaceIsTestedAgainstNeedPlusMargin) {
  w.writeFiles = false;
  const auto items = Items(1, 1024 * kMiB);
  w.freeBytes = 1024 * kMiB + 60 * kMiB;
  EXPECT_EQ(DownloadFileSet(temp.path(), items, false, error, &stopFlag), kSyncFailed);
  EXPECT_EQ(error, FillText(kNotEnoughDiskSpaceText, {"1.0 GB", "1.1 GB"}));
  EXPECT_TRUE(w.requests.empty());
  w.freeBytes = 1024 * kMiB + 70 * kMiB;
  EXPECT_EQ(DownloadFileSet(temp.path(), items, false, error, &stopFlag), kSyncDone);
  EXPECT_EQ(w.requests.size(), 1u);
  w.freeBytes = kUnknownFreeBytes;
  EXPECT_EQ(DownloadFileSet(temp.path(), items, false, error, &stopFlag), kSyncDone);
  // Sizes that would wrap a 64-bit sum round to 2 bytes still fail the test.
  std::vector<DownloadItem> huge = Items(2, 999999999999999999ull);
  for (int i = 0; i < 16; ++i) huge.push_back(huge[0]);
  // 18 * 999999999999999999 + 446744073709551636 = 2^64 + 2
  huge.push_back({"client/", "last", 446744073709551636ull, std::string(64, 'a')});
  w.freeBytes = 1024 * kMiB;
  w.requests.clear();
  EXPECT_EQ(DownloadFileSet(temp.path(), huge, false, error, &stopFlag), kSyncFailed);
  EXPECT_TRUE(w.requests.empty());
}

TEST_F(SyncEngineTest, FiveHundredFilesShowThreeHundredRowsAndAllDownload) {
  w.writeFiles = false;
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendFileList = true;
  }
  ASSERT_EQ(DownloadFileSet(temp.path(), Items(500, 10), true, error, &stopFlag), kSyncDone);
  EXPECT_EQ(w.requests.size(), 500u);
  EXPECT_EQ(filesDone.load(), 500);
  EXPECT_EQ(filesTotal.load(), 500);
  EXPECT_EQ(setBytesDone.load(), 5000);
  const auto rows = RowStates();
  ASSERT_EQ(rows.size(), 300u);
  for (auto& s : rows) EXPECT_EQ(s, "done");
  std::lock_guard<std::mutex> lock(progressMutex);
  EXPECT_EQ(progressRecord.repairFixed, 500);
  EXPECT_EQ(progressRecord.activeRow, -1);
}

TEST_F(SyncEngineTest, ThreeFailuresInARowEndTheSet) {
  w.writeFiles = false;
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendFileList = true;
  }
  w.failAt = {1, 2, 3};
  EXPECT_EQ(DownloadFileSet(temp.path(), Items(6), false, error, &stopFlag), kSyncFailed);
  EXPECT_EQ(w.requests.size(), 3u);
  EXPECT_EQ(RowStates(), (std::vector<std::string>{"fail", "fail", "fail", "wait", "wait", "wait"}));
  EXPECT_EQ(error, kDownloadFailedText);

  w.requests.clear();
  w.failAt = {1, 2, 4, 5};
  EXPECT_EQ(DownloadFileSet(temp.path(), Items(6), false, error, &stopFlag), kSyncFailed);
  EXPECT_EQ(w.requests.size(), 6u);
  EXPECT_EQ(RowStates(), (std::vector<std::string>{"fail", "fail", "done", "fail", "fail", "done"}));
  EXPECT_EQ(filesDone.load(), 2);

  w.requests.clear();
  w.failAt = {2};
  w.gameRunning = true;
  EXPECT_EQ(DownloadFileSet(temp.path(), Items(3), false, error, &stopFlag), kSyncFailed);
  EXPECT_EQ(error, kFilesInUseText);
}

TEST_F(SyncEngineTest, AFileRemovedRightAfterDownloadIsReported) {
  Publish("client", "v1", {{"a.dll", "one"}, {"b.dll", "two"}});
  w.deleteAfter = {ToUtf8(JoinGamePath(temp.path(), "b.dll"))};
  ASSERT_EQ(Sync(update), kSyncFailed);
  EXPECT_EQ(error, ChangedAfterDownloadText(1));
  EXPECT_TRUE(started);
  // The good file was hashed once by the second scan and remembered; the
  // version waits for a complete set.
  FileState state = LoadFileState(temp.path());
  EXPECT_EQ(state.version, "");
  ASSERT_NE(FindFileStateEntry(state, "a.dll"), nullptr);
  EXPECT_FALSE(FindFileStateEntry(state, "a.dll")->sha256.empty());
  const FileStateEntry* gone = FindFileStateEntry(state, "b.dll");
  EXPECT_TRUE(gone == nullptr || gone->sha256.empty());
}

TEST_F(SyncEngineTest, PauseMidDownloadLeavesTheRowWaitingAndThePartialFile) {
  Publish("client", "v1", {{"a", "1"}, {"b", "2"}, {"c", "3"}});
  w.stopAt = 2;
  ASSERT_EQ(Sync(update), kSyncStopped);
  EXPECT_TRUE(started);
  EXPECT_EQ(RowStates(), (std::vector<std::string>{"done", "wait", "wait"}));
  EXPECT_EQ(Read("b.part"), "partial");
  EXPECT_EQ(filesDone.load(), 1);
  EXPECT_EQ(w.requests.size(), 2u);
}

TEST_F(SyncEngineTest, RepairCountsBrokenMissingAndFixed) {
  Publish("client", "v1", {{"a", "1"}, {"b", "2"}, {"c", "3"}});
  ASSERT_EQ(Sync(update), kSyncDone);
  ASSERT_TRUE(test::WriteTestFile(JoinGamePath(temp.path(), "a"), "9"));  // same size, wrong
  ASSERT_TRUE(DeleteFileW(JoinGamePath(temp.path(), "c").c_str()));
  const FileState before = LoadFileState(temp.path());
  w.requests.clear();
  SyncRequest repair{true, false, true, Screen::kRepair, true, true, &stopFlag};
  ASSERT_EQ(Sync(repair), kSyncDone) << error;
  EXPECT_EQ(w.requests.size(), 2u);
  EXPECT_EQ(Read("a"), "1");
  EXPECT_EQ(Read("c"), "3");
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    EXPECT_EQ(progressRecord.repairChecked, 3);
    EXPECT_EQ(progressRecord.repairBroken, 1);
    EXPECT_EQ(progressRecord.repairMissing, 1);
    EXPECT_EQ(progressRecord.repairFixed, 2);
  }

  // A file whose download failed is not fixed.
  ASSERT_TRUE(DeleteFileW(JoinGamePath(temp.path(), "a").c_str()));
  ASSERT_TRUE(DeleteFileW(JoinGamePath(temp.path(), "c").c_str()));
  w.requests.clear();
  w.failAt = {1};
  EXPECT_EQ(Sync(repair), kSyncFailed);
  std::lock_guard<std::mutex> lock(progressMutex);
  EXPECT_EQ(progressRecord.repairMissing, 2);
  EXPECT_EQ(progressRecord.repairFixed, 1);
}

TEST_F(SyncEngineTest, ClientAndHdItemsInOrder) {
  Publish("client", "v1", {{"a", "1"}});
  Publish("hd", "h1", {{"textures/4k.pak", "hd"}});
  SyncRequest both = update;
  both.hd = true;
  ASSERT_EQ(Sync(both), kSyncDone) << error;
  ASSERT_EQ(w.requests.size(), 2u);
  EXPECT_EQ(w.requests[0].substr(0, 7), "client/");
  EXPECT_EQ(w.requests[1].substr(0, 3), "hd/");
  EXPECT_EQ(status.hdBytes, 2);
  EXPECT_EQ(Read("textures/4k.pak"), "hd");
  // HD on alone leaves the client's version alone.
  SyncRequest hdOn{false, true, false, Screen::kUpdating, true, false, &stopFlag};
  ASSERT_EQ(Sync(hdOn), kSyncDone);
  EXPECT_EQ(LoadFileState(temp.path()).version, "v1");
}

// Every path the transfers hand to a file call, in order.
std::vector<std::wstring> seenPaths;
void RecordPath(const std::wstring& path) { seenPaths.push_back(path); }

TEST_F(SyncEngineTest, LongGamePathsReachTheTransfersWithTheirPrefix) {
  // A real transfer from the fault server (synthetic bytes) into a target of
  // exactly 300 characters. Wine opens such a path with or without the
  // \\?\ prefix, Windows only with it: every path of 260 characters or more
  // that reaches a file call must carry it.
  ClearMirrorsForTests();
  w.mirrors = {test::FaultUrl("id=" + test::UniqueId("long") + ",size=5000", "base")};
  EnsureMirrors();
  SyncSeamsForTests().downloadManifestEntry = nullptr;
  std::string relative;
  while (temp.path().size() + 1 + relative.size() + 50 < 300) relative += std::string(40, 'd') + "/";
  relative += std::string(300 - temp.path().size() - 1 - relative.size() - 4, 'f') + ".bin";
  ASSERT_EQ(JoinGamePath(temp.path(), relative).size(), 300u);
  const std::string content = test::Pattern(0, 5000);

  seenPaths.clear();
  net_seams::filePathSeen = &RecordPath;
  const SyncResult result =
      DownloadFileSet(temp.path(), {{"client/", relative, content.size(), Sha(content)}}, false, error, &stopFlag);
  net_seams::filePathSeen = nullptr;
  EXPECT_EQ(result, kSyncDone) << error;
  EXPECT_EQ(test::ReadAll(LongPath(JoinGamePath(temp.path(), relative))), content);

  std::size_t longOnes = 0;
  for (const std::wstring& path : seenPaths) {
    if (path.size() < 260) continue;
    ++longOnes;
    EXPECT_EQ(path.rfind(L"\\\\?\\", 0), 0u) << ToUtf8(path);
  }
  EXPECT_GE(longOnes, 3u) << "the partial file, its move and the target";
}

// The pause button, pressed as the transfers first name that path.
std::wstring pauseAt;
void PauseWhenSeen(const std::wstring& path) {
  if (!pauseAt.empty() && path.find(pauseAt) != std::wstring::npos) stopFlag = true;
}

TEST_F(SyncEngineTest, SmallFilesFetchedAheadArePlacedInOrderWithTheirRowsAndCounters) {
  // Twelve small files through the real transfers from the fault server (the
  // same synthetic body each); the manifest hash of the seventh is wrong.
  ClearMirrorsForTests();
  const std::string id = test::UniqueId("ahead");
  w.mirrors = {test::FaultUrl("id=" + id + ",size=3000", "base")};
  EnsureMirrors();
  SyncSeamsForTests().downloadManifestEntry = nullptr;
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendFileList = true;
  }
  const std::string content = test::Pattern(0, 3000);
  std::vector<DownloadItem> items;
  for (int i = 0; i < 12; ++i)
    items.push_back({"client/", "f" + std::to_string(i) + ".bin", content.size(), Sha(i == 6 ? "other" : content)});
  const auto name = [](int i) { return L"f" + std::to_wstring(i) + L".bin"; };
  const auto Exists = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };

  // Paused as the fifth file is placed: what came ahead of it is dropped.
  seenPaths.clear();
  pauseAt = name(4);
  net_seams::filePathSeen = &PauseWhenSeen;
  EXPECT_EQ(DownloadFileSet(temp.path(), items, false, error, &stopFlag), kSyncStopped);
  EXPECT_EQ(RowStates(), (std::vector<std::string>{"done", "done", "done", "done", "wait", "wait", "wait", "wait",
                                                   "wait", "wait", "wait", "wait"}));
  EXPECT_EQ(filesDone.load(), 4);
  for (int i = 5; i < 12; ++i) {
    EXPECT_FALSE(Exists(JoinPath(temp.path(), name(i)))) << i;
    EXPECT_FALSE(Exists(JoinPath(temp.path(), name(i) + L".part"))) << i;
  }

  // The next sync places every file in list order, fails the seventh after
  // its usual road's two downloads, and counts as before.
  const std::string wrong = Sha("other");
  const auto wrongRequests = [&] {
    std::size_t count = 0;
    for (const test::LoggedRequest& request : test::RequestsFor(id))
      count += request.path.find(wrong) != std::string::npos ? 1 : 0;
    return count;
  };
  const std::size_t wrongBefore = wrongRequests();
  stopFlag = false;
  net_seams::filePathSeen = &RecordPath;
  EXPECT_EQ(DownloadFileSet(temp.path(), items, false, error, &stopFlag), kSyncFailed);
  net_seams::filePathSeen = nullptr;
  EXPECT_EQ(error, kDownloadFailedText);
  EXPECT_EQ(RowStates(), (std::vector<std::string>{"done", "done", "done", "done", "done", "done", "fail", "done",
                                                   "done", "done", "done", "done"}));
  EXPECT_EQ(filesDone.load(), 11);
  // The seventh went ahead once, then took the usual road's two downloads.
  EXPECT_EQ(wrongRequests() - wrongBefore, 3u);
  int last = -1;
  for (const std::wstring& path : seenPaths) {
    int at = -1;
    for (int i = 0; i < 12; ++i)
      if (path.ends_with(L"\\" + name(i)) || path.ends_with(L"\\" + name(i) + L".part")) at = i;
    EXPECT_GE(at, last) << ToUtf8(path);
    last = std::max(last, at);
  }
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(test::ReadAll(JoinPath(temp.path(), name(i))), i == 6 ? std::nullopt : std::optional(content)) << i;
    EXPECT_FALSE(Exists(JoinPath(temp.path(), name(i) + L".part"))) << i;
  }
}

}  // namespace
}  // namespace nv
