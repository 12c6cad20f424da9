// Mirrors, retries, verification and replacement against the test servers.
#include "net/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "net/download.h"
#include "net/http_client.h"
#include "net/transfer_testing.h"
#include "net_test_support.h"
#include "nv_config.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"

namespace nv {
namespace {

using test::FaultUrl;
using test::FileSize;
using test::Pattern;
using test::ReadAll;
using test::RequestsFor;
using test::UniqueId;

constexpr char kEmptySha256[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

// Records the backoff pauses instead of sleeping them, with the number of
// requests the fault server had seen for pauseId at that moment.
std::mutex pauseMutex;
std::vector<std::pair<std::uint32_t, std::size_t>> pauses;
std::string pauseId;
void RecordPause(std::uint32_t ms, const std::atomic<bool>*) {
  const std::size_t seen = pauseId.empty() ? 0 : RequestsFor(pauseId).size();
  std::lock_guard<std::mutex> lock(pauseMutex);
  pauses.emplace_back(ms, seen);
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pauses.clear();
    pauseId = id;
    SetBackoffPauseForTesting(&RecordPause);
  }
  void TearDown() override {
    SetBackoffPauseForTesting(nullptr);
    pauseId.clear();
  }
  std::string Base(const std::string& options) { return FaultUrl("id=" + id + (options.empty() ? "" : "," + options), "base"); }
  std::string HashOf(const std::string& bytes) {
    const std::wstring path = folder / (L"hash-" + std::to_wstring(counter++));
    EXPECT_TRUE(test::WriteTestFile(path, bytes));
    return Sha256OfFile(path, nullptr, nullptr);
  }

  test::TempFolder folder;
  std::wstring target = folder / L"game\\data\\file.bin";
  std::string id = UniqueId("tr");
  TransferProgress progress;
  std::atomic<bool> stop{false};
  test::NetLogCapture log;
  int counter = 0;
};

TEST_F(TransferTest, MirrorListComesFromTheDownloadServer) {
  EXPECT_EQ(BuiltinDownloadBaseUrl(), "https://localhost:18443/download");
  EXPECT_EQ(LoadMirrorList(), std::vector<std::string>{"https://localhost:18443/download"});

  // BOM, CR LF, a comment, blanks, an ftp line, a duplicate and a case variant.
  const std::vector<std::string> many = LoadMirrorListFrom(std::string(test::kNginxBase) + "/mirrors-many.txt");
  std::vector<std::string> sorted = many;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"HTTPS://LOCALHOST:18443/download", "https://localhost:18443/download",
                                              "https://localhost:18446/f/id=m2/tree/download"}));
}

TEST_F(TransferTest, UnreachableOrEmptyMirrorListFallsBackToTheBuiltInServer) {
  const std::vector<std::string> builtIn{"https://localhost:18443/download"};
  EXPECT_EQ(LoadMirrorListFrom("https://localhost:18447/download/mirrors.txt"), builtIn);
  EXPECT_EQ(LoadMirrorListFrom(FaultUrl("id=" + id + ",size=0", "mirrors.txt")), builtIn);
  EXPECT_EQ(LoadMirrorListFrom(std::string(test::kNginxBase) + "/missing-mirrors.txt"), builtIn);
}

TEST_F(TransferTest, TwoDeadMirrorsGetSixAlternatingAttemptsWithGrowingPauses) {
  const std::vector<std::string> urls{FaultUrl("id=" + id + ",status=500", "m1"),
                                      FaultUrl("id=" + id + ",status=503", "m2")};
  EXPECT_EQ(DownloadWithRetries(urls, folder / L"x.part", 4000, false, progress, &stop), kTransferRetry);
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 6u);
  for (std::size_t i = 0; i < requests.size(); ++i)
    EXPECT_EQ(requests[i].path.substr(requests[i].path.size() - 2), i % 2 ? "m2" : "m1") << i;
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[0], std::make_pair(2000u, std::size_t{2}));
  EXPECT_EQ(pauses[1], std::make_pair(4000u, std::size_t{4}));
  EXPECT_EQ(progress.bytes_per_second.load(), 0);

  const std::wstring relative = L"data/file.bin";
  EXPECT_FALSE(DownloadManifestEntry({Base("status=500"), Base("status=404")}, "data/file.bin", target, 4000,
                                     "", progress, &stop));
  EXPECT_TRUE(log.Has(L"all mirrors failed for data/file.bin")) << log.text();
  EXPECT_EQ(FileSize(target), -1);
}

