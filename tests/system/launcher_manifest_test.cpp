// The self-update's reader of launcher/manifest.txt: which lines give the
// launcher entry, and that hostile text gives none or the right one.
#include <gtest/gtest.h>

#include <string>

#include "system/launcher_manifest.h"

namespace nv {
namespace {

const std::string kHash(64, 'a');
const std::string kUpperHash = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";

struct Case {
  const char* name;
  std::string text;
  bool found;
  std::int64_t size;
  std::string sha256;
};

TEST(FindLauncherEntry, Lines) {
  const std::string lower = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
  const Case cases[] = {
      {"plain line", "Norvane-Launcher.exe|100|" + kHash + "\n", true, 100, kHash},
      {"last line without LF", "version|1\nNorvane-Launcher.exe|7|" + kHash, true, 7, kHash},
      {"capitals and upper-case hash", "NORVANE-LAUNCHER.EXE|5|" + kUpperHash, true, 5, lower},
      {"blanks, tabs and CR around fields", "  Norvane-Launcher.exe \t| 42 |\t" + kHash + " \r\n",
       true, 42, kHash},
      {"further fields ignored", "Norvane-Launcher.exe|9|" + kHash + "|x|y", true, 9, kHash},
      {"plus sign", "Norvane-Launcher.exe|+9|" + kHash, true, 9, kHash},
      {"largest size", "Norvane-Launcher.exe|9223372036854775807|" + kHash, true, INT64_MAX, kHash},
      {"folder in front", "launcher/Norvane-Launcher.exe|100|" + kHash, false, 0, ""},
      {"comment", "#Norvane-Launcher.exe|100|" + kHash, false, 0, ""},
      {"one separator", "Norvane-Launcher.exe|100", false, 0, ""},
      {"size 0", "Norvane-Launcher.exe|0|" + kHash, false, 0, ""},
      {"negative size", "Norvane-Launcher.exe|-5|" + kHash, false, 0, ""},
      {"size past 64 bits", "Norvane-Launcher.exe|9223372036854775808|" + kHash, false, 0, ""},
      {"size not a number", "Norvane-Launcher.exe|12a|" + kHash, false, 0, ""},
      {"empty size", "Norvane-Launcher.exe||" + kHash, false, 0, ""},
      {"hash of 63", "Norvane-Launcher.exe|1|" + kHash.substr(1), false, 0, ""},
      {"hash of 65", "Norvane-Launcher.exe|1|" + kHash + "a", false, 0, ""},
      {"hash with g", "Norvane-Launcher.exe|1|" + kHash.substr(1) + "g", false, 0, ""},
      {"other file", "norvane.exe|1|" + kHash, false, 0, ""},
      {"bad lines skipped, later valid line used",
       "Norvane-Launcher.exe|0|" + kHash + "\nNorvane-Launcher.exe|1|" + kHash.substr(2) +
           "\nNorvane-Launcher.exe|3|" + kUpperHash + "\n",
       true, 3, lower},
      {"first valid line wins",
       "Norvane-Launcher.exe|1|" + kHash + "\nNorvane-Launcher.exe|2|" + lower, true, 1, kHash},
      {"empty text", "", false, 0, ""},
      {"binary", std::string("\0\xff|\0|\n\x80\x81", 9), false, 0, ""},
  };
  for (const Case& c : cases) {
    LauncherEntry entry;
    EXPECT_EQ(FindLauncherEntry(c.text, entry), c.found) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(entry.size, c.size) << c.name;
    EXPECT_EQ(entry.sha256, c.sha256) << c.name;
  }
}

TEST(FindLauncherEntry, ManyNearMatchesBeforeTheEntry) {
  // 200,000 lines that each fail one rule, then the real one: found, and
  // nothing from the near-matches leaks into the result.
  std::string text;
  for (int i = 0; i < 50000; ++i) {
    text += "Norvane-Launcher.exe|0|" + kHash + "\n";
    text += "Norvane-Launcher.ex|5|" + kHash + "\n";
    text += "Norvane-Launcher.exe|5|" + kHash.substr(1) + "Z\n";
    text += "Norvane-Launcher.exe|5\n";
  }
  text += "Norvane-Launcher.exe|77|" + kUpperHash;
  LauncherEntry entry;
  ASSERT_TRUE(FindLauncherEntry(text, entry));
  EXPECT_EQ(entry.size, 77);
}

TEST(TrimSpaceTabCrLf, BothEndsOnly) {
  EXPECT_EQ(TrimSpaceTabCrLf(" \t\r\na b\r\n \t"), "a b");
  EXPECT_EQ(TrimSpaceTabCrLf("\r\n"), "");
  EXPECT_EQ(TrimSpaceTabCrLf("x\v"), "x\v");
}

}  // namespace
}  // namespace nv
