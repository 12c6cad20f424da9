// The shared ASCII rules: only A-Z change case, in narrow and wide text, and
// the signed decimal reader keeps every 64-bit value and flags the rest.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sync/fs/ascii_text.h"

namespace nv {
namespace {

TEST(AsciiCase, OnlyTheLettersAToZChange) {
  EXPECT_EQ(LowerAscii('A'), 'a');
  EXPECT_EQ(LowerAscii('Z'), 'z');
  EXPECT_EQ(LowerAscii('@'), '@');  // the neighbours of A-Z
  EXPECT_EQ(LowerAscii('['), '[');
  EXPECT_EQ(LowerAscii(L'\u00C9'), L'\u00C9');  // É is not ASCII
  EXPECT_EQ(LowerAscii(static_cast<char>(0xC3)), static_cast<char>(0xC3));
  EXPECT_EQ(AsciiLower(std::wstring_view(L"C:\\NorVane\\\u00C9")), L"c:\\norvane\\\u00C9");

  EXPECT_TRUE(EqualsIgnoringAsciiCase(std::wstring_view(L"--Uninstall"), std::wstring_view(L"--uninstall")));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(std::wstring_view(L"--uninstal"), std::wstring_view(L"--uninstall")));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(std::string_view("a@"), std::string_view("A`")));  // '@'+32 is '`'
  EXPECT_TRUE(StartsWithIgnoringAsciiCase(std::string_view("HTTPS://x"), "https://"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase(std::string_view("http"), "https://"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase(std::wstring_view(L"Http://x"), L"http://"));
}

TEST(AsciiCase, CompareOrdersLoweredUnitsAsUnsignedAndPrefixesFirst) {
  EXPECT_EQ(CompareAsciiLower("Data/A", "data/a"), 0);
  EXPECT_LT(CompareAsciiLower("data", "data/a"), 0);
  EXPECT_GT(CompareAsciiLower("data/b", "DATA/A"), 0);
  // Bytes above 0x7F sort after ASCII whatever the sign of char.
  EXPECT_LT(CompareAsciiLower("z", "\xc3\x89"), 0);
  // '_' (0x5F) sorts after 'Z' but before 'a' unless Z is lowered first.
  EXPECT_LT(CompareAsciiLower("_", "Z"), 0);
}

TEST(ReadDecimalPrefix, SignDigitsOverflowAndLength) {
  struct Case {
    const char* text;
    std::int64_t value;
    std::size_t length;
    bool digits;
    bool overflow;
  };
  const Case cases[] = {
      {"", 0, 0, false, false},
      {"-", 0, 1, false, false},
      {"+7", 7, 2, true, false},
      {"0042x", 42, 4, true, false},
      {" 5", 0, 0, false, false},  // no white space is skipped
      {"9223372036854775807", INT64_MAX, 19, true, false},
      {"9223372036854775808", INT64_MAX, 19, true, true},
      {"-9223372036854775808", INT64_MIN, 20, true, false},
      {"-9223372036854775809", INT64_MIN, 20, true, true},
      {"123456789012345678901234567890|", INT64_MAX, 30, true, true},
  };
  for (const Case& c : cases) {
    const DecimalPrefix narrow = ReadDecimalPrefix(std::string_view(c.text));
    EXPECT_EQ(narrow.value, c.value) << c.text;
    EXPECT_EQ(narrow.length, c.length) << c.text;
    EXPECT_EQ(narrow.digits, c.digits) << c.text;
    EXPECT_EQ(narrow.overflow, c.overflow) << c.text;
    const std::string text(c.text);
    const DecimalPrefix wide = ReadDecimalPrefix(std::wstring_view(std::wstring(text.begin(), text.end())));
    EXPECT_EQ(wide.value, narrow.value) << c.text;
    EXPECT_EQ(wide.length, narrow.length) << c.text;
  }
}

}  // namespace
}  // namespace nv