TEST_F(TransferTest, SingleDeadUrlIsTriedThreeTimes) {
  EXPECT_FALSE(DownloadUrlToFile(FaultUrl("id=" + id + ",status=500"), target, progress, &stop));
  EXPECT_EQ(RequestsFor(id).size(), 3u);
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[0], std::make_pair(2000u, std::size_t{1}));
  EXPECT_EQ(pauses[1], std::make_pair(4000u, std::size_t{2}));
}

TEST_F(TransferTest, RealPauseEndsSoonAfterTheStopFlag) {
  SetBackoffPauseForTesting(nullptr);
  std::thread stopper([&] {
    Sleep(500);
    stop = true;
  });
  const ULONGLONG start = GetTickCount64();
  const int result = DownloadWithRetries({FaultUrl("id=" + id + ",status=500")}, folder / L"x.part", 10, false,
                                         progress, &stop);
  const ULONGLONG took = GetTickCount64() - start;
  stopper.join();
  EXPECT_EQ(result, kTransferStopped);
  EXPECT_EQ(RequestsFor(id).size(), 1u) << "the stop came during the 2000 ms pause";
  EXPECT_LT(took, 1500u);
}

TEST_F(TransferTest, ProgressResetsTheFailureCountAndTheNextMirrorResumes) {
  // One mirror that drops after 300 KiB five times: without the reset the
  // transfer would give up after three fruitless attempts.
  constexpr std::int64_t kSize = 2 * 1024 * 1024;
  const std::wstring partial = folder / L"p.part";
  EXPECT_EQ(DownloadWithRetries({FaultUrl("id=" + id + ",size=2097152,drop=307200,times=5")}, partial, kSize,
                                false, progress, &stop),
            kTransferComplete)
      << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, kSize));
  EXPECT_TRUE(pauses.empty());
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].range, "");
  // Each attempt resumes where the previous one ended (the drop may land
  // inside a block the client had not yet handed over).
  for (std::size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].range.rfind("bytes=", 0), 0u);

  // Two mirrors: the second resumes the first one's 300 KiB.
  const std::string two = UniqueId("two");
  const std::wstring partial2 = folder / L"p2.part";
  EXPECT_EQ(DownloadWithRetries({FaultUrl("id=" + two + ",size=1048576,drop=307200,times=1", "m1"),
                                 FaultUrl("id=" + two + ",size=1048576", "m2")},
                                partial2, 1048576, false, progress, &stop),
            kTransferComplete);
  const auto twoRequests = RequestsFor(two);
  ASSERT_EQ(twoRequests.size(), 2u);
  EXPECT_EQ(twoRequests[1].path.substr(twoRequests[1].path.size() - 2), "m2");
  EXPECT_EQ(twoRequests[1].range, "bytes=" + std::to_string(FileSize(partial2) - (1048576 - 307200)) + "-");
  EXPECT_EQ(ReadAll(partial2), Pattern(0, 1048576));
}

TEST_F(TransferTest, WrongHashTwiceDownloadsTwiceAndLeavesTheTargetAlone) {
  ASSERT_TRUE(CreateParentDirectories(target));
  ASSERT_TRUE(test::WriteTestFile(target, "old content"));
  const std::string wrong(64, '0');
  EXPECT_FALSE(DownloadManifestEntry({Base("size=5000")}, "data/file.bin", target, 5000, wrong, progress, &stop));
  EXPECT_EQ(ReadAll(target), "old content");
  EXPECT_EQ(FileSize(target + L".part"), -1) << "a mismatching partial file is removed";
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[1].range, "") << "the second download starts at byte 0";
  EXPECT_EQ(requests[0].path, "/f/id=" + id + ",size=5000/base/data/file.bin");
  const std::wstring line = L"sha256 mismatch data/file.bin got " + FromUtf8(HashOf(Pattern(0, 5000)));
  const auto lines = log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 2) << log.text();
}

