#include "net/url_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace nv {
namespace {

TEST(EncodeUrlBytes, EscapesSpaceControlAndNonAsciiButKeepsExistingEscapes) {
  EXPECT_EQ(EncodeUrlBytes("https://h/a b"), "https://h/a%20b");
  EXPECT_EQ(EncodeUrlBytes("https://h/a%20b"), "https://h/a%20b");
  EXPECT_EQ(EncodeUrlBytes("https://h/\xC3\xA9t\xC3\xA9"), "https://h/%C3%A9t%C3%A9");
  EXPECT_EQ(EncodeUrlBytes(std::string("\t\n\x7F\x01", 4)), "%09%0A%7F%01");
  EXPECT_EQ(EncodeUrlBytes("!~?#&="), "!~?#&=");
  EXPECT_EQ(EncodeUrlBytes(""), "");
}

TEST(EncodeUrlPath, TurnsBackslashesIntoSlashesAndEscapesTheRest) {
  EXPECT_EQ(EncodeUrlPath("client\\data\\a b.pak"), "client/data/a%20b.pak");
  EXPECT_EQ(EncodeUrlPath("/x"), "x");
  EXPECT_EQ(EncodeUrlPath("\\/\\x/y"), "x/y");
  EXPECT_EQ(EncodeUrlPath("//\\"), "");
  EXPECT_EQ(EncodeUrlPath("A-z_0.9~"), "A-z_0.9~");
  EXPECT_EQ(EncodeUrlPath("a%b?c#d+e"), "a%25b%3Fc%23d%2Be");
  EXPECT_EQ(EncodeUrlPath("\xE2\x82\xAC"), "%E2%82%AC");
}

TEST(TrimBaseUrl, RemovesTrailingSlashesBlanksAndTabsOnly) {
  EXPECT_EQ(TrimBaseUrl("https://h/download/ \t/"), "https://h/download");
  EXPECT_EQ(TrimBaseUrl(" https://h/download"), " https://h/download");
  EXPECT_EQ(TrimBaseUrl("///"), "");
}

TEST(ParseContentLengthText, UnknownForLettersNegativeAndEmpty) {
  EXPECT_EQ(ParseContentLengthText(L"4000"), 4000);
  EXPECT_EQ(ParseContentLengthText(L" 12abc"), 12);
  EXPECT_EQ(ParseContentLengthText(L"0"), 0);
  EXPECT_EQ(ParseContentLengthText(L"abc"), -1);
  EXPECT_EQ(ParseContentLengthText(L"-5"), -1);
  EXPECT_EQ(ParseContentLengthText(L""), -1);
  EXPECT_EQ(ParseContentLengthText(L"99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(ParseContentLengthText(L"-99999999999999999999999"), -1);
}

TEST(ParseContentRangeText, ReadsStartAndCompleteLength) {
  struct Case {
    const wchar_t* text;
    bool ok;
    std::int64_t start;
    std::int64_t length;
  } cases[] = {
      {L"bytes 100-199/1000", true, 100, 1000},
      {L"bytes */1000", true, -1, 1000},
      {L"bytes 0-9/*", true, 0, -1},
      {L"bytes 5-9", true, 5, -1},
      {L"bytes 5-9/", true, 5, -1},
      {L"bytes x-y/abc", false, -1, -1},
      {L"", false, -1, -1},
      {L"bytes", false, -1, -1},
      {L"bytes 99999999999999999999-/5", true, INT64_MAX, 5},
      {L"bytes 10-19/-199", true, 10, -1},
  };
  for (const Case& c : cases) {
    std::int64_t start = 7, length = 7;
    EXPECT_EQ(ParseContentRangeText(c.text, &start, &length), c.ok) << c.text;
    EXPECT_EQ(start, c.start) << c.text;
    EXPECT_EQ(length, c.length) << c.text;
  }
}

TEST(StripUtf8Bom, RemovesOnlyALeadingMark) {
  std::string text = "\xEF\xBB\xBFhi";
  StripUtf8Bom(text);
  EXPECT_EQ(text, "hi");
  text = "\xEF\xBB";
  StripUtf8Bom(text);
  EXPECT_EQ(text, "\xEF\xBB");
  text = "a\xEF\xBB\xBF";
  StripUtf8Bom(text);
  EXPECT_EQ(text, "a\xEF\xBB\xBF");
}

TEST(ParseMirrorList, KeepsHttpsLinesAsWrittenTrimmedAndOnce) {
  const std::vector<std::string> one = ParseMirrorList(
      "# mirrors\r\n\r\n   HTTPS://Mirror.Example/download/ \t\r\nftp://files.example/download\r\n");
  EXPECT_EQ(one, std::vector<std::string>{"HTTPS://Mirror.Example/download"});

  const std::vector<std::string> dup = ParseMirrorList(
      "https://a.example/download\nhttps://a.example/download/\nhttps://A.example/download\n"
      "https://b.example/download");  // last line without LF counts too
  EXPECT_EQ(dup, (std::vector<std::string>{"https://a.example/download", "https://A.example/download",
                                           "https://b.example/download"}));

  EXPECT_TRUE(ParseMirrorList("").empty());
  EXPECT_TRUE(ParseMirrorList("\n\n#https://x/download\nhttps:/x\nmailto:x\n").empty());
  EXPECT_EQ(ParseMirrorList("\t#c\nhttps://x\r"), std::vector<std::string>{"https://x"});
}

TEST(ParseMirrorList, DropsPlainHttpAndCredentialLines) {
  // Only the last line is usable; an '@' after the authority is path text.
  EXPECT_EQ(ParseMirrorList("http://b.example/download\nHTTP://c.example\n"
                            "https://user@d.example/download\nhttps://u:p@e.example/\n"
                            "https:///download\nhttps://f.example/a@b\n"),
            std::vector<std::string>{"https://f.example/a@b"});
}

TEST(ShuffleMirrors, IsAPermutationThatDependsOnTheSeed) {
  std::vector<std::string> base;
  for (int i = 0; i < 8; ++i) base.push_back("https://m" + std::to_string(i) + "/download");
  std::set<std::vector<std::string>> orders;
  for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u, 0xDEADBEEFu}) {
    std::vector<std::string> list = base;
    ShuffleMirrors(list, seed);
    std::vector<std::string> sorted = list;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, base) << "seed " << seed;
    orders.insert(list);

    std::vector<std::string> again = base;
    ShuffleMirrors(again, seed);
    EXPECT_EQ(again, list) << "the same seed gives the same order";
  }
  EXPECT_GE(orders.size(), 5u);

