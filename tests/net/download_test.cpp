// One download attempt against the fault server: every rule of the resume,
// status and body handling, observed through the partial file, the request
// headers the server recorded and the network log.
#include "net/download.h"

#include <gtest/gtest.h>

#include <thread>

#include "net/download_testing.h"
#include "net_test_support.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"

namespace nv {
namespace {

using test::FaultUrl;
using test::FileSize;
using test::Pattern;
using test::ReadAll;
using test::RequestsFor;
using test::UniqueId;

class DownloadAttemptTest : public ::testing::Test {
 protected:
  int Attempt(const std::string& url, std::int64_t expected, bool useValidator = false) {
    return DownloadAttempt(url, partial, expected, useValidator, progress, &stop, received);
  }
  std::string Url(const std::string& options) { return FaultUrl("id=" + id + (options.empty() ? "" : "," + options)); }
  std::wstring W(const std::string& text) { return FromUtf8(text); }

  test::TempFolder folder;
  std::wstring partial = folder / L"file.bin.part";
  std::wstring tag = partial + L".tag";
  std::string id = UniqueId("dl");
  TransferProgress progress;
  std::atomic<bool> stop{false};
  std::uint64_t received = 99;
  test::NetLogCapture log;
};

TEST_F(DownloadAttemptTest, FreshDownloadFillsThePartialFileAndProgress) {
  ASSERT_EQ(Attempt(Url("size=300000"), 300000), kTransferComplete) << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, 300000));
  EXPECT_EQ(received, 300000u);
  EXPECT_EQ(progress.bytes_done.load(), 300000);
  EXPECT_EQ(progress.bytes_total.load(), 300000);
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[0].cacheControl, "") << "transfers may be served from a cache";
  EXPECT_EQ(requests[0].userAgent, "Norvane-Launcher/1.0");
  EXPECT_TRUE(log.lines().empty()) << log.text();
}

TEST_F(DownloadAttemptTest, CompletePartialFileMakesNoRequest) {
  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 4000)));
  EXPECT_EQ(Attempt(Url("size=4000"), 4000), kTransferComplete);
  EXPECT_TRUE(RequestsFor(id).empty());
  EXPECT_EQ(progress.bytes_done.load(), 4000);
  EXPECT_EQ(progress.bytes_total.load(), 4000);
  EXPECT_EQ(received, 0u);
}

TEST_F(DownloadAttemptTest, OversizePartialFileIsCutAndDownloadedWhole) {
  ASSERT_TRUE(test::WriteTestFile(partial, std::string(5000, 'x')));
  EXPECT_EQ(Attempt(Url("size=4000"), 4000), kTransferComplete);
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "");
}

TEST_F(DownloadAttemptTest, ResumeSendsRangeOnlyWithoutValidator) {
  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  ASSERT_TRUE(test::WriteTestFile(tag, "\"v4000\""));
  EXPECT_EQ(Attempt(Url("size=4000"), 4000), kTransferComplete);
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  EXPECT_EQ(received, 3000u);
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(requests[0].ifRange, "");
}

TEST_F(DownloadAttemptTest, ResumeWithTrustedTagSendsIfRange) {
  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  ASSERT_TRUE(test::WriteTestFile(tag, "\"v4000\""));
  EXPECT_EQ(Attempt(Url("size=4000"), -1, true), kTransferComplete);
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(requests[0].ifRange, "\"v4000\"");
  EXPECT_EQ(progress.bytes_total.load(), 4000) << "the total comes from the Content-Range";
}

TEST_F(DownloadAttemptTest, MissingOrBrokenTagDiscardsThePartialData) {
  const char* const tagTexts[] = {"", "\"v4000\"\r\nX-Evil: 1", "\"v4000\"\n", nullptr};
  for (const char* tagText : tagTexts) {
    SCOPED_TRACE(tagText ? tagText : "<no tag file>");
    DeleteFileW(tag.c_str());
    if (tagText) {
      ASSERT_TRUE(test::WriteTestFile(tag, tagText));
    }
    ASSERT_TRUE(test::WriteTestFile(partial, std::string(1000, 'x')));
    const std::string oneId = UniqueId("tag");
    EXPECT_EQ(Attempt(FaultUrl("id=" + oneId + ",size=4000"), -1, true), kTransferComplete);
    EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
    const auto requests = RequestsFor(oneId);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].range, "");
    EXPECT_EQ(requests[0].ifRange, "");
    EXPECT_EQ(ReadAll(tag), "\"v4000\"") << "the new response's ETag is kept";
  }
}

TEST_F(DownloadAttemptTest, ChangedFileOnServerRestartsWithinTheSameResponse) {
  // If-Range no longer matches: the server answers 200 with the whole file.
  ASSERT_TRUE(test::WriteTestFile(partial, std::string(1000, 'x')));
  ASSERT_TRUE(test::WriteTestFile(tag, "\"old\""));
  EXPECT_EQ(Attempt(Url("size=4000"), -1, true), kTransferComplete);
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  EXPECT_EQ(received, 4000u);
  EXPECT_EQ(ReadAll(tag), "\"v4000\"");
}