TEST_F(TransferTest, VerifiedFileReplacesTheTargetAndUpperCaseHashMatches) {
  ASSERT_TRUE(CreateParentDirectories(target));
  ASSERT_TRUE(test::WriteTestFile(target, "old content"));
  std::string hash = HashOf(Pattern(0, 300000));
  std::transform(hash.begin(), hash.end(), hash.begin(), [](char c) { return c >= 'a' && c <= 'f' ? c - 32 : c; });
  ASSERT_TRUE(DownloadManifestEntry({"", "  / ", Base("size=300000")}, "/data\\file.bin", target, 300000, hash,
                                    progress, &stop))
      << log.text();
  EXPECT_EQ(ReadAll(target), Pattern(0, 300000));
  EXPECT_EQ(FileSize(target + L".part"), -1);
  EXPECT_EQ(progress.bytes_done.load(), 300000);
  EXPECT_EQ(progress.bytes_total.load(), 300000);
  EXPECT_EQ(RequestsFor(id).size(), 1u) << "the empty mirrors are left out";
}

TEST_F(TransferTest, PartialFileIsResumedByTheNextTransfer) {
  ASSERT_TRUE(CreateParentDirectories(target));
  ASSERT_TRUE(test::WriteTestFile(target + L".part", Pattern(0, 1000)));
  ASSERT_TRUE(DownloadManifestEntry({Base("size=4000")}, "data/file.bin", target, 4000, HashOf(Pattern(0, 4000)),
                                    progress, &stop));
  EXPECT_EQ(RequestsFor(id).at(0).range, "bytes=1000-");
  EXPECT_EQ(ReadAll(target), Pattern(0, 4000));
}

TEST_F(TransferTest, ResumedPartialFileIsJudgedByItsBytesOnDisk) {
  // An earlier run left 1000 bytes that are not the file's: the resume must
  // hash them from the disk, find the mismatch and download from byte 0.
  ASSERT_TRUE(CreateParentDirectories(target));
  ASSERT_TRUE(test::WriteTestFile(target + L".part", std::string(1000, 'x')));
  ASSERT_TRUE(DownloadManifestEntry({Base("size=4000")}, "data/file.bin", target, 4000, HashOf(Pattern(0, 4000)),
                                    progress, &stop))
      << log.text();
  EXPECT_EQ(ReadAll(target), Pattern(0, 4000));
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(requests[1].range, "");
  EXPECT_TRUE(log.HasPrefix(L"sha256 mismatch data/file.bin got ")) << log.text();
}

// Overwrites the start of the partial file while the transfer pauses between
// attempts, keeping its size (as another program might).
std::wstring tamperPath;
void TamperDuringPause(std::uint32_t, const std::atomic<bool>*) {
  Sleep(50);  // past the file system's time stamp granularity
  UniqueFile file(CreateFileW(tamperPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.get(), "XXXXXXXXXX", 10, &written, nullptr);
}

TEST_F(TransferTest, PartialFileChangedBetweenAttemptsIsReadAgain) {
  // The first attempt drops early (no progress, so the transfer pauses);
  // meanwhile the partial file's first bytes change. The hash kept while
  // writing no longer describes the file: the verdict must come from the
  // bytes on disk, which are wrong, so the file is downloaded again.
  tamperPath = target + L".part";
  SetBackoffPauseForTesting(&TamperDuringPause);
  const bool ok = DownloadManifestEntry({Base("size=400000,drop=100000,times=1")}, "data/file.bin", target, 400000,
                                        HashOf(Pattern(0, 400000)), progress, &stop);
  SetBackoffPauseForTesting(&RecordPause);
  ASSERT_TRUE(ok) << log.text();
  EXPECT_EQ(ReadAll(target), Pattern(0, 400000));
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 3u) << log.text();
  EXPECT_EQ(requests[1].range.rfind("bytes=", 0), 0u) << "the second attempt resumes";
  EXPECT_EQ(requests[2].range, "") << "the tampered file is downloaded again from byte 0";
  const auto lines = log.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::wstring& line) { return line.rfind(L"sha256 mismatch ", 0) == 0; }),
            1)
      << log.text();
}

