// Removal against a real game folder, registry and shortcuts; the
// --uninstall questions answered through the message box seam.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "bridge/message_box_testing.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "jobs/job_engine.h"
#include "support/page_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"
#include "system/system_support.h"
#include "system/uninstall.h"
#include "system/uninstall_entry.h"
#include "system/uninstall_plan.h"

namespace nv {
namespace {

using test::FileExists;
using test::FolderExists;
using test::TempFolder;
using test::WriteTestFile;

struct Box {
  std::wstring text;
  std::wstring caption;
  UINT type = 0;
  HWND owner = nullptr;
};
std::vector<Box> boxes;
std::vector<int> answers;  // given in order; IDOK when none is left
void (*onBox)(const Box&) = nullptr;

int WINAPI AnswerBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  boxes.push_back({text, caption, type, owner});
  if (onBox) onBox(boxes.back());
  if (answers.empty()) return IDOK;
  const int answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearLauncherRegistry();
    boxes.clear();
    answers.clear();
    onBox = nullptr;
    SetMessageBoxForTesting(&AnswerBox);
    game_ = root_ / L"Game";
    CreateDirectoryW(game_.c_str(), nullptr);
  }
  void TearDown() override {
    SetMessageBoxForTesting(nullptr);
    test::ClearLauncherRegistry();
  }

  // A registered installation with recorded files, screenshots, partial
  // downloads, the launcher copy with its siblings, and hostile records
  // pointing at decoys outside the game folder.
  void Install() {
    for (const wchar_t* folder : {L"data", L"data\\a", L"screenshot", L"Screenshot2"})
      CreateDirectoryW((game_ + L"\\" + folder).c_str(), nullptr);
    for (const wchar_t* file :
         {L"norvane.exe", L"DATA.INI", L"DATA.INI.full", L"data\\a\\b.grf", L"data\\a\\b.grf.part",
          L"data\\c.grf", L"screenshot\\shot1.png", L"screenshot\\Shot2.PNG", L"notes.txt",
          L"Norvane-Launcher.exe.new", L"Norvane-Launcher.exe.old", L"launcher_state.txt.tmp"}) {
      ASSERT_TRUE(WriteTestFile(game_ + L"\\" + file, "x"));
    }
    ASSERT_TRUE(WriteTestFile(root_ / L"decoy.txt", "keep"));
    ASSERT_TRUE(WriteTestFile(root_ / L"Game2.txt", "keep"));
    ASSERT_TRUE(test::WriteState(game_, {{"norvane.exe", 1}, {"DATA.INI", 1}, {"data/a/b.grf", 1},
                                         {"data/c.grf", 1}, {"screenshot/shot1.png", 1},
                                         {"SCREENSHOT/Shot2.PNG", 1}}));
    // Hostile records the file-state parser would never produce itself.
    std::string state = *test::ReadAll(game_ + L"\\launcher_state.txt");
    for (const char* bad : {"../decoy.txt", "./../decoy.txt", "data/../../decoy.txt",
                            "/decoy.txt", "\\decoy.txt", "C:decoy.txt", "..\\Game2.txt"}) {
      state += std::string(bad) + "|1|1|\n";
    }
    ASSERT_TRUE(WriteTestFile(game_ + L"\\launcher_state.txt", state));

    ScopedComInit com;
    ASSERT_TRUE(RegisterInstall(game_, true));
    ASSERT_TRUE(FileExists(MenuLink()));
    ASSERT_TRUE(FileExists(DesktopLink()));
  }

  static std::wstring MenuLink() {
    return KnownFolderPath(FOLDERID_CommonPrograms) + L"\\Norvane\\Norvane.lnk";
  }
  static std::wstring DesktopLink() {
    return KnownFolderPath(FOLDERID_PublicDesktop) + L"\\Norvane.lnk";
  }