TEST_F(DownloadAttemptTest, ServerIgnoringRangeRestartsFromZero) {
  ASSERT_TRUE(test::WriteTestFile(partial, std::string(1000, 'x')));
  EXPECT_EQ(Attempt(Url("size=4000,norange=1"), 4000), kTransferComplete) << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  EXPECT_EQ(received, 4000u);
  EXPECT_EQ(progress.bytes_done.load(), 4000);
  EXPECT_EQ(RequestsFor(id).at(0).range, "bytes=1000-");

  // Cut when the answer arrives: a drop after 500 bytes leaves exactly those.
  ASSERT_TRUE(test::WriteTestFile(partial, std::string(1000, 'x')));
  EXPECT_EQ(Attempt(FaultUrl("id=" + UniqueId("cut") + ",size=4000,norange=1,drop=500"), 4000), kTransferRetry);
  EXPECT_TRUE(log.Has(L"connection closed early at 500/4000")) << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, 500));
  EXPECT_EQ(progress.bytes_done.load(), 500);
}

TEST_F(DownloadAttemptTest, PartialContentFromAnotherOffsetIsRefused) {
  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  const std::string url = Url("size=4000,shift=10");
  EXPECT_EQ(Attempt(url, 4000), kTransferRetry);
  EXPECT_TRUE(log.Has(L"bad Content-Range from " + W(url))) << log.text();
  EXPECT_EQ(FileSize(partial), 0);
}

TEST_F(DownloadAttemptTest, RangeNotSatisfiableCompletesOnlyAnUnknownSizeThatMatches) {
  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 4000)));
  EXPECT_EQ(Attempt(Url("size=4000,r416=1"), -1), kTransferComplete);
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));

  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  EXPECT_EQ(Attempt(Url("size=4000,r416=1"), -1), kTransferRetry);
  EXPECT_EQ(FileSize(partial), 0);

  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  EXPECT_EQ(Attempt(Url("size=1000,r416=1"), 4000), kTransferRetry) << "a known size never completes by 416";
  EXPECT_EQ(FileSize(partial), 0);
}

TEST_F(DownloadAttemptTest, SizeMismatchLeavesThePartialFileAlone) {
  const std::string url = Url("size=5000");
  EXPECT_EQ(Attempt(url, 4000), kTransferRetry);
  EXPECT_TRUE(log.Has(L"size mismatch on " + W(url) + L": 5000 != 4000")) << log.text();
  EXPECT_EQ(FileSize(partial), 0);

  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  EXPECT_EQ(Attempt(url, 4000), kTransferRetry);
  EXPECT_EQ(ReadAll(partial), Pattern(0, 1000));
}

TEST_F(DownloadAttemptTest, TooMuchDataCutsThePartialFile) {
  ASSERT_TRUE(test::WriteTestFile(partial, Pattern(0, 1000)));
  const std::string url = Url("size=4000,extra=100");
  EXPECT_EQ(Attempt(url, 4000), kTransferRetry);
  EXPECT_TRUE(log.Has(L"too much data from " + W(url))) << log.text();
  EXPECT_EQ(FileSize(partial), 0);
}

TEST_F(DownloadAttemptTest, ShortBodyIsResumedByTheNextAttempt) {
  const std::string url = Url("size=4000,drop=3990,times=1");
  EXPECT_EQ(Attempt(url, 4000), kTransferRetry);
  EXPECT_TRUE(log.Has(L"connection closed early at 3990/4000")) << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, 3990));
  EXPECT_EQ(progress.bytes_done.load(), 3990);

  EXPECT_EQ(Attempt(url, 4000), kTransferComplete) << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  EXPECT_EQ(received, 10u);
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "bytes=3990-");
}

TEST_F(DownloadAttemptTest, ValidatorIsTheStrongETagElseLastModified) {
  EXPECT_EQ(Attempt(Url("size=100"), -1, true), kTransferComplete);
  EXPECT_EQ(ReadAll(tag), "\"v100\"");

  DeleteFileW(partial.c_str());
  EXPECT_EQ(Attempt(Url("size=100,weak=1"), -1, true), kTransferComplete);
  EXPECT_EQ(ReadAll(tag), "Tue, 01 Dec 2026 10:00:00 GMT");

  DeleteFileW(partial.c_str());
  EXPECT_EQ(Attempt(Url("size=100,noetag=1,nolm=1"), -1, true), kTransferComplete);
  EXPECT_EQ(FileSize(tag), -1) << "no validator: the tag file goes";
}