TEST_F(TransferTest, PartialFileHashedWhileWrittenMatchesAFreshRead) {
  // A transfer resumed twice (drops after 300 KiB) keeps one hash across its
  // attempts; the file it places hashes the same when read from disk.
  const std::string sha = HashOf(Pattern(0, 1500000));
  ASSERT_TRUE(DownloadManifestEntry({Base("size=1500000,drop=307200,times=2")}, "data/file.bin", target, 1500000, sha,
                                    progress, &stop))
      << log.text();
  EXPECT_EQ(RequestsFor(id).size(), 3u);
  EXPECT_EQ(Sha256OfFile(target, nullptr, nullptr), sha);
  EXPECT_FALSE(log.HasPrefix(L"sha256 mismatch")) << log.text();
}

TEST_F(TransferTest, EmptyEntryMakesNoRequest) {
  ASSERT_TRUE(DownloadManifestEntry({Base("size=10")}, "data/empty.bin", folder / L"game\\empty.bin", 0,
                                    kEmptySha256, progress, &stop));
  EXPECT_EQ(FileSize(folder / L"game\\empty.bin"), 0);
  EXPECT_TRUE(RequestsFor(id).empty());
}

TEST_F(TransferTest, RelativePathIsEncodedBelowEachMirror) {
  ASSERT_TRUE(DownloadManifestEntry({std::string(test::kNginxBase) + "/"}, "client\\data\\a b.pak", target, 4,
                                    HashOf("a b\n"), progress, &stop))
      << log.text();
  EXPECT_EQ(ReadAll(target), "a b\n");
}

TEST_F(TransferTest, StopFlagEndsTheTransferAndKeepsThePartialFile) {
  std::thread stopper([&] {
    for (int i = 0; i < 500 && progress.bytes_done.load() == 0; ++i) Sleep(10);
    stop = true;
  });
  EXPECT_FALSE(DownloadManifestEntry({Base("size=3000000,slow=50")}, "data/file.bin", target, 3000000, "",
                                     progress, &stop));
  stopper.join();
  EXPECT_EQ(FileSize(target), -1);
  EXPECT_GT(FileSize(target + L".part"), 0);
  EXPECT_TRUE(log.lines().empty()) << log.text();
}

TEST_F(TransferTest, UrlToFileResumesWithIfRangeAndDropsTheTag) {
  const std::string url = FaultUrl("id=" + id + ",size=400000,drop=300000,times=1", "setup.exe");
  ASSERT_TRUE(DownloadUrlToFile(url, target, progress, &stop)) << log.text();
  EXPECT_EQ(ReadAll(target), Pattern(0, 400000));
  EXPECT_EQ(FileSize(target + L".part.tag"), -1);
  EXPECT_EQ(progress.bytes_total.load(), 400000);
  EXPECT_EQ(progress.bytes_done.load(), 400000);
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].ifRange, "\"v400000\"");
  EXPECT_EQ(requests[1].range.rfind("bytes=", 0), 0u);

  // Without a Content-Length the total is what arrived.
  const std::wstring other = folder / L"other.exe";
  ASSERT_TRUE(DownloadUrlToFile(FaultUrl("id=" + id + ",size=5000,nolen=1"), other, progress, &stop));
  EXPECT_EQ(progress.bytes_total.load(), 5000);
  EXPECT_EQ(ReadAll(other), Pattern(0, 5000));
}