  void ExpectRemoved() {
    for (const wchar_t* file :
         {L"norvane.exe", L"DATA.INI", L"data\\a\\b.grf", L"data\\a\\b.grf.part", L"data\\c.grf",
          L"launcher_state.txt", L"launcher_state.txt.tmp", L"Norvane-Launcher.exe",
          L"Norvane-Launcher.exe.new", L"Norvane-Launcher.exe.old"}) {
      EXPECT_FALSE(FileExists(game_ + L"\\" + file)) << file;
    }
    EXPECT_FALSE(FolderExists(game_ + L"\\data"));  // data\a went first
    // Kept: screenshots, what the launcher never recorded, and so the folder.
    for (const wchar_t* file : {L"screenshot\\shot1.png", L"screenshot\\Shot2.PNG", L"notes.txt",
                                L"DATA.INI.full"}) {
      EXPECT_TRUE(FileExists(game_ + L"\\" + file)) << file;
    }
    EXPECT_TRUE(FolderExists(game_ + L"\\Screenshot2"));
    EXPECT_EQ(test::ReadAll(root_ / L"decoy.txt"), std::string("keep"));
    EXPECT_EQ(test::ReadAll(root_ / L"Game2.txt"), std::string("keep"));
    EXPECT_FALSE(FileExists(MenuLink()));
    EXPECT_FALSE(FolderExists(KnownFolderPath(FOLDERID_CommonPrograms) + L"\\Norvane"));
    EXPECT_FALSE(FileExists(DesktopLink()));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryKey));
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Norvane"));
  }

  // One recorded game file, the launcher copy (the stand-in program) and its
  // ".old" sibling.
  void PlaceGameAndCopy(const std::wstring& copy) {
    ASSERT_TRUE(WriteTestFile(game_ + L"\\norvane.exe", "x"));
    ASSERT_TRUE(test::WriteState(game_, {{"norvane.exe", 1}}));
    ASSERT_TRUE(test::CopyHelperTo(copy));
    ASSERT_TRUE(WriteTestFile(copy + L".old", "old"));
  }

  TempFolder root_;
  std::wstring game_;
};

TEST_F(Uninstall, RemovesExactlyWhatWasInstalled) {
  Install();
  EXPECT_TRUE(RemoveInstallation(L""));  // empty: the registered folder
  ExpectRemoved();
  // Nothing left to remove is no failure.
  EXPECT_TRUE(RemoveInstallation(game_));
  EXPECT_TRUE(FileExists(game_ + L"\\notes.txt"));
}

// A user without rights plants links in the game folder that every user can
// write: "data" to a decoy folder (standing in for a system folder), and a
// deeper "data2/sub" the same way, with records below them. The elevated
// removal must leave the decoy's files and folders as they were.
TEST_F(Uninstall, NeverDeletesThroughALinkedFolder) {
  const std::wstring decoy = root_ / L"decoy";
  CreateDirectoryW(decoy.c_str(), nullptr);
  CreateDirectoryW((decoy + L"\\inner").c_str(), nullptr);
  ASSERT_TRUE(WriteTestFile(decoy + L"\\x.dll", "system"));
  ASSERT_TRUE(WriteTestFile(decoy + L"\\inner\\y.dll", "system"));
  ASSERT_TRUE(test::PlantFolderLink(game_ + L"\\data", decoy));
  CreateDirectoryW((game_ + L"\\data2").c_str(), nullptr);
  ASSERT_TRUE(test::PlantFolderLink(game_ + L"\\data2\\sub", decoy));
  ASSERT_TRUE(WriteTestFile(game_ + L"\\own.dll", "ours"));
  ASSERT_TRUE(test::WriteState(game_, {{"data/x.dll", 9}, {"data/inner/y.dll", 1},
                                       {"data2/sub/x.dll", 1}, {"own.dll", 1}}));

  RemoveInstallation(game_);
  EXPECT_EQ(test::ReadAll(decoy + L"\\x.dll"), std::string("system"));
  EXPECT_EQ(test::ReadAll(decoy + L"\\inner\\y.dll"), std::string("system"));
  EXPECT_TRUE(FolderExists(decoy + L"\\inner"));
  EXPECT_FALSE(FileExists(game_ + L"\\own.dll"));  // the game's own file still goes
}

TEST_F(Uninstall, EmptiedFolderGoesAndMissingFolderIsNoFailure) {
  ASSERT_TRUE(WriteTestFile(game_ + L"\\norvane.exe", "x"));
  ASSERT_TRUE(test::WriteState(game_, {{"norvane.exe", 1}}));
  EXPECT_TRUE(RemoveInstallation(game_));
  EXPECT_FALSE(FolderExists(game_));
  WriteInstallDir(game_);
  EXPECT_TRUE(RemoveInstallation(game_));
  EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Norvane"));
}

TEST_F(Uninstall, OtherSettingsKeepTheNorvaneKey) {
  WriteInstallDir(game_);
  const DWORD one = 1;
  test::SetRegValue(HKEY_CURRENT_USER, L"Software\\Norvane", L"Other", REG_DWORD, &one, sizeof one);
  EXPECT_TRUE(RemoveInstallation(game_));
  EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, kLauncherSettingsKey));
  EXPECT_TRUE(test::ReadRegValue(HKEY_CURRENT_USER, L"Software\\Norvane", L"Other"));

  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Norvane", L"Other");
  test::SetRegValue(HKEY_CURRENT_USER, L"Software\\Norvane\\Tools", L"x", REG_DWORD, &one, sizeof one);
  EXPECT_TRUE(RemoveInstallation(game_));
  EXPECT_TRUE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Norvane\\Tools"));
}

