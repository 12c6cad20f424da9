#include <gtest/gtest.h>

#include "nv_config.h"
#include "prereq/prerequisite_table.h"

namespace nv {
namespace {

TEST(PrerequisiteTable, ThreeRowsInDisplayOrderWithTheirLinks) {
  const auto& table = PrerequisiteTable();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_STREQ(table[0].id, "vcredist");
  EXPECT_STREQ(table[1].id, "directx");
  EXPECT_STREQ(table[2].id, "webview2");
  EXPECT_EQ(PrerequisiteLink(table[0]), std::string(config::kVcRedistHost) + "/vs/17/release/vc_redist.x86.exe");
  EXPECT_EQ(PrerequisiteLink(table[1]),
            std::string(config::kDirectXHost) +
                "/download/1/7/1/1718CCC4-6315-4D8E-9543-8E28A4E18C4C/dxwebsetup.exe");
  EXPECT_EQ(PrerequisiteLink(table[2]), std::string(config::kWebView2Host) + "/fwlink/p/?LinkId=2124703");
  for (const Prerequisite& row : table) EXPECT_TRUE(PrerequisiteLink(row).starts_with("https://"));
  EXPECT_EQ(FindPrerequisite("directx"), &table[1]);
  EXPECT_EQ(FindPrerequisite("DirectX"), nullptr);
  EXPECT_EQ(FindPrerequisite(""), nullptr);
}

TEST(InstallerSucceeded, OnlyTheVisualCppInstallerMayEndWithItsSpecialCodes) {
  for (const char* id : {"vcredist", "directx", "webview2"}) {
    EXPECT_TRUE(InstallerSucceeded(id, false, 0)) << id;
    EXPECT_TRUE(InstallerSucceeded(id, true, 1603)) << id;  // present now wins
    EXPECT_FALSE(InstallerSucceeded(id, false, 1603)) << id;
    EXPECT_FALSE(InstallerSucceeded(id, false, kInstallerGaveUp)) << id;
  }
  for (std::uint32_t code : {1638u, 3010u, 1641u}) {
    EXPECT_TRUE(InstallerSucceeded("vcredist", false, code)) << code;
    EXPECT_FALSE(InstallerSucceeded("directx", false, code)) << code;
    EXPECT_FALSE(InstallerSucceeded("webview2", false, code)) << code;
  }
}

TEST(PrerequisiteSentences, ExactWords) {
  const Prerequisite& vc = *FindPrerequisite("vcredist");
  const Prerequisite& dx = *FindPrerequisite("directx");
  EXPECT_EQ(UnknownComponentSentence("physx"), "Unknown component: physx");
  EXPECT_EQ(DownloadingSentence(dx), "Downloading DirectX 9.0c Runtime...");
  EXPECT_EQ(DownloadFailedSentence(dx), "Could not download DirectX 9.0c Runtime. Check your internet connection.");
  EXPECT_EQ(DamagedDownloadSentence(dx), "The DirectX 9.0c Runtime download is damaged. Please try again.");
  EXPECT_EQ(InstallingSentence(vc), "Installing Visual C++ 2015-2022 Runtime (x86)...");
  EXPECT_EQ(FinishingSentence(vc), "Finishing Visual C++ 2015-2022 Runtime (x86) setup, please wait...");
  for (std::uint32_t blocked : {2u, 5u, 225u, 226u}) {
    EXPECT_EQ(StartFailedSentence(dx, blocked),
              "Your antivirus blocked the DirectX 9.0c Runtime installer. Allow it and try again.");
  }
  EXPECT_EQ(StartFailedSentence(dx, 193), "Could not start the DirectX 9.0c Runtime installer (error 193).");
  EXPECT_EQ(InstalledSentence(vc, 0), "Visual C++ 2015-2022 Runtime (x86) installed.");
  EXPECT_EQ(InstalledSentence(vc, 1638), "Visual C++ 2015-2022 Runtime (x86) installed.");
  EXPECT_EQ(InstalledSentence(vc, 3010), "Visual C++ 2015-2022 Runtime (x86) installed (Windows asks for a restart later).");
  EXPECT_EQ(InstalledSentence(vc, 1641), "Visual C++ 2015-2022 Runtime (x86) installed (Windows asks for a restart later).");
  EXPECT_EQ(InstalledSentence(dx, 3010), "DirectX 9.0c Runtime installed.");  // present now, no restart words
  EXPECT_EQ(SetupFailedSentence(dx, 258),
            "The DirectX 9.0c Runtime installer did not finish. Please restart your PC and try again.");
  EXPECT_EQ(SetupFailedSentence(dx, 1618),
            "Another installation is running in Windows. Wait for it to finish, then try again.");
  EXPECT_EQ(SetupFailedSentence(dx, 3010), "DirectX 9.0c Runtime setup failed (code 3010).");
  EXPECT_EQ(SetupFailedSentence(dx, 0xC0000005u), "DirectX 9.0c Runtime setup failed (code 3221225477).");  // unsigned
}

}  // namespace
}  // namespace nv

namespace nv {
namespace {

TEST(IsPinnedSigningRoot, MicrosoftsRootsInEitherCaseAndNothingNearThem) {
  EXPECT_TRUE(IsPinnedSigningRoot("8F43288AD272F3103B6FB1428485EA3014C0BCFE"));
  EXPECT_TRUE(IsPinnedSigningRoot("3b1efd3a66ea28b16697394703a72ca340a05bd5"));
  EXPECT_FALSE(IsPinnedSigningRoot("8F43288AD272F3103B6FB1428485EA3014C0BCFF"));
  EXPECT_FALSE(IsPinnedSigningRoot("8F43288AD272F3103B6FB1428485EA3014C0BC"));
  EXPECT_FALSE(IsPinnedSigningRoot(""));
}

TEST(StagingFolderName, NorvaneAndSixteenHexDigits) {
  EXPECT_EQ(StagingFolderName(0x0123456789ABCDEFull), L"Norvane-0123456789abcdef");
  EXPECT_EQ(StagingFolderName(0), L"Norvane-0000000000000000");
}

}  // namespace
}  // namespace nv