TEST_F(TransferTest, ReplaceClearsAReadOnlyTarget) {
  const std::wstring source = folder / L"new.bin";
  const std::wstring old = folder / L"old.bin";
  ASSERT_TRUE(test::WriteTestFile(source, "new"));
  ASSERT_TRUE(test::WriteTestFile(old, "old"));
  ASSERT_TRUE(SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(ReplaceFile(source, old, &stop)) << log.text();
  EXPECT_EQ(ReadAll(old), "new");
  EXPECT_EQ(FileSize(source), -1);
}

TEST_F(TransferTest, ReplaceFailsAtOnceForOtherErrors) {
  const std::wstring old = folder / L"old.bin";
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(ReplaceFile(folder / L"missing.bin", old, &stop));
  EXPECT_LT(GetTickCount64() - start, 200u);
  EXPECT_TRUE(log.Has(L"replace failed " + old + L" err=2")) << log.text();
}

// Holds the file open without any sharing for ms milliseconds.
std::thread HoldFile(const std::wstring& path, DWORD ms, std::atomic<bool>& held) {
  return std::thread([path, ms, &held] {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    held = true;
    Sleep(ms);
  });
}

TEST_F(TransferTest, ReplaceWaitsForABrieflyHeldTarget) {
  const std::wstring source = folder / L"new.bin";
  const std::wstring old = folder / L"old.bin";
  ASSERT_TRUE(test::WriteTestFile(source, "new"));
  ASSERT_TRUE(test::WriteTestFile(old, "old"));
  std::atomic<bool> held{false};
  std::thread holder = HoldFile(old, 2000, held);
  while (!held) Sleep(5);
  const ULONGLONG start = GetTickCount64();
  const bool ok = ReplaceFile(source, old, &stop);
  const ULONGLONG took = GetTickCount64() - start;
  holder.join();
  EXPECT_TRUE(ok) << log.text();
  EXPECT_GE(took, 1500u) << "the move should have waited for the holder";
  EXPECT_EQ(ReadAll(old), "new");
}

TEST_F(TransferTest, ReplaceGivesUpOnATargetHeldTooLong) {
  const std::wstring source = folder / L"new.bin";
  const std::wstring old = folder / L"old.bin";
  ASSERT_TRUE(test::WriteTestFile(source, "new"));
  ASSERT_TRUE(test::WriteTestFile(old, "old"));
  std::atomic<bool> held{false};
  std::thread holder = HoldFile(old, 9000, held);
  while (!held) Sleep(5);
  const ULONGLONG start = GetTickCount64();
  const bool ok = ReplaceFile(source, old, &stop);
  const ULONGLONG took = GetTickCount64() - start;
  holder.join();
  EXPECT_FALSE(ok);
  EXPECT_GE(took, 4500u);
  EXPECT_LT(took, 8500u);
  EXPECT_TRUE(log.Has(L"replace gave up (locked) " + old)) << log.text();
  EXPECT_EQ(ReadAll(old), "old");
  EXPECT_EQ(ReadAll(source), "new");
}

TEST_F(TransferTest, EndToEnd64MiBWithAMidStreamDrop) {
  std::string sha;
  ASSERT_TRUE(FetchText(std::string(test::kNginxBase) + "/big64.bin.sha256", sha));
  ASSERT_EQ(sha.size(), 64u);
  // The fault server serves the same tree as nginx and drops after 20 MB.
  const std::vector<std::string> mirrors{FaultUrl("id=" + id + ",drop=20000000,times=1", "tree/download"),
                                         test::kNginxBase};
  ASSERT_TRUE(DownloadManifestEntry(mirrors, "big64.bin", target, 67108864, sha, progress, &stop)) << log.text();
  EXPECT_EQ(FileSize(target), 67108864);
  EXPECT_EQ(Sha256OfFile(target, nullptr, nullptr), sha);
  EXPECT_EQ(RequestsFor(id).size(), 1u);
  EXPECT_EQ(log.lines().size(), 1u) << log.text();
}

}  // namespace
}  // namespace nv
