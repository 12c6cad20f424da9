// The play job with a stand-in norvane.exe that writes down how it started.
#include <gtest/gtest.h>

#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "jobs/job_engine.h"
#include "jobs/job_engine_testing.h"
#include "support/page_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "sync/fs/fs_helpers.h"
#include "system/game_start.h"
#include "system/launcher_settings.h"
#include "system/system_support.h"

namespace nv {
namespace {

using test::FileExists;
using test::ReadAll;
using test::TempFolder;

class GameStart : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearLauncherRegistry();
    SetPageReady(true);
  }
  void TearDown() override {
    test::ClearLauncherRegistry();
    // The stand-in must be gone before the next test asks whether the game runs.
    for (int i = 0; i < 100 && IsGameRunning(); ++i) Sleep(50);
  }

  // The page messages of the job, in order.
  std::vector<std::string> Messages() {
    DrainOutbox();
    return page_.messages();
  }

  bool GameStartedPosted() {
    MSG msg;
    return PeekMessageW(&msg, window_.hwnd(), kWmGameStarted, kWmGameStarted, PM_REMOVE) != 0;
  }

  std::optional<std::string> WaitForRecord(const std::wstring& folder) {
    const std::wstring record = folder + L"\\launch_record.txt";
    for (int i = 0; i < 200 && !FileExists(record); ++i) Sleep(50);
    // The stand-in exits right after writing; its file must be free again.
    for (int i = 0; i < 100 && IsGameRunning(); ++i) Sleep(50);
    return ReadAll(record);
  }

  test::PageRecorder page_;
  test::TestWindow window_;
};

TEST_F(GameStart, StartsTheGameFromItsFolderWithTheArgument) {
  TempFolder game;
  ASSERT_TRUE(test::CopyHelperTo(game / L"norvane.exe"));
  ASSERT_TRUE(test::WriteTestFile(game / L"DATA.INI", "[data]\n0=data.grf\n1=custom_hd1.grf\n"));
  WriteInstallDir(game.path() + L"/");

  StartGameJob();
  const auto record = WaitForRecord(game.path());
  ASSERT_TRUE(record);
  const std::string folder = ToUtf8(game.path());
  EXPECT_EQ(*record, "\"" + folder + "\\norvane.exe\" -4tqz7\n" + folder + "\n");
  EXPECT_TRUE(GameStartedPosted());
  EXPECT_TRUE(Messages().empty());
  // The data list was matched before the start.
  EXPECT_EQ(ReadAll(game / L"DATA.INI"), std::string("[data]\n0=data.grf\n"));
  EXPECT_TRUE(FileExists(game / L"DATA.INI.full"));
}

TEST_F(GameStart, MissingGameReportsAndStartsNothing) {
  TempFolder game;
  ASSERT_TRUE(test::WriteTestFile(game / L"DATA.INI", "[data]\n0=custom_hd1.grf\n"));
  WriteInstallDir(game.path());
  CreateDirectoryW((game / L"norvane.exe").c_str(), nullptr);  // a folder is no game

  StartGameJob();
  EXPECT_EQ(Messages(), (std::vector<std::string>{BuildErrorJson(kGameMissingText)}));
  EXPECT_FALSE(GameStartedPosted());
  EXPECT_FALSE(FileExists(game / L"DATA.INI.full"));  // the list is not touched
  EXPECT_FALSE(LaunchGame(game.path()));

  page_.clear();
  test::ClearLauncherRegistry();
  StartGameJob();  // nothing registered at all
  EXPECT_EQ(Messages(), (std::vector<std::string>{BuildErrorJson(kGameMissingText)}));
}

TEST_F(GameStart, UnstartableGameReportsTheStartFailure) {
  TempFolder game;
  ASSERT_TRUE(test::WriteTestFile(game / L"norvane.exe", "not a program"));
  WriteInstallDir(game.path());
  StartGameJob();
  EXPECT_EQ(Messages(), (std::vector<std::string>{BuildErrorJson(kGameStartFailedText)}));
  EXPECT_FALSE(GameStartedPosted());
}

TEST_F(GameStart, JobTableRunsPlayThroughTheEngine) {
  TempFolder game;
  ASSERT_TRUE(test::CopyHelperTo(game / L"norvane.exe"));
  WriteInstallDir(game.path());
  ASSERT_TRUE(Jobs().jobs[kJobPlay]);
  ASSERT_TRUE(Jobs().jobs[kJobUninstall]);
  ASSERT_TRUE(Jobs().applyClientDataList);
  Jobs().jobs[kJobPlay](JobArgument{});
  ASSERT_TRUE(WaitForRecord(game.path()));
  EXPECT_TRUE(GameStartedPosted());
}

}  // namespace
}  // namespace nv
