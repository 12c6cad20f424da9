// The texts built around a name or a number, and the rule that fills them.
#include "bridge/player_texts.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

TEST(FillText, PiecesGoInOnceInOrder) {
  EXPECT_EQ(FillText("{} of {}.", {"1", "2"}), "1 of 2.");
  EXPECT_EQ(FillText("{}{}", {"{}", "x"}), "{}x");  // a piece is not filled in turn
  EXPECT_EQ(FillText("{} and {}", {"one"}), "one and {}");
  EXPECT_EQ(FillText("none", {"x"}), "none");
  EXPECT_EQ(FillText(L"[{}]", {L"w"}), L"[w]");
}

TEST(PlayerTexts, BuiltAroundANameOrANumber) {
  EXPECT_EQ(UnexpectedErrorText("disk on fire"), "Unexpected error: disk on fire");
  EXPECT_EQ(UnexpectedErrorText(nullptr), "Unexpected error.");
  EXPECT_EQ(CheckFailedText("No server."), "Could not check for updates. No server.");
  EXPECT_EQ(FolderNotWritableText("Z:\\ro\\Norvane"),
            "Can't create or write to the folder \"Z:\\ro\\Norvane\". Pick another folder.");
  EXPECT_EQ(PrerequisiteFailedText("DirectX"),
            "DirectX could not be installed. The game may not start without it; Repair tries again.");
  EXPECT_EQ(RepairFinishedText(0), "Repair finished: every file is fine.");
  EXPECT_EQ(RepairFinishedText(2), "Repair finished: 2 file(s) fixed.");
  EXPECT_EQ(HdDownloadFailedText("Disk full."),
            "The 4K HD pack could not be downloaded completely. Disk full. (It tries again at the "
            "next start.)");
  EXPECT_EQ(ChangedAfterDownloadText(1),
            "1 file(s) were changed or removed right after downloading - usually an antivirus. "
            "Add the game folder as an exception, then use Repair.");
  EXPECT_EQ(ChangedAfterDownloadText(12).substr(0, 11), "12 file(s) ");
  EXPECT_EQ(UninstallConfirmText(L"C:\\Games\\Norvane"),
            L"Uninstall Norvane from\nC:\\Games\\Norvane ?\n\nThe game files are removed. Your "
            L"screenshots are kept.");
  EXPECT_EQ(WebViewFailedText(0x80070002u),
            L"The launcher window could not start (Microsoft Edge WebView2, error 0x80070002).\n\n"
            L"Install or repair the Microsoft Edge WebView2 Runtime now?");
  EXPECT_NE(WebViewFailedText(0xABCDEF01u).find(L"error 0xABCDEF01)"), std::wstring::npos);
}

}  // namespace
}  // namespace nv
