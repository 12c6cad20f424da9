// Page commands and their effects, with a real main window and the job
// engine running test jobs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <thread>

#include "bridge/dispatcher/command_dispatcher.h"
#include "bridge/dispatcher/command_dispatcher_testing.h"
#include "bridge/dispatcher/desktop_shell.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "jobs/job_engine.h"
#include "jobs/job_engine_testing.h"
#include "support/page_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/launcher_settings.h"

namespace nv {
namespace {

struct Started {
  std::int32_t id;
  JobArgument argument;
};
std::vector<Started> started;
std::vector<std::wstring> opened;
std::optional<std::wstring> pickedFolder;

template <std::int32_t Id>
void Record(const JobArgument& argument) {
  started.push_back({Id, argument});
}

// Holds its job until stopped, as a download does.
void Hold(const JobArgument&) {
  while (!stopFlag.load()) Sleep(5);
}

class DispatcherTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window.hwnd(), nullptr);
    ASSERT_TRUE(CreateJobDoneEvent());
    saved = Jobs();
    Jobs() = JobTable{};
    Jobs().jobs[1] = &Record<1>;
    Jobs().jobs[2] = &Record<2>;
    Jobs().jobs[3] = &Record<3>;
    Jobs().jobs[4] = &Record<4>;
    Jobs().jobs[5] = &Record<5>;
    Jobs().jobs[6] = &Record<6>;
    Jobs().jobs[7] = &Record<7>;
    started.clear();
    opened.clear();
    SetExternalOpenerForTesting([](const std::wstring& target) { opened.push_back(target); });
    SetFolderPickerForTesting([] { return pickedFolder; });
    SetPageReady(true);
  }
  void TearDown() override {
    RequestStop(kStopQuit);
    EXPECT_TRUE(WaitForJobEnd(5000));
    window.Pump(30);
    Jobs() = saved;
    SetExternalOpenerForTesting(nullptr);
    SetFolderPickerForTesting(nullptr);
    SetOpenRoadsForTesting(nullptr, nullptr);
  }
  void Send(std::wstring_view command) {
    DispatchCommand(command);
    window.PumpUntil([] { return !jobBusy.load(); });
    window.Pump(20);
  }
  void ShowScreen(Screen screen) {
    PostToPage(MessageType::kState, "{\"t\":\"state\"}", screen);
    window.Pump(20);
    page.clear();
  }
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    for (const std::string& m : page.messages())
      if (test::MessageType(m) != "progress") events.push_back(m);
    return events;
  }

  test::PageRecorder page;
  test::TestWindow window;
  JobTable saved;
};

TEST_F(DispatcherTest, InstallTakesTheCleanedFolderAndItsChoices) {
  Send(L"install|\"C:/Games/Norvane/\"  |1");
  Send(L"install|D:\\|0|0");
  Send(L"install|\\\\server\\share\\Norvane|1|1");
  Send(L"install|E:\\Games\\Norvane");
  ASSERT_EQ(started.size(), 4u);
  EXPECT_EQ(started[0].argument.folder, L"C:\\Games\\Norvane");
  EXPECT_TRUE(started[0].argument.hd);
  EXPECT_TRUE(started[0].argument.shortcut);  // no shortcut field: on
  EXPECT_EQ(started[1].argument.folder, L"D:\\Norvane");
  EXPECT_FALSE(started[1].argument.hd);
  EXPECT_FALSE(started[1].argument.shortcut);
  EXPECT_EQ(started[2].argument.folder, L"\\\\server\\share\\Norvane");
  EXPECT_TRUE(started[2].argument.shortcut);
  EXPECT_FALSE(started[3].argument.hd);
  EXPECT_TRUE(started[3].argument.shortcut);
  EXPECT_TRUE(Events().empty());
}

TEST_F(DispatcherTest, InvalidFoldersGetTheFixedErrorAndStartNothing) {
  for (const wchar_t* command : {L"install|D:", L"install|Games\\Norvane", L"install|C:\\Games\\a:b", L"install"}) {
    page.clear();
    Send(command);
    ASSERT_EQ(Events().size(), 1u) << command;
    EXPECT_EQ(Events()[0], BuildErrorJson(kInvalidFolderText));
  }
  EXPECT_TRUE(started.empty());
}

TEST_F(DispatcherTest, NamesAreExactAndExtraFieldsIgnored) {
  Send(L"PLAY");
  Send(L"play ");
  Send(L"Repair");
  Send(L"nonsense|1");
  EXPECT_TRUE(started.empty());
  SetPageReady(false);
  Send(L"ready|extra|fields");
  EXPECT_TRUE(IsPageReady());
  Send(L"play|whatever");
  Send(L"repair");
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0].id, kJobPlay);
  EXPECT_EQ(started[1].id, kJobRepair);
}

