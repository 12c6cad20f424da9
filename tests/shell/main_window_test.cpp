// The real main window under Wine: placement, the close question during a
// download, and the web view failure question. Message boxes are answered
// through the test build's seam (NORVANE_TEST_ANSWERS, NORVANE_TEST_LOG).
#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bridge/main_window_handle.h"
#include "bridge/message_box_testing.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "jobs/job_engine.h"
#include "shell/test_seams.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"

namespace nv {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTestSeams();
    log_ = folder_ / L"boxes.log";
    SetEnvironmentVariableW(L"NORVANE_TEST_LOG", log_.c_str());
    ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    window_ = MainWindow();
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    Pump();
    jobBusy = false;
    stopFlag = false;
    stopReason = kStopNone;
    currentJobId = 0;
    SetEnvironmentVariableW(L"NORVANE_TEST_LOG", nullptr);
    SetEnvironmentVariableW(L"NORVANE_TEST_ANSWERS", nullptr);
  }
  // Runs the window's messages; WM_QUIT ends the pump as it ends the loop.
  static void Pump() {
    MSG msg;
    const DWORD end = GetTickCount() + 300;
    while (GetTickCount() < end) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        DispatchMessageW(&msg);
      }
      Sleep(10);
    }
  }
  std::string Log() const { return test::ReadAll(log_).value_or(""); }
  // A message box's line in the log: its text on one line.
  static std::string Logged(int type, std::wstring_view text) {
    std::string line = "messagebox|" + std::to_string(type) + "|" + ToUtf8(text) + "\n";
    std::replace(line.begin(), line.end() - 1, '\n', ' ');
    return line;
  }

  test::TempFolder folder_;
  std::wstring log_;
  HWND window_ = nullptr;
};

TEST_F(MainWindowTest, IsA960By600PopupCentredInTheWorkArea) {
  RECT rect{};
  GetWindowRect(window_, &rect);
  EXPECT_EQ(WindowDpi(window_), 96u);
  EXPECT_EQ(rect.right - rect.left, 960);
  EXPECT_EQ(rect.bottom - rect.top, 600);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_EQ(rect.left, monitor.rcWork.left + (monitor.rcWork.right - monitor.rcWork.left - 960) / 2);
  EXPECT_EQ(GetWindowLongW(window_, GWL_STYLE) & (WS_POPUP | WS_CAPTION), static_cast<LONG>(WS_POPUP));
  wchar_t title[32] = {};
  GetWindowTextW(window_, title, 32);
  EXPECT_STREQ(title, L"Norvane");

  // A drag that arrives after the button was released does nothing.
  PostMessageW(window_, kWmStartDrag, 0, 0);
  Pump();
  RECT after{};
  GetWindowRect(window_, &after);
  EXPECT_EQ(after.left, rect.left);
  EXPECT_EQ(after.top, rect.top);
}

TEST_F(MainWindowTest, CloseDuringADownloadAsksAndNoKeepsItRunning) {
  jobBusy = true;
  SetEnvironmentVariableW(L"NORVANE_TEST_ANSWERS", L"no,no,no,no,yes");
  // Every job that downloads asks, not the install alone.
  std::string asked;
  for (const std::int32_t job : {kJobUpdateCheck, kJobRepair, kJobHdOn, kJobInstall}) {
    currentJobId = job;
    SendMessageW(window_, WM_CLOSE, 0, 0);
    asked += Logged(292, kCloseDuringDownloadText);
    EXPECT_TRUE(IsWindow(window_)) << job;
    EXPECT_EQ(Log(), asked) << job;
  }
  EXPECT_FALSE(stopFlag.load());
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_TRUE(stopFlag.load());
  EXPECT_EQ(stopReason.load(), kStopQuit);
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST_F(MainWindowTest, CloseWithoutADownloadAsksNothing) {
  jobBusy = true;
  currentJobId = kJobPlay;
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(Log(), "");
}

// The question's box runs a message loop of its own: a second failure (the
// browser exiting after the controller failed) arrives inside it.
std::vector<std::wstring> runtimeQuestions;
int WINAPI AnswerYesWhileASecondFailureArrives(HWND owner, const wchar_t* text, const wchar_t*, UINT) {
  runtimeQuestions.emplace_back(text);
  if (runtimeQuestions.size() == 1) SendMessageW(owner, kWmWebViewFailed, static_cast<WPARAM>(E_FAIL), 0);
  return IDYES;
}

TEST_F(MainWindowTest, AWebViewFailureAsksForTheRuntimeOnceAndCloses) {
  SetMessageBoxForTesting(&AnswerYesWhileASecondFailureArrives);
  EXPECT_FALSE(InstallRuntimeAtExit());
  PostMessageW(window_, kWmWebViewFailed, static_cast<WPARAM>(0x80070002u), 0);
  Pump();
  InstallTestSeams();
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_TRUE(InstallRuntimeAtExit());
  EXPECT_EQ(stopReason.load(), kStopQuit);
  EXPECT_EQ(runtimeQuestions, std::vector<std::wstring>{WebViewFailedText(0x80070002u)});
}

}  // namespace
}  // namespace nv
