#include <gtest/gtest.h>

#include "bridge/nv_api.h"

namespace nv {
namespace {

TEST(JsonEscape, EveryControlByteHasItsEscape) {
  for (int byte = 0; byte < 0x20; ++byte) {
    const std::string escaped = JsonEscape(std::string(1, static_cast<char>(byte)));
    switch (byte) {
      case 0x09: EXPECT_EQ(escaped, "\\t"); break;
      case 0x0A: EXPECT_EQ(escaped, "\\n"); break;
      case 0x0D: EXPECT_EQ(escaped, "\\r"); break;
      default: {
        char expected[7];
        std::snprintf(expected, sizeof expected, "\\u%04x", byte);
        EXPECT_EQ(escaped, expected) << "byte " << byte;
      }
    }
  }
  EXPECT_EQ(JsonEscape("\x1f"), "\\u001f");  // lower-case hex
  EXPECT_EQ(JsonEscape(std::string("\0", 1)), "\\u0000");
}

TEST(JsonEscape, QuotesAndBackslashesOnlyOtherBytesUnchanged) {
  EXPECT_EQ(JsonString("say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(JsonString("C:\\Games\\Norvane"), "\"C:\\\\Games\\\\Norvane\"");
  EXPECT_EQ(JsonString("a/b"), "\"a/b\"");  // the slash is not escaped
  EXPECT_EQ(JsonString("\x7f"), "\"\x7f\"");
  // Raw multi-byte UTF-8 (é, 日, an emoji) is copied, never turned into \u.
  EXPECT_EQ(JsonString("Caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x8e\xae"),
            "\"Caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x8e\xae\"");
  // Even invalid UTF-8 bytes pass as they are; the escaping is by byte.
  EXPECT_EQ(JsonEscape("\xff\xfe"), "\xff\xfe");
  EXPECT_EQ(JsonString(""), "\"\"");
}

TEST(JsonEscape, FolderWithBellCharacter) {
  EXPECT_EQ(JsonString("D:\\a\x07" "b"), "\"D:\\\\a\\u0007b\"");
}

}  // namespace
}  // namespace nv
