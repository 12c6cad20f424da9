// The data-list rules on text alone: which entries are HD archives, which
// lines are kept byte for byte, how the kept entries are renumbered.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "system/game_client/data_ini.h"

namespace nv {
namespace {

// Answers "missing" for the values in the set and records every question.
struct Disk {
  std::set<std::string> missing;
  std::vector<std::string> asked;
  DataListPlan Plan(std::string_view text) {
    return PlanClientDataList(text, [this](std::string_view value) {
      asked.emplace_back(value);
      return missing.count(std::string(value)) > 0;
    });
  }
};

constexpr char kShipped[] =
    "[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=custom_hd2.grf\r\n3=other.grf\r\n";

TEST(TrimBlanks, OnlySpacesAndTabsGo) {
  EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(TrimBlanks("\r x \n"), "\r x \n");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
}

TEST(IsHdArchiveName, LastComponentInAnyCase) {
  EXPECT_TRUE(IsHdArchiveName("custom_hd1.grf"));
  EXPECT_TRUE(IsHdArchiveName(" Custom_HD2.GRF\t"));
  EXPECT_TRUE(IsHdArchiveName("data/custom_hd1.grf"));
  EXPECT_TRUE(IsHdArchiveName("data\\sub\\CUSTOM_HD2.grf"));
  EXPECT_FALSE(IsHdArchiveName("custom_hd1.grf.bak"));
  EXPECT_FALSE(IsHdArchiveName("custom_hd1.grf/other.grf"));
  EXPECT_FALSE(IsHdArchiveName("xcustom_hd1.grf"));
  EXPECT_FALSE(IsHdArchiveName("custom_hd3.grf"));
  EXPECT_FALSE(IsHdArchiveName(""));
}

TEST(PlanClientDataList, BothArchivesMissingCrlf) {
  Disk disk{{"custom_hd1.grf", "custom_hd2.grf"}, {}};
  const DataListPlan plan = disk.Plan(kShipped);
  ASSERT_EQ(plan.action, DataListAction::kWriteReduced);
  EXPECT_EQ(plan.reducedText, "[data]\r\n0=data.grf\r\n1=other.grf\r\n");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"custom_hd1.grf", "custom_hd2.grf"}));
}

TEST(PlanClientDataList, OnlySecondArchiveMissing) {
  Disk disk{{"custom_hd2.grf"}, {}};
  const DataListPlan plan = disk.Plan(kShipped);
  ASSERT_EQ(plan.action, DataListAction::kWriteReduced);
  EXPECT_EQ(plan.reducedText, "[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=other.grf\r\n");
}

TEST(PlanClientDataList, BothPresentDeletesTheFullCopy) {
  Disk disk;
  EXPECT_EQ(disk.Plan(kShipped).action, DataListAction::kDeleteFull);
}

TEST(PlanClientDataList, NoHdArchiveListedLeavesEverything) {
  Disk disk;
  EXPECT_EQ(disk.Plan("[data]\n0=data.grf\n1=other.grf\n").action, DataListAction::kLeave);
  EXPECT_EQ(disk.Plan("").action, DataListAction::kLeave);
  // HD names outside [data], or under keys that are not all digits, are no entries.
  EXPECT_EQ(disk.Plan("[other]\n0=custom_hd1.grf\n[data]\na1=custom_hd1.grf\n=custom_hd2.grf\n")
                .action,
            DataListAction::kLeave);
  EXPECT_TRUE(disk.asked.empty());
}

TEST(PlanClientDataList, BlanksAndCaseAroundTheEntry) {
  Disk disk{{"custom_hd2.grf"}, {}};
  const DataListPlan plan =
      disk.Plan("[Data]\n0=data.grf\n 5 = Custom_HD1.GRF \n7\t=\tcustom_hd2.grf\n");
  ASSERT_EQ(plan.action, DataListAction::kWriteReduced);
  EXPECT_EQ(plan.reducedText, "[Data]\n0=data.grf\n1=Custom_HD1.GRF\n");
  // The file is asked for under the name as written, trimmed.
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"Custom_HD1.GRF", "custom_hd2.grf"}));
}

TEST(PlanClientDataList, RelativePathsWithEitherSeparator) {
  Disk disk{{"hd\\custom_hd2.grf"}, {}};
  const DataListPlan plan = disk.Plan("[data]\n0=hd/custom_hd1.grf\n1=hd\\custom_hd2.grf\n");
  ASSERT_EQ(plan.action, DataListAction::kWriteReduced);
  EXPECT_EQ(plan.reducedText, "[data]\n0=hd/custom_hd1.grf\n");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"hd/custom_hd1.grf", "hd\\custom_hd2.grf"}));
}

TEST(PlanClientDataList, OtherLinesKeptByteForByte) {
  Disk disk{{"custom_hd1.grf"}, {}};
  const std::string text =
      "; client list\r\n"
      "[Window]\r\n"
      "0=custom_hd1.grf\r\n"
      "\r\n"
      "  [data]  \r\n"
      "# comment = 1\r\n"
      "a1=custom_hd1.grf\r\n"
      "  \t\r\n"
      "10=custom_hd1.grf\r\n"
      "11 = x.grf   \r\n"
      "[sound]\r\n"
      "2=custom_hd2.grf\r\n";
  const DataListPlan plan = disk.Plan(text);
  ASSERT_EQ(plan.action, DataListAction::kWriteReduced);
  EXPECT_EQ(plan.reducedText,
            "; client list\r\n"
            "[Window]\r\n"
            "0=custom_hd1.grf\r\n"
            "\r\n"
            "  [data]  \r\n"
            "# comment = 1\r\n"
            "a1=custom_hd1.grf\r\n"
            "  \t\r\n"
            "0=x.grf\r\n"
            "[sound]\r\n"
            "2=custom_hd2.grf\r\n");
}

TEST(PlanClientDataList, LineEndingFollowsTheText) {
  Disk disk{{"custom_hd1.grf"}, {}};
  // No final line ending in, none out.
  EXPECT_EQ(disk.Plan("[data]\n0=custom_hd1.grf\n1=a.grf").reducedText, "[data]\n0=a.grf");
  EXPECT_EQ(disk.Plan("[data]\r\n0=custom_hd1.grf\r\n1=a.grf").reducedText, "[data]\r\n0=a.grf");
  // One CR LF anywhere makes every written line CR LF; a lone CR inside a line stays.
  EXPECT_EQ(disk.Plan("[data]\n0=custom_hd1.grf\r\n1=a\rb.grf\n").reducedText,
            "[data]\r\n0=a\rb.grf\r\n");
  // Entries of two [data] sections share one numbering.
  EXPECT_EQ(disk.Plan("[data]\n4=a.grf\n[x]\n[DATA]\n9=custom_hd1.grf\n9=b.grf\n").reducedText,
            "[data]\n0=a.grf\n[x]\n[DATA]\n1=b.grf\n");
}

TEST(PlanClientDataList, BinaryTextIsLeftAlone) {
  Disk disk{{"custom_hd1.grf"}, {}};
  const std::string text("[data]\n0=custom_hd1.grf\n\0\xff\xfe", 27);
  EXPECT_EQ(disk.Plan(text).action, DataListAction::kLeave);
}

}  // namespace
}  // namespace nv