TEST_F(DownloadAttemptTest, OverlongValidatorOnlyCostsAFullDownload) {
  // Only 1024 bytes of the tag are read back: the If-Range no longer matches
  // and the server sends the whole file again, which must still come out right.
  const std::string etag = "%22" + std::string(1200, 'e') + "%22";
  const std::string url = Url("size=4000,drop=1000,times=1,etag=" + etag);
  EXPECT_EQ(Attempt(url, -1, true), kTransferRetry);
  EXPECT_EQ(FileSize(tag), 1202);
  EXPECT_EQ(Attempt(url, -1, true), kTransferComplete) << log.text();
  EXPECT_EQ(ReadAll(partial), Pattern(0, 4000));
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].ifRange.size(), 1024u);
}

TEST_F(DownloadAttemptTest, StopFlagEndsTheAttemptAfterTheCurrentBlockWithoutALogLine) {
  std::thread stopper([&] {
    for (int i = 0; i < 500 && progress.bytes_done.load() == 0; ++i) Sleep(10);
    stop = true;
  });
  const int result = Attempt(Url("size=2000000,slow=50"), 2000000);
  stopper.join();
  EXPECT_EQ(result, kTransferStopped);
  const std::int64_t size = FileSize(partial);
  EXPECT_GT(size, 0);
  EXPECT_LT(size, 2000000);
  EXPECT_EQ(ReadAll(partial), Pattern(0, static_cast<std::uint64_t>(size)));
  EXPECT_TRUE(log.lines().empty()) << log.text();
}

TEST_F(DownloadAttemptTest, StopFlagRaisedBeforeTheAnswerGivesStopped) {
  stop = true;
  EXPECT_EQ(Attempt(Url("size=4000"), 4000), kTransferStopped);
  EXPECT_TRUE(log.lines().empty()) << log.text();
}

TEST_F(DownloadAttemptTest, ErrorStatusIsWorthAnotherTry) {
  const std::string url = Url("status=404");
  EXPECT_EQ(Attempt(url, 4000), kTransferRetry);
  EXPECT_TRUE(log.Has(L"HTTP 404 " + W(url))) << log.text();
  EXPECT_EQ(Attempt(Url("status=500"), -1), kTransferRetry);
}

TEST_F(DownloadAttemptTest, StalledBodyEndsAtTheReceiveTimeout) {
  SetTransferTimeoutForTesting(1500);
  const int result = Attempt(Url("size=4000,stall=6000,stallat=1000"), 4000);
  SetTransferTimeoutForTesting(0);
  EXPECT_EQ(result, kTransferRetry);
  // Wine's WinHttpReadData waits to fill the whole read (here the 4000 bytes
  // left), so the 1000 bytes sent before the stall may never reach the file;
  // and it reports the timeout as 10060 (WSAETIMEDOUT) where Windows says 12002.
  const std::int64_t size = FileSize(partial);
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 1u) << log.text();
  EXPECT_EQ(lines[0].rfind(L"read failed (stall/drop) err=", 0), 0u) << log.text();
  const std::wstring tail = L" at " + std::to_wstring(size);
  EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail) << log.text();
  EXPECT_LE(size, 1000);
  EXPECT_EQ(ReadAll(partial), Pattern(0, static_cast<std::uint64_t>(size)));
}

TEST_F(DownloadAttemptTest, SpeedIsMeasuredWhileDataFlows) {
  ASSERT_EQ(Attempt(Url("size=600000,slow=40"), 600000), kTransferComplete);
  // 37 blocks of 16 KiB, 40 ms apart: about 400 KB/s.
  EXPECT_GT(progress.bytes_per_second.load(), 100000);
  EXPECT_LT(progress.bytes_per_second.load(), 2000000);
}

TEST(OpenForWriteRetrying, GivesUpOnALockedFileAfterTenTries) {
  test::TempFolder folder;
  const std::wstring path = folder / L"held.bin";
  UniqueFile holder(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.valid());
  test::NetLogCapture log;
  UniqueFile file;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(OpenForWriteRetrying(path, file));
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_FALSE(file.valid());
  EXPECT_GE(took, 2700u);
  EXPECT_TRUE(log.Has(L"locked: " + path)) << log.text();

  holder.reset();
  EXPECT_TRUE(OpenForWriteRetrying(path, file));

  const std::wstring missing = folder / L"no\\such\\folder.bin";
  EXPECT_FALSE(OpenForWriteRetrying(missing, file));
  EXPECT_TRUE(log.Has(L"cannot open " + missing + L" err=3")) << log.text();
}

TEST(OpenForWriteRetrying, LocalFileErrorEndsTheAttempt) {
  test::TempFolder folder;
  TransferProgress progress;
  std::uint64_t received = 0;
  EXPECT_EQ(DownloadAttempt(FaultUrl("id=" + UniqueId("local")), folder / L"missing\\x.part", 10, false,
                            progress, nullptr, received),
            kTransferLocalError);
}

}  // namespace
}  // namespace nv
