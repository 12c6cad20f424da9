// The pure parts of the jobs: the install's steps list and the need on the
// install screen.
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

}  // namespace
}  // namespace nv
