#include <gtest/gtest.h>

#include "shell/webview2/webview2_version.h"

namespace nv {
namespace {

TEST(RuntimeVersion, ParsesFourNumbersOnly) {
  EXPECT_EQ(ParseRuntimeVersion(L"131.0.2903.146"), (std::array<unsigned, 4>{131, 0, 2903, 146}));
  for (const wchar_t* bad : {L"", L"131.0.2903", L"131.0.2903.146.1", L"131..2903.146", L"131.0.2903.",
                             L".1.2.3", L"1.2.3.x", L"1.2.3.4 beta", L"1.2.3.99999999999"}) {
    EXPECT_FALSE(ParseRuntimeVersion(bad)) << bad;
  }
}

TEST(RuntimeVersion, VersionFolderMustBeNewEnough) {
  EXPECT_EQ(UsableRuntimeVersion(L"C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\Application\\131.0.2903.146"),
            L"131.0.2903.146");
  EXPECT_EQ(UsableRuntimeVersion(L"C:\\R\\86.0.616.0\\"), L"86.0.616.0");
  EXPECT_FALSE(UsableRuntimeVersion(L"C:\\R\\86.0.615.99"));
  EXPECT_FALSE(UsableRuntimeVersion(L"C:\\R\\85.9.999.0"));
  EXPECT_FALSE(UsableRuntimeVersion(L"C:\\R\\Application"));
  EXPECT_FALSE(UsableRuntimeVersion(L""));
}

}  // namespace
}  // namespace nv