  std::vector<std::string> empty;
  ShuffleMirrors(empty, 9);
  EXPECT_TRUE(empty.empty());
  std::vector<std::string> single{"https://only"};
  ShuffleMirrors(single, 9);
  EXPECT_EQ(single, std::vector<std::string>{"https://only"});
}

TEST(ShuffleMirrors, SpreadsEveryEntryOverEveryPlace) {
  // Over many seeds each of three mirrors lands first about a third of the time.
  int first[3] = {};
  for (std::uint32_t seed = 0; seed < 3000; ++seed) {
    std::vector<std::string> list{"a", "b", "c"};
    ShuffleMirrors(list, seed);
    ++first[list[0][0] - 'a'];
  }
  for (int count : first) {
    EXPECT_GT(count, 850);
    EXPECT_LT(count, 1150);
  }
}

TEST(BuildMirrorUrls, JoinsEncodedPathOntoEachMirror) {
  // The entries as the list was made: ParseMirrorList trimmed them.
  const std::vector<std::string> urls = BuildMirrorUrls(
      ParseMirrorList("https://a/download/\n  /\nhttps://b/download \t"), "client\\data\\a b.pak");
  EXPECT_EQ(urls, (std::vector<std::string>{"https://a/download/client/data/a%20b.pak",
                                            "https://b/download/client/data/a%20b.pak"}));
  EXPECT_EQ(BuildMirrorUrls(ParseMirrorList("/\n\n"), "x"), std::vector<std::string>{});
}

TEST(BackoffPauseMs, DoublesPerFruitlessPassUpToEightSeconds) {
  EXPECT_EQ(BackoffPauseMs(2, 2), 2000u);
  EXPECT_EQ(BackoffPauseMs(4, 2), 4000u);
  EXPECT_EQ(BackoffPauseMs(1, 1), 2000u);
  EXPECT_EQ(BackoffPauseMs(2, 1), 4000u);
  EXPECT_EQ(BackoffPauseMs(3, 1), 8000u);
  EXPECT_EQ(BackoffPauseMs(50, 1), 8000u);
  EXPECT_EQ(BackoffPauseMs(0, 3), 1000u);
  EXPECT_EQ(BackoffPauseMs(5, 0), 8000u);
}

TEST(SameHexDigest, IgnoresLetterCaseButNotLength) {
  EXPECT_TRUE(SameHexDigest("ABCDEF0123", "abcdef0123"));
  EXPECT_FALSE(SameHexDigest("abc", "abcd"));
  EXPECT_FALSE(SameHexDigest("abc", "abd"));
  EXPECT_TRUE(SameHexDigest("", ""));
}

}  // namespace
}  // namespace nv
