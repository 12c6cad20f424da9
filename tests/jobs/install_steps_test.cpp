// The pure parts of the jobs: the install's steps list, the need on the
// install screen and the texts built around a name or a number.
#include <gtest/gtest.h>

#include "jobs/install_steps.h"

namespace nv {
namespace {

TEST(InstallSteps, RuntimesButWebView2ThenGameFilesAndShortcuts) {
  const std::vector<PrerequisiteStatus> prerequisites = {
      {"vcredist", "Visual C++ Runtime", true},
      {"webview2", "WebView2 Runtime", false},
      {"directx", "DirectX", false},
  };
  const std::vector<StepItem> steps = BuildInstallSteps(prerequisites);
  ASSERT_EQ(steps.size(), 4u);
  EXPECT_EQ(BuildStepsJson(steps),
            R"({"t":"steps","items":[{"name":"Visual C++ Runtime","state":"done"},)"
            R"({"name":"DirectX","state":"wait"},{"name":"Game files","state":"wait"},)"
            R"({"name":"Shortcuts","state":"wait"}]})");
  EXPECT_EQ(BuildInstallSteps({}).size(), 2u);
}

TEST(InstallSteps, NeedBytesCountsHdOnlyWhenChosenAndSaturates) {
  EXPECT_EQ(InstallNeedBytes(100, 50, false), 100);
  EXPECT_EQ(InstallNeedBytes(100, 50, true), 150);
  EXPECT_EQ(InstallNeedBytes(INT64_MAX, INT64_MAX, true), INT64_MAX);
}

TEST(InstallSteps, Texts) {
  EXPECT_EQ(FolderNotWritableText("Z:\\ro\\Norvane"),
            "Can't create or write to the folder \"Z:\\ro\\Norvane\". Pick another folder.");
  EXPECT_EQ(PrerequisiteFailedText("DirectX"),
            "DirectX could not be installed. The game may not start without it; Repair tries again.");
  EXPECT_EQ(RepairFinishedText(0), "Repair finished: every file is fine.");
  EXPECT_EQ(RepairFinishedText(2), "Repair finished: 2 file(s) fixed.");
  EXPECT_EQ(HdDownloadFailedText("Disk full."),
            "The 4K HD pack could not be downloaded completely. Disk full. (It tries again at the "
            "next start.)");
}

}  // namespace
}  // namespace nv
