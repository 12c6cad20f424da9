#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "sync/manifest.h"

namespace nv {
namespace {

const std::string kHashA(64, 'a');
const std::string kHashB(64, 'b');

std::string FileLine(const std::string& path, const std::string& size = "10",
                     const std::string& hash = kHashA) {
  return path + "|" + size + "|" + hash + "\n";
}

// A valid manifest with the given extra lines appended.
ContentManifest ParseWith(const std::string& extra) {
  return ParseManifest("version|1.2\n" + FileLine("a.dat") + extra);
}

TEST(ParseManifest, ReadsHeaderAndEntriesInOrder) {
  const auto m = ParseManifest(
      "\xEF\xBB\xBF# Norvane client\r\n"
      "version|2024.1\r\n"
      "total|300\r\n"
      "count|3\r\n"
      "\r\n"
      "data/b.grf|100|" + std::string(64, 'A') + "\r\n"
      "data/a.grf|200|" + kHashB + "|u  \r\n"
      "config/opt.ini|0|" + kHashA + "|\r\n");
  ASSERT_TRUE(m.valid);
  EXPECT_EQ(m.version, "2024.1");
  EXPECT_EQ(m.total, 300u);
  ASSERT_EQ(m.entries.size(), 3u);
  EXPECT_EQ(m.entries[0].path, "data/b.grf");
  EXPECT_EQ(m.entries[0].size, 100u);
  EXPECT_EQ(m.entries[0].sha256, kHashA);  // stored lower case
  EXPECT_FALSE(m.entries[0].userFile);
  EXPECT_EQ(m.entries[1].path, "data/a.grf");
  EXPECT_TRUE(m.entries[1].userFile);
  EXPECT_EQ(m.entries[2].size, 0u);
  EXPECT_FALSE(m.entries[2].userFile);  // an empty flags field is allowed
}

TEST(ParseManifest, CountMustMatchWhenPresent) {
  const std::string three = FileLine("a") + FileLine("b") + FileLine("c");
  EXPECT_TRUE(ParseManifest("version|1\ncount|3\n" + three).valid);
  EXPECT_TRUE(ParseManifest("version|1\n" + three).valid);
  EXPECT_FALSE(ParseManifest("version|1\ncount|3\n" + FileLine("a") + FileLine("b")).valid);
  EXPECT_FALSE(ParseManifest("version|1\ncount|0\n" + three).valid);
  EXPECT_TRUE(ParseManifest("version|1\ncount|003\n" + three).valid);
}

TEST(ParseManifest, BadNumbersInvalidate) {
  EXPECT_TRUE(ParseWith("total|0\n").valid);
  EXPECT_EQ(ParseWith("total|999999999999999999\n").total, 999999999999999999u);
  for (const char* line : {"total|\n", "total|12a\n", "count|-1\n", "count|\n", "total| 5\n",
                           "count|1000000000000000000\n"})
    EXPECT_FALSE(ParseWith(line).valid) << line;
  EXPECT_FALSE(ParseWith(FileLine("b", "1234567890123456789")).valid);  // 19 digits
  EXPECT_TRUE(ParseWith(FileLine("b", "123456789012345678")).valid);
  EXPECT_FALSE(ParseWith(FileLine("b", "")).valid);
  EXPECT_FALSE(ParseWith(FileLine("b", "-5")).valid);
}

TEST(ParseManifest, BadHashesInvalidate) {
  EXPECT_FALSE(ParseWith(FileLine("b", "1", std::string(63, 'a'))).valid);
  EXPECT_FALSE(ParseWith(FileLine("b", "1", std::string(65, 'a'))).valid);
  EXPECT_FALSE(ParseWith(FileLine("b", "1", std::string(63, 'a') + "g")).valid);
  EXPECT_FALSE(ParseWith(FileLine("b", "1", "")).valid);
}

TEST(ParseManifest, EveryPathRuleBreakInvalidates) {
  for (const char* path : {"../a", "a/../b", "./a", "a/.", "a//b", "/a", "a\\b", "C:/a", "a:b",
                           "a./b", "a /b", "a/", "a?", "a*", "a<b", "a>b", "a\"b", "",
                           "COM\xc2\xb9", "a\xff", "launcher_state.txt", "x.grf.part"}) {
    EXPECT_FALSE(ParseWith(FileLine(path)).valid) << path;
  }
}

TEST(ParseManifest, CaseInsensitiveDuplicatesInvalidateAndAreNotAdded) {
  const auto dup = ParseManifest("version|1\n" + FileLine("Data/A.grf") + FileLine("data/a.GRF"));
  EXPECT_FALSE(dup.valid);
  ASSERT_EQ(dup.entries.size(), 1u);
  EXPECT_EQ(dup.entries[0].path, "Data/A.grf");
  EXPECT_FALSE(ParseManifest("version|1\n" + FileLine("x") + FileLine("x")).valid);
  // Either spelling alone is fine, with its case kept.
  const auto one = ParseManifest("version|1\n" + FileLine("data/a.GRF"));
  ASSERT_TRUE(one.valid);
  EXPECT_EQ(one.entries[0].path, "data/a.GRF");
  // Later duplicates go, the first spelling of each stays, file order is kept.
  const auto many = ParseManifest("version|1\n" + FileLine("b") + FileLine("A") + FileLine("c") +
                                  FileLine("a") + FileLine("B") + FileLine("d"));
  EXPECT_FALSE(many.valid);
  ASSERT_EQ(many.entries.size(), 4u);
  EXPECT_EQ(many.entries[0].path, "b");
  EXPECT_EQ(many.entries[1].path, "A");
  EXPECT_EQ(many.entries[2].path, "c");
  EXPECT_EQ(many.entries[3].path, "d");
  // Letters beyond A-Z pair up as NTFS pairs them: one file on disk.
  for (const char* pair : {"\xc3\xa9|\xc3\x89", "\xc3\x84.grf|\xc3\xa4.grf", "\xd0\xb4|\xd0\x94",
                           "\xc7\x85|\xc7\x84", "\xe1\xbe\x80|\xe1\xbe\x88", "s|\xc5\xbf"}) {
    const std::string_view both(pair);
    const std::size_t bar = both.find('|');
    EXPECT_FALSE(ParseManifest("version|1\n" + FileLine(std::string(both.substr(0, bar))) +
                               FileLine(std::string(both.substr(bar + 1))))
                     .valid)
        << pair;
  }
  // Units NTFS does not upper-case stay apart: sharp s, a Deseret pair above U+FFFF.
  EXPECT_TRUE(ParseManifest("version|1\n" + FileLine("\xc3\x9f") + FileLine("SS")).valid);
  EXPECT_TRUE(ParseManifest("version|1\n" + FileLine("\xf0\x90\x90\xa8") +
                            FileLine("\xf0\x90\x90\x80"))
                  .valid);
}

TEST(ParseManifest, UserFlagIsLowerCaseU) {
  auto flag = [](const std::string& flags) {
    const auto m = ParseManifest("version|1\na|1|" + kHashA + "|" + flags + "\n");
    EXPECT_TRUE(m.valid) << flags;
    return !m.entries.empty() && m.entries[0].userFile;
  };
  EXPECT_TRUE(flag("u"));
  EXPECT_TRUE(flag("xu"));
  EXPECT_FALSE(flag("U"));
  EXPECT_FALSE(flag("x"));
  EXPECT_FALSE(flag(""));
}

TEST(ParseManifest, FieldCountsOtherThanTwoToFourInvalidate) {
  EXPECT_FALSE(ParseWith("lonely\n").valid);
  EXPECT_FALSE(ParseWith("b|1|" + kHashA + "|u|extra\n").valid);
  EXPECT_TRUE(ParseWith("unknown|key\n").valid);  // other headers are ignored
  // A blank-led '#' is not a comment: one field.
  EXPECT_FALSE(ParseWith("  # note\n").valid);
  EXPECT_TRUE(ParseWith("# note|with|bars|and|more\n").valid);
  EXPECT_TRUE(ParseWith("b|1|" + kHashA + "   \t\r\n").valid);  // trailing blanks trimmed
}

TEST(ParseManifest, NeedsVersionAndEntries) {
  EXPECT_FALSE(ParseManifest("").valid);
  EXPECT_FALSE(ParseManifest("\xEF\xBB\xBF").valid);
  EXPECT_FALSE(ParseManifest("# one\n# two\n").valid);
  EXPECT_FALSE(ParseManifest("version|1\ntotal|5\n").valid);
  EXPECT_FALSE(ParseManifest(FileLine("a")).valid);
  EXPECT_FALSE(ParseManifest("version|\n" + FileLine("a")).valid);
  // The last version line wins.
  const auto m = ParseManifest("version|1\n" + FileLine("a") + "version|2\n");
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.version, "2");
}

TEST(ParseManifest, ParsingGoesOnAfterAFailure) {
  const auto m = ParseManifest("version|1\n" + FileLine("../x") + FileLine("b") + FileLine("c"));
  EXPECT_FALSE(m.valid);
  EXPECT_EQ(m.entries.size(), 2u);
}

}  // namespace
}  // namespace nv
