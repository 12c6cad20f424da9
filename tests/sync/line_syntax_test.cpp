#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sync/line_syntax.h"

namespace nv {
namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> out;
  for (auto line : SplitLines(text)) out.emplace_back(line);
  return out;
}

TEST(SplitLines, ByteOrderMarkLineEndsAndTrailingSpace) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines("\xEF\xBB\xBF" "a\nb"), (V{"a", "b"}));
  EXPECT_EQ(Lines("\xEF\xBB\xBF"), V{});
  // Only a mark at the very start is skipped, and only a whole one.
  EXPECT_EQ(Lines("\xEF\xBB"), (V{"\xEF\xBB"}));
  EXPECT_EQ(Lines("a\n\xEF\xBB\xBF" "b"), (V{"a", "\xEF\xBB\xBF" "b"}));
  EXPECT_EQ(Lines("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a \t\r\r \n"), (V{"a"}));
  EXPECT_EQ(Lines("  lead\n\n x"), (V{"  lead", "", " x"}));
  EXPECT_EQ(Lines("a\rb\n"), (V{"a\rb"}));  // a CR inside a line stays
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("\n\n"), (V{"", ""}));
}

TEST(SplitFields, EmptyFieldsCount) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitFields("a|b|c", '|'), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitFields("a||b|", '|'), (V{"a", "", "b", ""}));
  EXPECT_EQ(SplitFields("", '|'), (V{""}));
  EXPECT_EQ(SplitFields("|", '|'), (V{"", ""}));
  EXPECT_EQ(SplitFields("a/b", '|'), (V{"a/b"}));
}

TEST(ParseDecimal, DigitsOnlyUpToEighteen) {
  EXPECT_EQ(ParseDecimal("0"), 0u);
  EXPECT_EQ(ParseDecimal("007"), 7u);
  EXPECT_EQ(ParseDecimal("999999999999999999"), 999999999999999999u);
  EXPECT_EQ(ParseDecimal("000000000000000001"), 1u);
  for (const char* bad : {"", "1000000000000000000", "0000000000000000000", "-1", "+1", " 1", "1 ",
                          "1a", "0x10", "1.5", "\xd9\xa1"})
    EXPECT_FALSE(ParseDecimal(bad)) << bad;
}

TEST(IsValidContentPath, AcceptsOrdinaryPaths) {
  for (const char* good : {"a", "data/sub/a.grf", "A B/c d.txt", ".hidden", "a..b", "x/...y",
                           "Caf\xc3\xa9/\xe6\x97\xa5.dat", "a#b", "#lead", " lead/x"})
    EXPECT_TRUE(IsValidContentPath(good)) << good;
  EXPECT_TRUE(IsValidContentPath(std::string(400, 'a')));
  EXPECT_FALSE(IsValidContentPath(std::string(401, 'a')));
}

TEST(IsValidContentPath, RejectsEveryRuleBreak) {
  for (const char* bad : {"", "/a", "a\\b", "C:a", "a:b/c", "a//b", "a/", "./a", "a/./b", "../a",
                          "a/../b", "a/..", ".", "..", "a./b", "a/b.", "a /b", "a/b ", "a<b",
                          "a>b", "a\"b", "a|b", "a?b", "a*b", "a\tb", "a\x1f" "b", "a\x01"})
    EXPECT_FALSE(IsValidContentPath(bad)) << bad;
  EXPECT_FALSE(IsValidContentPath(std::string_view("a\0b", 3)));
}

TEST(IsValidContentPath, RejectsDeviceNamesInAnySegment) {
  for (const char* bad : {"con", "CON", "nul.dat", "data/aux", "Com1.log", "lpt9", "prn/x",
                          "CONOUT$", "conin$.txt", "nul .txt", "com0", "COM\xc2\xb9",
                          "lpt\xc2\xb3.txt", "data/Com\xc2\xb2"})
    EXPECT_FALSE(IsValidContentPath(bad)) << bad;
  for (const char* good : {"console", "con_", "nul2", "com10", "lpt", "xcon", "a.con", "data/com",
                           "com\xc2\xb4", "lpt\xc2\xb9\xc2\xb9"})
    EXPECT_TRUE(IsValidContentPath(good)) << good;
}

TEST(IsValidContentPath, RejectsMalformedUtf8) {
  // A stray continuation, a cut sequence, overlong forms, a surrogate, above U+10FFFF.
  for (const char* bad : {"a\x80", "\xc3", "a/\xe6\x97", "\xc0\xaf", "\xe0\x80\xaf",
                          "\xf0\x80\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xff"})
    EXPECT_FALSE(IsValidContentPath(bad)) << bad;
  for (const char* good : {"\xed\x9f\xbf", "\xf4\x8f\xbf\xbf", "\xf0\x9f\x98\x80.png"})
    EXPECT_TRUE(IsValidContentPath(good)) << good;
}

TEST(IsValidContentPath, RejectsTheLaunchersOwnNames) {
  for (const char* bad : {"launcher_state.txt", "LAUNCHER_STATE.TXT", "launcher_state.txt.tmp",
                          "DATA.INI.full", ".nrv_write_test", "norvane-launcher.exe",
                          "Norvane-Launcher.exe.new", "Norvane-Launcher.exe.OLD", "data/a.grf.part",
                          "a.Part.TAG", "sub/x.tmp", "DATA.INI.tmp",
                          "launcher_\xc5\xbftate.txt"})  // a long s upper-cases to S
    EXPECT_FALSE(IsValidContentPath(bad)) << bad;
  for (const char* good : {"DATA.INI", "norvane.exe", "sub/launcher_state.txt", "sub/DATA.INI.full",
                           "a.partial", "part", "a.tmp2", "Norvane-Launcher.exe.bak"})
    EXPECT_TRUE(IsValidContentPath(good)) << good;
}

TEST(ParseSha256, SixtyFourHexDigitsLowered) {
  const std::string lower(64, 'a');
  EXPECT_EQ(ParseSha256(std::string(64, 'A')), lower);
  EXPECT_EQ(ParseSha256("0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123"),
            "0123456789abcdefabcdef0123456789abcdefabcdef0123456789abcdef0123");
  EXPECT_FALSE(ParseSha256(std::string(63, 'a')));
  EXPECT_FALSE(ParseSha256(std::string(65, 'a')));
  EXPECT_FALSE(ParseSha256(std::string(63, 'a') + "g"));
  EXPECT_FALSE(ParseSha256(std::string(63, 'a') + " "));
  EXPECT_FALSE(ParseSha256(""));
}

}  // namespace
}  // namespace nv