TEST_F(DispatcherTest, LinksOpenOnlyForTheWebSchemes) {
  Send(L"url|https://www.norvane.com/news?id=1|2");
  Send(L"url|http://norvane.com");
  Send(L"url|HTTPS://norvane.com");
  Send(L"url|javascript:alert(1)");
  Send(L"url|file:///C:/Windows");
  Send(L"url|");
  Send(L"url");
  EXPECT_EQ(opened, std::vector<std::wstring>({L"https://www.norvane.com/news?id=1|2", L"http://norvane.com"}));
}

TEST_F(DispatcherTest, OpenFolderOpensTheRegisteredExistingFolder) {
  test::TempFolder folder;
  const std::wstring saved = ReadInstallDir();
  WriteInstallDir(folder.path());
  Send(L"openfolder");
  WriteInstallDir(folder / L"gone");
  Send(L"openfolder");
  WriteInstallDir(saved);
  EXPECT_EQ(opened, std::vector<std::wstring>({folder.path()}));
}

// The roads a link or folder takes once no test opener stands in for them.
std::vector<std::wstring> byDesktopShell;
std::vector<std::wstring> byOwnProcess;
bool desktopShellTakes = false;

bool RecordDesktopShell(const std::wstring& target) {
  byDesktopShell.push_back(target);
  return desktopShellTakes;
}
bool RecordOwnProcess(const std::wstring& target) {
  byOwnProcess.push_back(target);
  return true;
}

class OpenRoadTest : public DispatcherTest {
 protected:
  void SetUp() override {
    DispatcherTest::SetUp();
    SetExternalOpenerForTesting(nullptr);
    byDesktopShell.clear();
    byOwnProcess.clear();
  }
};

TEST_F(OpenRoadTest, TheDesktopShellOpensLinksAndFoldersWhenItTakesThem) {
  desktopShellTakes = true;
  SetOpenRoadsForTesting(&RecordDesktopShell, &RecordOwnProcess);
  test::TempFolder folder;
  const std::wstring saved = ReadInstallDir();
  WriteInstallDir(folder.path());
  Send(L"openfolder");
  WriteInstallDir(saved);
  Send(L"url|https://www.norvane.com/");
  EXPECT_EQ(byDesktopShell, std::vector<std::wstring>({folder.path(), L"https://www.norvane.com/"}));
  EXPECT_TRUE(byOwnProcess.empty());
}

TEST_F(OpenRoadTest, TheLauncherOpensThemItselfWhenTheDesktopShellCannot) {
  desktopShellTakes = false;
  SetOpenRoadsForTesting(&RecordDesktopShell, &RecordOwnProcess);
  Send(L"url|https://www.norvane.com/");
  Send(L"url|javascript:alert(1)");
  EXPECT_EQ(byDesktopShell, std::vector<std::wstring>({L"https://www.norvane.com/"}));
  EXPECT_EQ(byOwnProcess, std::vector<std::wstring>({L"https://www.norvane.com/"}));
}

// The real desktop-shell road end to end: the shell's own ShellExecute runs
// the target, here a command file that leaves a mark. Where no desktop shell
// can take it, the road must say so and the launcher's own call opens the
// folder instead. Under Wine the road always declines (its desktop can
// deadlock in the chain), without starting a desktop.
TEST_F(OpenRoadTest, TheRealDesktopShellRoadRunsTheTargetOrSaysItCannot) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const bool underWine = ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  test::TempFolder folder;
  const std::wstring mark = folder / L"mark.txt";
  ASSERT_TRUE(test::WriteTestFile(folder / L"mark.cmd",
                                  "@echo done> \"" + std::string(mark.begin(), mark.end()) + "\"\r\n"));
  bool opened = false;
  {
    ScopedComInit com;
    opened = OpenThroughDesktopShell(folder / L"mark.cmd");
  }
  if (underWine) {
    EXPECT_FALSE(opened) << "the desktop road was taken under Wine";
  }
  if (opened) {
    for (int i = 0; i < 200 && GetFileAttributesW(mark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    EXPECT_NE(GetFileAttributesW(mark.c_str()), INVALID_FILE_ATTRIBUTES) << "the shell took it but never ran it";
    Sleep(200);  // the interpreter lets go of the folder
  } else {
    SetOpenRoadsForTesting(nullptr, &RecordOwnProcess);
    OpenExternal(folder.path());
    EXPECT_EQ(byOwnProcess, std::vector<std::wstring>({folder.path()}));
  }
  std::printf("desktop shell road: %s\n", opened ? "taken by the desktop shell" : "fell back");
}

// Without an initialised apartment the shell window list cannot even be
// asked: the road fails without opening anything, and the dispatcher, which
// initialises COM itself, is not affected.
TEST_F(OpenRoadTest, TheDesktopShellRoadFailsCleanlyWithoutCom) {
  test::TempFolder folder;
  bool opened = true;
  std::thread([&] { opened = OpenThroughDesktopShell(folder.path()); }).join();
  EXPECT_FALSE(opened);
}

TEST_F(DispatcherTest, HdBeforeInstallOnlyStoresTheChoice) {
  ShowScreen(Screen::kInstall);
  WriteLauncherFlag(kHdFlag, false);
  Send(L"hd|1");
  EXPECT_TRUE(ReadLauncherFlag(kHdFlag, false));
  Send(L"hd|0");
  EXPECT_FALSE(ReadLauncherFlag(kHdFlag, true));
  EXPECT_TRUE(started.empty());
  EXPECT_TRUE(Events().empty());

  ShowScreen(Screen::kReady);
  Send(L"hd|1");
  Send(L"hd|yes");
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0].id, kJobHdOn);
  EXPECT_EQ(started[1].id, kJobHdOff);
}

