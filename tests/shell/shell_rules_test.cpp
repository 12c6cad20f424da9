// The shell's pure decisions: switches, placement, page messages, navigation
// and the resource table.
#include "shell/shell_rules.h"

#include <gtest/gtest.h>

#include "bridge/player_texts.h"

#include <string>
#include <vector>

namespace nv {
namespace {

TEST(ShellRules, SwitchesMatchAnyCaseAfterTheProgramName) {
  const std::vector<std::wstring> args = {L"--uninstall.exe", L"--DevTools", L"x"};
  EXPECT_TRUE(HasSwitchIn(args, L"--devtools"));
  EXPECT_FALSE(HasSwitchIn(args, L"--uninstall"));  // the program name does not count
  EXPECT_TRUE(HasSwitchIn({L"a.exe", L"--UNINSTALL"}, L"--uninstall"));
  EXPECT_FALSE(HasSwitchIn({L"a.exe", L"--uninstall2"}, L"--uninstall"));
  EXPECT_FALSE(HasSwitchIn({L"a.exe", L"-uninstall"}, L"--uninstall"));
  EXPECT_FALSE(HasSwitchIn({}, L"--uninstall"));
}

TEST(ShellRules, OnlyMinimisedShowCommandsStartMinimised) {
  for (int command = 0; command <= 11; ++command)
    EXPECT_EQ(IsMinimizedShowCommand(command), command == 2 || command == 6 || command == 7) << command;
}

TEST(ShellRules, WindowIsScaledAndCentredInTheWorkArea) {
  const ScreenRect area{0, 0, 1920, 1040};
  struct Case {
    int dpi, width, height, radius;
  };
  for (const Case c : {Case{96, 960, 600, 28}, Case{120, 1200, 750, 35}, Case{144, 1440, 900, 42},
                       Case{192, 1920, 1200, 56}}) {
    const WindowPlacement p = PlaceInWorkArea(c.dpi, area);
    EXPECT_EQ(p.width, c.width) << c.dpi;
    EXPECT_EQ(p.height, c.height) << c.dpi;
    EXPECT_EQ(p.x, std::max(0, (1920 - c.width) / 2)) << c.dpi;
    EXPECT_EQ(p.y, std::max(0, (1040 - c.height) / 2)) << c.dpi;
    EXPECT_EQ(CornerRadiusForDpi(c.dpi), c.radius) << c.dpi;
  }
  // A second monitor left of the primary one, and odd halves truncated.
  const WindowPlacement offset = PlaceInWorkArea(96, ScreenRect{-1281, 10, 0, 811});
  EXPECT_EQ(offset.x, -1281 + 160);
  EXPECT_EQ(offset.y, 10 + 100);
  // Smaller than the window: its top-left corner, never a negative offset.
  const WindowPlacement small = PlaceInWorkArea(144, ScreenRect{100, 50, 1124, 818});
  EXPECT_EQ(small.x, 100);
  EXPECT_EQ(small.y, 50);
  EXPECT_EQ(small.width, 1440);
}

TEST(ShellRules, PageMessagesNeedTheOriginAndOneTo4095Units) {
  const std::wstring page = L"https://launcher.norvane.local/launcher.html";
  EXPECT_TRUE(IsAcceptedPageMessage(page, L"ready"));
  EXPECT_TRUE(IsAcceptedPageMessage(L"https://launcher.norvane.local/", L"r"));
  EXPECT_TRUE(IsAcceptedPageMessage(page, std::wstring(4095, L'x')));
  EXPECT_FALSE(IsAcceptedPageMessage(page, std::wstring(4096, L'x')));
  EXPECT_FALSE(IsAcceptedPageMessage(page, L""));
  for (const wchar_t* source : {L"https://launcher.norvane.local.evil/", L"https://launcher.norvane.local",
                                L"http://launcher.norvane.local/", L"HTTPS://launcher.norvane.local/",
                                L"https://LAUNCHER.norvane.local/", L"", L"about:blank",
                                L"https://evil.example/https://launcher.norvane.local/"}) {
    EXPECT_FALSE(IsAcceptedPageMessage(source, L"ready")) << source;
  }
}

TEST(ShellRules, NavigationStaysOnThePageOrGoesToTheBrowser) {
  EXPECT_EQ(DecideNavigation(L"https://launcher.norvane.local/launcher.html"), NavigationAction::kAllow);
  EXPECT_EQ(DecideNavigation(L"https://launcher.norvane.local/"), NavigationAction::kAllow);
  EXPECT_EQ(DecideNavigation(L"https://example.com/"), NavigationAction::kBlockAndOpenExternally);
  EXPECT_EQ(DecideNavigation(L"http://example.com/"), NavigationAction::kBlockAndOpenExternally);
  EXPECT_EQ(DecideNavigation(L"https://launcher.norvane.local.evil/"), NavigationAction::kBlockAndOpenExternally);
  for (const wchar_t* uri : {L"file:///C:/Windows/win.ini", L"about:blank", L"javascript:alert(1)",
                             L"HTTPS://example.com/", L"data:text/html,x", L"ms-settings:", L""}) {
    EXPECT_EQ(DecideNavigation(uri), NavigationAction::kBlock) << uri;
  }
  EXPECT_TRUE(IsWebAddress(L"https://x"));
  EXPECT_FALSE(IsWebAddress(L"Https://x"));
}

TEST(ShellRules, ResourceTableServesThreeFilesUnderThePageOrigin) {
  const std::wstring o = L"https://launcher.norvane.local/";
  struct Case {
    std::wstring path;
    int id;
  };
  for (const Case& c : {Case{L"", 201}, Case{L"launcher.html", 201}, Case{L"index.html", 201},
                        Case{L"Launcher.HTML?x=1", 201}, Case{L"#top", 201}, Case{L"?", 201},
                        Case{L"launcher.html#a?b", 201}, Case{L"LOGO.PNG", 202}, Case{L"logo.png?v=2", 202},
                        Case{L"art.jpg", 203}, Case{L"Art.Jpg#x", 203}}) {
    const auto resource = ResourceForUri(o + c.path);
    ASSERT_TRUE(resource) << c.path;
    EXPECT_EQ(resource->id, c.id) << c.path;
  }
  EXPECT_EQ(ResourceHeaders(*ResourceForUri(o)), L"Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store");
  EXPECT_EQ(ResourceHeaders(*ResourceForUri(o + L"logo.png")), L"Content-Type: image/png\r\nCache-Control: no-store");
  EXPECT_EQ(ResourceHeaders(*ResourceForUri(o + L"art.jpg")), L"Content-Type: image/jpeg\r\nCache-Control: no-store");
  for (const std::wstring& path : {std::wstring(L"favicon.ico"), std::wstring(L"../launcher.html"),
                                   std::wstring(L"%2e%2e/logo.png"), std::wstring(L"logo%2epng"),
                                   std::wstring(L"x\\..\\logo.png"), std::wstring(L"/logo.png"),
                                   std::wstring(L"logo.png/"), std::wstring(L"launcher.html\0", 14),
                                   std::wstring(1 << 20, L'a')}) {
    EXPECT_FALSE(ResourceForUri(o + path)) << path.substr(0, 40);
  }
  EXPECT_FALSE(ResourceForUri(L"https://launcher.norvane.local.evil/logo.png"));
  EXPECT_FALSE(ResourceForUri(L"https://example.com/launcher.html"));
}

TEST(ShellRules, SetupWindowText) {
  EXPECT_EQ(SetupWindowText(L"Preparing...", 0, 0),
            L"Installing Microsoft Edge WebView2 Runtime (needed by the launcher)...\n\nPreparing...");
  EXPECT_EQ(SetupWindowText(L"Downloading", 1, 3),
            L"Installing Microsoft Edge WebView2 Runtime (needed by the launcher)...\n\nDownloading  33%");
  EXPECT_EQ(SetupWindowText(L"", 5, 5).substr(std::wstring(kSetupHeadline).size()), L"  100%");
}

}  // namespace
}  // namespace nv