TEST_F(Uninstall, CommandAnsweredNoChangesNothing) {
  Install();
  answers = {IDNO};
  EXPECT_EQ(RunUninstallCommand(), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, UninstallConfirmText(game_));
  EXPECT_EQ(boxes[0].caption, L"Norvane");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_TRUE(FileExists(game_ + L"\\data\\c.grf"));
  EXPECT_TRUE(FileExists(MenuLink()));
  EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryKey));
  EXPECT_EQ(ReadInstallDir(), game_);
}

// The folder is the uninstall entry's: never where the copy runs from, and
// never a per-user setting that disagrees with the entry.
TEST_F(Uninstall, CommandTakesTheEntrysFolderOrRemovesNothing) {
  answers = {IDOK};
  EXPECT_EQ(RunUninstallCommand(), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, FromUtf8(kNotInstalledText));

  Install();
  WriteInstallDir(root_.path());  // rewritten by a program of the player's
  boxes.clear();
  answers = {IDOK};
  EXPECT_EQ(RunUninstallCommand(), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, UninstallFolderMismatchText(game_));
  EXPECT_FALSE(RemoveInstallation(L""));
  EXPECT_TRUE(FileExists(game_ + L"\\data\\c.grf"));
  EXPECT_EQ(test::ReadAll(root_ / L"decoy.txt"), std::string("keep"));
}

TEST_F(Uninstall, CommandRemovesAndReports) {
  Install();
  answers = {IDYES};
  EXPECT_EQ(RunUninstallCommand(), 0);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, kRemovedText);
  EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  ExpectRemoved();
}

// A stand-in norvane.exe that keeps running, so IsGameRunning sees the game.
class RunningGame {
 public:
  explicit RunningGame(const std::wstring& folder) {
    const std::wstring exe = folder + L"\\norvane.exe";
    if (!test::CopyHelperTo(exe)) return;
    std::wstring line = L"\"" + exe + L"\" --linger";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
      return;
    process_.reset(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    for (int i = 0; i < 100 && !IsGameRunning(); ++i) Sleep(50);
  }
  ~RunningGame() { Stop(); }
  void Stop() {
    if (!process_) return;
    TerminateProcess(process_.get(), 0);
    WaitForSingleObject(process_.get(), 10000);
    process_.reset();
    for (int i = 0; i < 100 && IsGameRunning(); ++i) Sleep(50);
  }
  bool started() const { return process_.valid(); }

 private:
  UniqueKernelHandle process_;
};

RunningGame* runningGame = nullptr;
int retryBoxes = 0;

TEST_F(Uninstall, CommandWaitsForTheGame) {
  Install();
  TempFolder elsewhere;
  RunningGame game(elsewhere.path());
  ASSERT_TRUE(game.started());
  ASSERT_TRUE(IsGameRunning());

  answers = {IDYES, IDCANCEL};
  EXPECT_EQ(RunUninstallCommand(), 1);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, kGameRunningRetryText);
  EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONWARNING));
  EXPECT_TRUE(FileExists(game_ + L"\\data\\c.grf"));
  EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryKey));

  // Retry after the game was closed goes on with the removal.
  boxes.clear();
  answers = {IDYES, IDRETRY, IDRETRY};
  runningGame = &game;
  retryBoxes = 0;
  onBox = [](const Box& box) {
    if (box.type == (MB_RETRYCANCEL | MB_ICONWARNING) && ++retryBoxes == 2) runningGame->Stop();
  };
  EXPECT_EQ(RunUninstallCommand(), 0);
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[3].text, kRemovedText);
  ExpectRemoved();
  runningGame = nullptr;
}

TEST_F(Uninstall, JobRefusesWithoutFolderOrWhileTheGameRuns) {
  test::PageRecorder page;
  SetPageReady(true);
  test::TestWindow window;
  UninstallJob();
  DrainOutbox();
  EXPECT_EQ(page.messages(), (std::vector<std::string>{BuildErrorJson(kNotInstalledText)}));

  Install();
  TempFolder elsewhere;
  RunningGame game(elsewhere.path());
  ASSERT_TRUE(game.started());
  page.clear();
  UninstallJob();
  DrainOutbox();
  EXPECT_EQ(page.messages(),
            (std::vector<std::string>{BuildErrorJson(kCloseGameFirstText)}));
  EXPECT_TRUE(FileExists(game_ + L"\\data\\c.grf"));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, window.hwnd(), kWmUninstallDone, kWmUninstallDone, PM_REMOVE));

  game.Stop();
  page.clear();
  UninstallJob();
  ASSERT_TRUE(PeekMessageW(&msg, window.hwnd(), kWmUninstallDone, kWmUninstallDone, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ExpectRemoved();

  ShowUninstallResult(window.hwnd(), false);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, kIncompleteJobText);
  EXPECT_EQ(boxes.back().owner, window.hwnd());
}