TEST_F(DispatcherTest, CancelStopsAJobOrGoesBackFromAStoppedScreen) {
  ShowScreen(Screen::kReady);
  Send(L"cancel");
  EXPECT_TRUE(started.empty());  // idle on the ready screen: nothing

  ShowScreen(Screen::kInstalling);
  Send(L"cancel");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].id, kJobUpdateCheck);

  Jobs().jobs[kJobRepair] = &Hold;
  DispatchCommand(L"repair");
  ASSERT_TRUE(jobBusy.load());
  DispatchCommand(L"cancel");
  EXPECT_EQ(stopReason.load(), kStopCancel);
  EXPECT_TRUE(stopFlag.load());
  EXPECT_TRUE(window.PumpUntil([] { return !jobBusy.load(); }));
}

TEST_F(DispatcherTest, UninstallWhileBusyOnlyToasts) {
  Jobs().jobs[kJobRepair] = &Hold;
  DispatchCommand(L"repair");
  DispatchCommand(L"uninstall");
  DispatchCommand(L"pause");  // the repair is a download job: it pauses
  EXPECT_EQ(stopReason.load(), kStopPause);
  ASSERT_TRUE(window.PumpUntil([] { return !jobBusy.load(); }));
  window.Pump(20);
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0], BuildToastJson(kBusyText));
  EXPECT_TRUE(started.empty());

  Send(L"uninstall");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].id, kJobUninstall);
}

TEST_F(DispatcherTest, ResumeStartsTheLastDownloadJobAgain) {
  Send(L"install|F:\\N|1|0");
  Send(L"play");
  Send(L"resume");
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[2].id, kJobInstall);
  EXPECT_EQ(started[2].argument.folder, L"F:\\N");
  EXPECT_FALSE(started[2].argument.shortcut);
}

TEST_F(DispatcherTest, BrowseAnswersWithTheFolderTheInstallWillUse) {
  test::TempFolder root;
  CreateDirectoryW((root / L"empty").c_str(), nullptr);
  CreateDirectoryW((root / L"full").c_str(), nullptr);
  test::WriteTestFile(root / L"full\\notes.txt", "x");

  pickedFolder = root / L"empty\\";
  Send(L"browse");
  pickedFolder = root / L"full";
  Send(L"browse");
  pickedFolder = std::nullopt;  // cancelled
  Send(L"browse");
  ASSERT_EQ(Events().size(), 2u);
  EXPECT_NE(Events()[0].find(JsonString(ToUtf8(root / L"empty"))), std::string::npos) << Events()[0];
  EXPECT_NE(Events()[1].find(JsonString(ToUtf8(root / L"full\\Norvane"))), std::string::npos) << Events()[1];
  EXPECT_EQ(Events()[0].find("\"freeBytes\":-1"), std::string::npos);
}

TEST_F(DispatcherTest, CheckdepsAnswersFromAnotherThread) {
  Send(L"checkdeps");
  ASSERT_TRUE(window.PumpUntil([&] { return !Events().empty(); }));
  EXPECT_EQ(test::MessageType(Events()[0]), "deps");
  EXPECT_NE(Events()[0].find("\"id\":\"vcredist\""), std::string::npos);
}

// A page that repeats checkdeps gets one check at a time, not a thread per
// request; a request after the check has answered starts the next one.
TEST_F(DispatcherTest, RepeatedCheckdepsRunOneCheckAtATime) {
  for (int i = 0; i < 50; ++i) DispatchCommand(L"checkdeps");
  ASSERT_TRUE(window.PumpUntil([&] { return !Events().empty(); }));
  window.Pump(1500);
  const auto answers = [&] {
    std::size_t n = 0;
    for (const std::string& e : Events()) n += test::MessageType(e) == "deps";
    return n;
  };
  EXPECT_LE(answers(), 2u);
  const std::size_t before = answers();
  Send(L"checkdeps");
  EXPECT_TRUE(window.PumpUntil([&] { return answers() > before; }));
}

}  // namespace
}  // namespace nv
