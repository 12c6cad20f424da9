// What may be opened for the page, and the order of the roads.
#include <gtest/gtest.h>

#include "bridge/dispatcher/open_target.h"

namespace nv {
namespace {

TEST(ClassifyOpenTarget, WebSchemesInAnyCaseFoldersOtherwise) {
  EXPECT_EQ(ClassifyOpenTarget(L"https://www.norvane.com/news"), OpenKind::kWebLink);
  EXPECT_EQ(ClassifyOpenTarget(L"HTTP://norvane.com"), OpenKind::kWebLink);
  EXPECT_EQ(ClassifyOpenTarget(L"hTtPs://x"), OpenKind::kWebLink);
  EXPECT_EQ(ClassifyOpenTarget(L"C:\\Games\\Norvane"), OpenKind::kFolder);
  // Other schemes are no links: only an existing folder of that name opens.
  EXPECT_EQ(ClassifyOpenTarget(L"file:///C:/Windows"), OpenKind::kFolder);
  EXPECT_EQ(ClassifyOpenTarget(L"https:/x"), OpenKind::kFolder);
  EXPECT_EQ(ClassifyOpenTarget(L"http"), OpenKind::kFolder);
  EXPECT_EQ(ClassifyOpenTarget(L""), OpenKind::kNothing);
}

TEST(OpenRoadsFor, TheDesktopShellFirstThenTheLauncherItself) {
  const std::vector<OpenRoad> both = {OpenRoad::kDesktopShell, OpenRoad::kOwnProcess};
  EXPECT_EQ(OpenRoadsFor(OpenKind::kWebLink), both);
  EXPECT_EQ(OpenRoadsFor(OpenKind::kFolder), both);
  EXPECT_TRUE(OpenRoadsFor(OpenKind::kNothing).empty());
}

}  // namespace
}  // namespace nv
