#include <gtest/gtest.h>

#include <climits>

#include "bridge/nv_api.h"
#include "bridge/player_texts.h"

namespace nv {
namespace {

TEST(PageVocabulary, EachValueHasItsWord) {
  const std::pair<std::string_view, std::string_view> words[] = {
      {ScreenName(Screen::kInstall), "install"},
      {ScreenName(Screen::kInstalling), "installing"},
      {ScreenName(Screen::kReady), "ready"},
      {ScreenName(Screen::kUpdating), "updating"},
      {ScreenName(Screen::kRepair), "repair"},
      {RowStateName(RowState::kWait), "wait"},
      {RowStateName(RowState::kNow), "now"},
      {RowStateName(RowState::kDone), "done"},
      {RowStateName(RowState::kFail), "fail"},
      {PhaseName(Phase::kFiles), "files"},
      {PhaseName(Phase::kCheck), "check"},
      {PhaseName(Phase::kDeps), "deps"},
      {MessageTypeName(MessageType::kState), "state"},
      {MessageTypeName(MessageType::kSteps), "steps"},
      {MessageTypeName(MessageType::kFileList), "filelist"},
      {MessageTypeName(MessageType::kRepair), "repair"},
      {MessageTypeName(MessageType::kDeps), "deps"},
      {MessageTypeName(MessageType::kNews), "news"},
      {MessageTypeName(MessageType::kOnline), "online"},
      {MessageTypeName(MessageType::kError), "error"},
      {MessageTypeName(MessageType::kToast), "toast"},
      {MessageTypeName(MessageType::kBrowse), "browse"},
      {MessageTypeName(MessageType::kProgress), "progress"},
  };
  for (const auto& [written, word] : words) EXPECT_EQ(written, word);
}

StatusRecord SampleStatus() {
  StatusRecord s;
  s.installDir = L"D:\\Norvane";
  s.hdEnabled = true;
  s.contentVersion = "20261105021000";
  s.clientBytes = 3221225472;
  s.hdBytes = 1610612736;
  s.needBytes = 12345;
  return s;
}

TEST(StateMessage, MembersInOrderAndFlagsOnlyWhenSet) {
  const StatusRecord s = SampleStatus();
  EXPECT_EQ(BuildStateJson(s, Screen::kReady, "D:\\Norvane", 987654321, {}),
            "{\"t\":\"state\",\"state\":\"ready\",\"version\":\"20261105021000\","
            "\"dir\":\"D:\\\\Norvane\",\"hd\":1,\"needBytes\":12345,\"freeBytes\":987654321,"
            "\"hdBytes\":1610612736,\"clientBytes\":3221225472,\"launcherVersion\":\"1.0.0\"}");
  const std::string both = BuildStateJson(s, Screen::kUpdating, "D:\\Norvane", -1, {true, true});
  EXPECT_NE(both.find(",\"freeBytes\":-1,"), std::string::npos);
  EXPECT_TRUE(both.ends_with(",\"launcherVersion\":\"1.0.0\",\"paused\":1,\"checking\":1}")) << both;
  const std::string checking = BuildStateJson(s, Screen::kReady, "x", 0, {false, true});
  EXPECT_EQ(checking.find("paused"), std::string::npos);
  EXPECT_TRUE(checking.ends_with("\"1.0.0\",\"checking\":1}"));
}

TEST(StateMessage, HdIsAlwaysPresentAndStringsEscaped) {
  StatusRecord s;
  s.contentVersion = "v\"1";
  const std::string json = BuildStateJson(s, Screen::kInstall, "C:\\a\x07\xc3\xa9", 0, {});
  EXPECT_NE(json.find("\"hd\":0,"), std::string::npos);
  EXPECT_NE(json.find("\"version\":\"v\\\"1\""), std::string::npos);
  EXPECT_NE(json.find("\"dir\":\"C:\\\\a\\u0007\xc3\xa9\""), std::string::npos);
}

TEST(EventMessages, ExactTexts) {
  EXPECT_EQ(BuildErrorJson(kInvalidFolderText),
            "{\"t\":\"error\",\"text\":\"Please choose a valid folder (for example "
            "C:\\\\Games\\\\Norvane).\"}");
  EXPECT_EQ(BuildToastJson(kBusyText),
            "{\"t\":\"toast\",\"text\":\"Please wait until the current task finishes.\"}");
  EXPECT_EQ(BuildErrorJson(kWorkerThreadFailedText),
            "{\"t\":\"error\",\"text\":\"Could not start a worker thread.\"}");
  EXPECT_EQ(BuildToastJson(""), "{\"t\":\"toast\",\"text\":\"\"}");
  EXPECT_EQ(BuildBrowseJson("E:\\Games\\Norvane", -1),
            "{\"t\":\"browse\",\"dir\":\"E:\\\\Games\\\\Norvane\",\"freeBytes\":-1}");
  EXPECT_EQ(BuildRepairJson(10, 2, 1, 3),
            "{\"t\":\"repair\",\"checked\":10,\"broken\":2,\"missing\":1,\"fixed\":3}");
}

TEST(ListMessages, StepsDepsAndEmptyLists) {
  EXPECT_EQ(BuildStepsJson({{"Check folder", RowState::kDone},
                           {"Download \"game\"", RowState::kNow}}),
            "{\"t\":\"steps\",\"items\":[{\"name\":\"Check folder\",\"state\":\"done\"},"
            "{\"name\":\"Download \\\"game\\\"\",\"state\":\"now\"}]}");
  EXPECT_EQ(BuildStepsJson({}), "{\"t\":\"steps\",\"items\":[]}");
  EXPECT_EQ(BuildDepsJson({{"vcredist", "Visual C++ 2015-2022 Runtime (x86)", true},
                           {"directx", "DirectX 9.0c Runtime", false}}),
            "{\"t\":\"deps\",\"items\":[{\"id\":\"vcredist\",\"name\":\"Visual C++ 2015-2022 "
            "Runtime (x86)\",\"installed\":true},{\"id\":\"directx\",\"name\":\"DirectX 9.0c "
            "Runtime\",\"installed\":false}]}");
}

TEST(FileListMessage, DonePerRowState) {
  const std::vector<FileRow> rows = {
      {"data/a.grf", 100, RowState::kDone},
      {"data/b.grf", 200, RowState::kNow},   // active row
      {"data/c.grf", 300, RowState::kNow},   // "now" but not the active row
      {"data/d.grf", 400, RowState::kWait},
      {"data/e.grf", 500, RowState::kFail},
  };
  EXPECT_EQ(BuildFileListJson(rows, 1, 150),
            "{\"t\":\"filelist\",\"items\":["
            "{\"path\":\"data/a.grf\",\"size\":100,\"done\":100,\"state\":\"done\"},"
            "{\"path\":\"data/b.grf\",\"size\":200,\"done\":150,\"state\":\"now\"},"
            "{\"path\":\"data/c.grf\",\"size\":300,\"done\":0,\"state\":\"now\"},"
            "{\"path\":\"data/d.grf\",\"size\":400,\"done\":0,\"state\":\"wait\"},"
            "{\"path\":\"data/e.grf\",\"size\":500,\"done\":0,\"state\":\"fail\"}]}");
  // The active row's bytes are capped at its size; a "done" active row shows its size.
  EXPECT_NE(BuildFileListJson(rows, 1, 999).find("\"size\":200,\"done\":200,"), std::string::npos);
  EXPECT_NE(BuildFileListJson(rows, 0, 5).find("\"size\":100,\"done\":100,"), std::string::npos);
}

TEST(FileListMessage, ThreeHundredRowsAreAllWritten) {
  std::vector<FileRow> rows(300, FileRow{"f", 1, RowState::kWait});
  const std::string json = BuildFileListJson(rows, -1, 0);
  std::size_t count = 0;
  for (std::size_t at = json.find("{\"path\""); at != std::string::npos;
       at = json.find("{\"path\"", at + 1))
    ++count;
  EXPECT_EQ(count, 300u);
}

TEST(ProgressNumbers, CappingAndEta) {
  CounterSample s;
  s.setTotal = 1000;
  s.setDone = 900;
  s.transferDone = 300;
  ProgressValues v = ComputeProgress(Phase::kFiles, "a", s);
  EXPECT_EQ(v.done, 1000);  // capped
  EXPECT_EQ(v.eta, 0);

  s = {};
  s.setTotal = 1000;
  s.setDone = 500;
  EXPECT_EQ(ComputeProgress(Phase::kFiles, "", s).eta, -1);  // no speed yet
  s.transferSpeed = 100;
  EXPECT_EQ(ComputeProgress(Phase::kFiles, "", s).eta, 5);
  s.transferSpeed = 300;
  EXPECT_EQ(ComputeProgress(Phase::kFiles, "", s).eta, 1);  // 500/300 truncated

  s = {};  // nothing known
  EXPECT_EQ(ComputeProgress(Phase::kFiles, "", s).eta, -1);
  s.transferSpeed = 50;  // speed but no total
  EXPECT_EQ(ComputeProgress(Phase::kFiles, "", s).eta, -1);
}

TEST(ProgressNumbers, PhaseChoosesTheCounters) {
  CounterSample s;
  s.transferDone = 40;
  s.transferTotal = 100;
  s.transferSpeed = 20;
  s.setDone = 5000;
  s.setTotal = 9000;
  s.checkedClient = 700;
  s.checkedHd = 300;

  ProgressValues deps = ComputeProgress(Phase::kDeps, "Microsoft Edge WebView2 Runtime", s);
  EXPECT_EQ(deps.done, 40);  // the runtime download's own bytes, not the set's
  EXPECT_EQ(deps.total, 100);
  EXPECT_EQ(deps.speed, 20);
  EXPECT_EQ(deps.eta, 3);

  ProgressValues check = ComputeProgress(Phase::kCheck, "data/a.grf", s);
  EXPECT_EQ(check.done, 1000);
  EXPECT_EQ(check.total, 9000);
  EXPECT_EQ(check.speed, 0);
  EXPECT_EQ(check.eta, -1);

  ProgressValues files = ComputeProgress(Phase::kFiles, "data/a.grf", s);
  EXPECT_EQ(files.done, 5040);
  EXPECT_EQ(files.eta, (9000 - 5040) / 20);
}

TEST(ProgressMessage, MembersInOrder) {
  ProgressValues v{Phase::kFiles, "data/\"x\".grf", 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(BuildProgressJson(v),
            "{\"t\":\"progress\",\"phase\":\"files\",\"file\":\"data/\\\"x\\\".grf\","
            "\"fileDone\":1,\"fileTotal\":2,\"done\":3,\"total\":4,\"filesDone\":5,"
            "\"filesTotal\":6,\"speed\":7,\"eta\":8}");
}

TEST(FormatSize, Boundaries) {
  EXPECT_EQ(FormatSize(1610612736), "1.5 GB");
  EXPECT_EQ(FormatSize(1073741824), "1.0 GB");
  EXPECT_EQ(FormatSize(1073741823), "1024 MB");
  EXPECT_EQ(FormatSize(3145728), "3 MB");
  EXPECT_EQ(FormatSize(1048576), "1 MB");
  EXPECT_EQ(FormatSize(1048575), "1024 KB");
  EXPECT_EQ(FormatSize(1), "1 KB");
  EXPECT_EQ(FormatSize(0), "0 KB");
  EXPECT_EQ(FormatSize(-5), "0 KB");
  EXPECT_EQ(FormatSize(-2048), "-1 KB");
  EXPECT_EQ(FormatSize(LLONG_MAX), "8589934592.0 GB");
}

}  // namespace
}  // namespace nv
