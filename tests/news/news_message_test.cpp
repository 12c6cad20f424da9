#include "news/news_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nv {
namespace {

constexpr MessageType kNews = MessageType::kNews;
constexpr MessageType kOnline = MessageType::kOnline;

TEST(MakeTypedMessage, WrapsObjectsAndRefusesTheRest) {
  struct Case {
    std::string text;
    MessageType type;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {R"({"headline":{"title":"Hi"},"news":[]})", kNews,
       R"({"headline":{"title":"Hi"},"news":[],"t":"news"})"},
      {"{}", kOnline, R"({"t":"online"})"},
      {"{ \r\n\t }", kOnline, R"({"t":"online"})"},
      {"\xEF\xBB\xBF  {\"players\":12}\r\n", kOnline, R"({"players":12,"t":"online"})"},
      // Inner blanks are kept as they are; only the outside is trimmed.
      {"\n{ \"a\":1 }\n", kNews, R"({ "a":1 ,"t":"news"})"},
      // A "t" of the document's own comes first; the page keeps the last one.
      {R"({"t":"state","x":1})", kNews, R"({"t":"state","x":1,"t":"news"})"},
      {"[1,2]", kNews, ""},
      {"players: 5", kOnline, ""},
      {"", kOnline, ""},
      {"   \r\n", kOnline, ""},
      {"{", kNews, ""},
      {"}", kNews, ""},
      {"{\"a\":1", kNews, ""},
      {"\xEF\xBB\xBF", kNews, ""},
      // Only one byte order mark is removed.
      {"\xEF\xBB\xBF\xEF\xBB\xBF{}", kNews, ""},
      // The BOM rule needs more than two bytes; "{}" itself is kept.
      {"{}", kNews, R"({"t":"news"})"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MakeTypedMessage(c.text, c.type), c.expected) << "text: " << c.text;
}

struct FakeSite {
  std::vector<std::string> newsReplies;    // one per cycle; "" = fetch fails
  std::vector<std::string> onlineReplies;  // one per cycle; "" = fetch fails
  std::vector<std::string> requests;
  std::vector<std::string> posted;  // "type|json"
  int cycles = 0;
  int maxCycles = 0;

  NewsLoopCalls Calls() {
    NewsLoopCalls calls;
    calls.fetch = [this](const std::string& url, std::string& body) {
      requests.push_back(url);
      const auto& replies = url == "N" ? newsReplies : onlineReplies;
      const std::size_t i = static_cast<std::size_t>(cycles);
      if (i >= replies.size() || replies[i].empty()) return false;
      body = replies[i];
      return true;
    };
    calls.post = [this](MessageType type, const std::string& json) {
      posted.push_back(std::string(MessageTypeName(type)) + "|" + json);
    };
    calls.wait = [this] { return ++cycles < maxCycles; };
    return calls;
  }
};

TEST(NewsLoop, NewsUntilFirstSuccessAndOnlineEveryCycle) {
  FakeSite site;
  site.maxCycles = 5;
  // News fails, is not an object, then arrives in the third cycle.
  site.newsReplies = {"", "<html>busy</html>", R"({"news":[1]})", R"({"news":[2]})", ""};
  site.onlineReplies = {R"({"online":true,"players":7})", "", "[]", " {} ", ""};
  RunNewsLoop("N", "O", site.Calls());

  EXPECT_EQ(site.requests, (std::vector<std::string>{"N", "O", "N", "O", "N", "O", "O", "O"}));
  const std::string fallback = "online|" + std::string(kFallbackOnlineMessage);
  EXPECT_EQ(site.posted, (std::vector<std::string>{
                             R"(online|{"online":true,"players":7,"t":"online"})",
                             fallback,
                             R"(news|{"news":[1],"t":"news"})",
                             fallback,
                             R"(online|{"t":"online"})",
                             fallback,
                         }));
}

TEST(NewsLoop, SiteDownPostsOnlyTheFallbackAndEndsOnQuit) {
  FakeSite site;
  site.maxCycles = 3;
  RunNewsLoop("N", "O", site.Calls());
  EXPECT_EQ(site.cycles, 3);
  ASSERT_EQ(site.posted.size(), 3u);
  for (const std::string& p : site.posted)
    EXPECT_EQ(p, "online|" + std::string(kFallbackOnlineMessage));
  EXPECT_EQ(kFallbackOnlineMessage, R"({"t":"online","online":false,"players":0,"unknown":true})");
}

}  // namespace
}  // namespace nv
