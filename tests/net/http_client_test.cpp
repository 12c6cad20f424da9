// The HTTP client against the real test servers: nginx on 18443 and the fault
// server on 18446 (scripts/test-services starts both).
#include "net/http_client.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "net/http_client_testing.h"
#include "net_test_support.h"
#include "sync/fs/fs_helpers.h"

namespace nv {
namespace {

using test::FaultUrl;
using test::NetLogCapture;
using test::RequestsFor;
using test::UniqueId;

std::wstring W(std::string_view utf8) { return FromUtf8(utf8); }

TEST(HttpClient, SessionIsCreatedOnceForAllThreads) {
  std::set<HINTERNET> seen;
  std::mutex mutex;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      HINTERNET h = HttpSession();
      std::lock_guard<std::mutex> lock(mutex);
      seen.insert(h);
    });
  for (auto& t : threads) t.join();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(*seen.begin(), nullptr);
  EXPECT_EQ(HttpSession(), *seen.begin());
}

TEST(HttpClient, FetchesTextFromNginxWithUserAgentAndNoCache) {
  std::string body = "stale";
  ASSERT_TRUE(FetchText(std::string(test::kNginxBase) + "/hello.txt", body));
  EXPECT_EQ(body, "hello from nginx\n");

  const std::string id = UniqueId("ua");
  ASSERT_TRUE(FetchText(FaultUrl("id=" + id + ",size=10"), body));
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].userAgent, "Norvane-Launcher/1.0");
  EXPECT_EQ(requests[0].cacheControl, "no-cache");
  EXPECT_EQ(requests[0].pragma, "no-cache");
  EXPECT_EQ(requests[0].range, "");
}

TEST(HttpClient, SendsSpaceAndNonAsciiEncodedAndKeepsEscapesAndQuery) {
  const std::string id = UniqueId("enc");
  RequestHandles handles;
  ASSERT_TRUE(OpenGetRequest(FaultUrl("id=" + id, "a b/\xC3\xA9.bin"), L"", 15000, false, handles));
  EXPECT_EQ(handles.status, 200u);
  handles.Release();
  ASSERT_TRUE(OpenGetRequest(FaultUrl("id=" + id, "a%20b"), L"", 15000, false, handles));
  handles.Release();
  ASSERT_TRUE(OpenGetRequest(FaultUrl("id=" + id, "a?b=1"), L"", 15000, false, handles));
  handles.Release();

  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].path, "/f/id=" + id + "/a%20b/%C3%A9.bin");
  EXPECT_EQ(requests[1].path, "/f/id=" + id + "/a%20b");
  EXPECT_EQ(requests[2].path, "/f/id=" + id + "/a?b=1");
  EXPECT_EQ(requests[0].cacheControl, "") << "no-cache only when asked";
}

TEST(HttpClient, BareHostRequestsTheRootPath) {
  const std::size_t before = RequestsFor("*").size();
  RequestHandles handles;
  ASSERT_TRUE(OpenGetRequest(test::kFaultHost, L"", 15000, false, handles));
  EXPECT_EQ(handles.status, 404u);
  const auto all = RequestsFor("*");
  ASSERT_GT(all.size(), before);
  EXPECT_EQ(all[before].path, "/");
}

TEST(HttpClient, RefusesOtherSchemesAndNonUrls) {
  NetLogCapture log;
  RequestHandles handles;
  EXPECT_FALSE(OpenGetRequest("ftp://localhost:18446/x", L"", 15000, false, handles));
  EXPECT_FALSE(OpenGetRequest("notaurl", L"", 15000, false, handles));
  std::string body = "x";
  EXPECT_FALSE(FetchText("not a url", body));
  EXPECT_EQ(body, "");
  EXPECT_TRUE(log.Has(L"bad url: ftp://localhost:18446/x")) << log.text();
  EXPECT_TRUE(log.Has(L"bad url: notaurl")) << log.text();
  EXPECT_TRUE(log.Has(L"bad url: not%20a%20url")) << log.text();
}

TEST(HttpClient, ConnectionRefusedIsARequestFailure) {
  NetLogCapture log;
  RequestHandles handles;
  EXPECT_FALSE(OpenGetRequest("https://localhost:18447/x", L"", 5000, false, handles));
  EXPECT_TRUE(log.HasPrefix(L"request failed https://localhost:18447/x err=")) << log.text();
}

TEST(HttpClient, FetchTextLogsNon200AndLeavesBodyEmpty) {
  NetLogCapture log;
  const std::string url = FaultUrl("id=" + UniqueId("404") + ",status=404");
  std::string body = "old";
  EXPECT_FALSE(FetchText(url, body));
  EXPECT_EQ(body, "");
  EXPECT_TRUE(log.Has(L"HTTP 404 " + W(url))) << log.text();
  EXPECT_FALSE(FetchText(FaultUrl("id=" + UniqueId("500") + ",status=500"), body));
  EXPECT_TRUE(log.HasPrefix(L"HTTP 500 ")) << log.text();
}