TEST_F(Uninstall, ShortNamesOfTheScreenshotFolderAreScreenshotsToo) {
  CreateDirectoryW((game_ + L"\\screenshot").c_str(), nullptr);
  const std::wstring shot = game_ + L"\\screenshot\\holiday_picture.png";
  ASSERT_TRUE(WriteTestFile(shot, "x"));
  wchar_t shortShot[1024];
  wchar_t shortGame[1024];
  ASSERT_GT(GetShortPathNameW(shot.c_str(), shortShot, 1024), 0u);
  ASSERT_GT(GetShortPathNameW(game_.c_str(), shortGame, 1024), 0u);
  std::wstring relative = std::wstring(shortShot).substr(wcslen(shortGame) + 1);
  for (wchar_t& c : relative)
    if (c == L'\\') c = L'/';
  ASSERT_FALSE(IsScreenshotPath(ToUtf8(relative))) << "no short name to test with";
  ASSERT_TRUE(test::WriteState(game_, {{ToUtf8(relative), 1}}));
  EXPECT_TRUE(RemoveInstallation(game_));
  EXPECT_TRUE(FileExists(shot)) << relative;
}

TEST_F(Uninstall, LockedRecordedFileStaysAndCountsAsNotRemoved) {
  ASSERT_TRUE(WriteTestFile(game_ + L"\\norvane.exe", "x"));
  ASSERT_TRUE(test::WriteState(game_, {{"norvane.exe", 1}}));
  UniqueFile held(CreateFileW((game_ + L"\\norvane.exe").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  EXPECT_FALSE(RemoveInstallation(game_));  // no delete at the next restart
  held.reset();
  EXPECT_TRUE(FileExists(game_ + L"\\norvane.exe"));
  EXPECT_FALSE(FileExists(game_ + L"\\launcher_state.txt"));
}

TEST_F(Uninstall, RunningFromTheCopyLeavesItToTheInterpreter) {
  const std::wstring copy = game_ + L"\\Norvane-Launcher.exe";
  PlaceGameAndCopy(copy);
  EXPECT_EQ(test::RunAndWait(copy, L"--remove \"" + game_ + L"\""), 0);
  EXPECT_FALSE(FileExists(game_ + L"\\norvane.exe"));
  // The hidden interpreter removes the copy, its sibling and the folder
  // about two seconds after the uninstaller exited.
  for (int i = 0; i < 200 && FolderExists(game_); ++i) Sleep(50);
  EXPECT_FALSE(FileExists(copy));
  EXPECT_FALSE(FileExists(copy + L".old"));
  EXPECT_FALSE(FolderExists(game_));
}

// A folder name cmd would read as commands or variables is only data to the
// interpreter: the copy and the folder still go, and nothing else runs.
TEST_F(Uninstall, AFolderNameTheInterpreterWouldReinterpretIsOnlyData) {
  game_ = root_ / L"G %NV_X% !q! a&b ^c";
  ASSERT_TRUE(CreateDirectoryW(game_.c_str(), nullptr));
  const std::wstring marker = root_ / L"ran";
  SetEnvironmentVariableW(L"NV_X", (L"x\" & echo ran > \"" + marker + L"\" & rem \"").c_str());
  const std::wstring copy = game_ + L"\\Norvane-Launcher.exe";
  PlaceGameAndCopy(copy);
  EXPECT_EQ(test::RunAndWait(copy, L"--remove \"" + game_ + L"\""), 0);
  SetEnvironmentVariableW(L"NV_X", nullptr);
  for (int i = 0; i < 200 && FileExists(copy); ++i) Sleep(50);
  Sleep(500);  // a command that broke out of the quotes would run after del
  EXPECT_FALSE(FileExists(copy));
  EXPECT_FALSE(FileExists(marker));
}

// The launcher shows its result box after starting the deferred delete and
// may stay up well past any fixed wait: the copy still goes once it ends.
TEST_F(Uninstall, TheCopyGoesOnceTheLauncherHasReallyEnded) {
  const std::wstring copy = game_ + L"\\Norvane-Launcher.exe";
  PlaceGameAndCopy(copy);
  EXPECT_EQ(test::RunAndWait(copy, L"--remove-then-wait \"" + game_ + L"\" 6000"), 0);
  for (int i = 0; i < 200 && FolderExists(game_); ++i) Sleep(50);
  EXPECT_FALSE(FileExists(copy));
  EXPECT_FALSE(FileExists(copy + L".old"));
  EXPECT_FALSE(FolderExists(game_));
}

}  // namespace
}  // namespace nv