TEST(HttpClient, FetchTextTakesExactly16MiBAndRefusesOneByteMore) {
  constexpr std::int64_t kLimit = 16777216;
  std::string body;
  ASSERT_TRUE(FetchText(FaultUrl("id=" + UniqueId("16m") + ",size=16777216"), body));
  ASSERT_EQ(static_cast<std::int64_t>(body.size()), kLimit);
  EXPECT_EQ(body.substr(0, 1000), test::Pattern(0, 1000));
  EXPECT_EQ(body.substr(kLimit - 1000), test::Pattern(kLimit - 1000, 1000));

  EXPECT_FALSE(FetchText(FaultUrl("id=" + UniqueId("16m1") + ",size=16777217"), body));
  EXPECT_EQ(body, "");
  // Without a Content-Length the cap holds while reading.
  EXPECT_TRUE(FetchText(FaultUrl("id=" + UniqueId("16mn") + ",size=16777216,nolen=1"), body));
  EXPECT_EQ(static_cast<std::int64_t>(body.size()), kLimit);
  EXPECT_FALSE(FetchText(FaultUrl("id=" + UniqueId("16mn1") + ",size=16777217,nolen=1"), body));
  EXPECT_EQ(body, "");
  // A hostile Content-Length is refused before anything is read.
  EXPECT_FALSE(FetchText(FaultUrl("id=" + UniqueId("huge") + ",size=10,clen=99999999999999999999"), body));
  EXPECT_FALSE(FetchText(FaultUrl("id=" + UniqueId("huge2") + ",size=10,clen=17000000"), body));
  EXPECT_EQ(body, "");
}

TEST(HttpClient, FetchTextRefusesABodyShorterThanItsContentLength) {
  std::string body = "x";
  EXPECT_FALSE(FetchText(FaultUrl("id=" + UniqueId("short") + ",size=100,drop=60"), body));
  EXPECT_EQ(body, "");
}

TEST(HttpClient, FetchTextRemovesAByteOrderMark) {
  std::string body;
  ASSERT_TRUE(FetchText(FaultUrl("id=" + UniqueId("bom") + ",size=10,bom=1"), body));
  EXPECT_EQ(body, test::Pattern(0, 10));
  ASSERT_TRUE(FetchText(FaultUrl("id=" + UniqueId("two") + ",size=2"), body));
  EXPECT_EQ(body, test::Pattern(0, 2));
}

TEST(HttpClient, ContentLengthUnknownWhenMissingLettersOrNegative) {
  struct Case {
    std::string options;
    std::int64_t expected;
  } cases[] = {
      {"size=4000", 4000},
      {"size=10,nolen=1", -1},
      {"size=10,clen=abc", -1},
      {"size=10,clen=-5", -1},
  };
  for (const Case& c : cases) {
    RequestHandles handles;
    ASSERT_TRUE(OpenGetRequest(FaultUrl("id=" + UniqueId("cl") + "," + c.options), L"", 15000, false, handles))
        << c.options;
    EXPECT_EQ(QueryContentLength(handles.request.get()), c.expected) << c.options;
  }
}

TEST(HttpClient, QueryHeaderTextReadsHeadersAndLeavesOutputAloneWhenMissing) {
  RequestHandles handles;
  ASSERT_TRUE(OpenGetRequest(FaultUrl("id=" + UniqueId("hdr") + ",size=77,noetag=1"), L"", 15000, false, handles));
  std::wstring text = L"keep";
  EXPECT_FALSE(QueryHeaderText(handles.request.get(), WINHTTP_QUERY_ETAG, text));
  EXPECT_EQ(text, L"keep");
  ASSERT_TRUE(QueryHeaderText(handles.request.get(), WINHTTP_QUERY_LAST_MODIFIED, text));
  EXPECT_EQ(text, L"Tue, 01 Dec 2026 10:00:00 GMT");
  ASSERT_TRUE(QueryHeaderText(handles.request.get(), WINHTTP_QUERY_CONTENT_LENGTH, text));
  EXPECT_EQ(text, L"77");
}

TEST(HttpClient, ExtraHeadersAreSent) {
  const std::string id = UniqueId("extra");
  RequestHandles handles;
  ASSERT_TRUE(OpenGetRequest(FaultUrl("id=" + id + ",size=100"), L"Range: bytes=40-\r\n", 15000, true, handles));
  EXPECT_EQ(handles.status, 206u);
  const auto requests = RequestsFor(id);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=40-");
  EXPECT_EQ(requests[0].cacheControl, "no-cache");
}

TEST(HttpClient, StalledServerEndsAtTheReceiveTimeout) {
  // The production 15 s is shortened through the seam only.
  SetFetchTimeoutForTesting(1500);
  std::string body = "x";
  const ULONGLONG start = GetTickCount64();
  const bool ok = FetchText(FaultUrl("id=" + UniqueId("stall") + ",size=100,stall=6000,stallat=10"), body);
  const ULONGLONG took = GetTickCount64() - start;
  SetFetchTimeoutForTesting(0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(body, "");
  EXPECT_LT(took, 5500u) << "the request should end at the shortened timeout";
}

}  // namespace
}  // namespace nv
