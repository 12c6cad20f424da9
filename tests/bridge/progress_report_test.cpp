// The 200 ms progress report: sent only to a ready page, only when changed.
#include <gtest/gtest.h>

#include "bridge/nv_api.h"
#include "support/page_recorder.h"

namespace nv {
namespace {

using test::PageRecorder;
using Types = std::vector<std::string>;

class ProgressReportTest : public testing::Test {
 protected:
  void SetUp() override { ResetProgressForJob(); }
  void TearDown() override { ResetProgressForJob(); }
  void Ready() {
    SetPageReady(true);
    ReplayToPage();
    page.clear();
  }
  PageRecorder page;
};

TEST_F(ProgressReportTest, NothingBeforeReadyThenCurrentValuesAfterReplay) {
  setBytesTotal = 1000;
  setBytesDone = 100;
  ProgressReport();
  EXPECT_TRUE(page.messages().empty());

  Ready();
  ProgressReport();
  ASSERT_EQ(page.types(), Types({"progress"}));
  ProgressReport();  // identical counters: nothing new
  EXPECT_EQ(page.messages().size(), 1u);

  ReplayToPage();  // a reload's ready: the unchanged progress is sent again
  page.clear();
  ProgressReport();
  EXPECT_EQ(page.types(), Types({"progress"}));
}

TEST_F(ProgressReportTest, ChangedCountersSendAgain) {
  Ready();
  setBytesTotal = 1000;
  jobTransfer.bytes_done = 10;
  jobTransfer.bytes_per_second = 10;
  ProgressReport();
  jobTransfer.bytes_done = 20;
  ProgressReport();
  ProgressReport();
  ASSERT_EQ(page.messages().size(), 2u);
  EXPECT_NE(page.messages()[1].find("\"done\":20,\"total\":1000"), std::string::npos);
  EXPECT_NE(page.messages()[1].find("\"eta\":98}"), std::string::npos);
}

TEST_F(ProgressReportTest, DepsPhaseReportsTheRuntimeDownload) {
  Ready();
  SetPhase(Phase::kDeps);
  SetCurrentFile("DirectX 9.0c Runtime");
  setBytesTotal = 5000;
  setBytesDone = 4000;
  jobTransfer.bytes_done = 30;
  jobTransfer.bytes_total = 60;
  ProgressReport();
  ASSERT_EQ(page.messages().size(), 1u);
  EXPECT_EQ(page.messages()[0],
            "{\"t\":\"progress\",\"phase\":\"deps\",\"file\":\"DirectX 9.0c Runtime\","
            "\"fileDone\":30,\"fileTotal\":60,\"done\":30,\"total\":60,\"filesDone\":0,"
            "\"filesTotal\":0,\"speed\":0,\"eta\":-1}");
}

TEST_F(ProgressReportTest, FileListFollowsTheActiveRowAndIsCached) {
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.fileRows = {{"a", 100, RowState::kWait}, {"b", 50, RowState::kWait}};
  }
  Ready();
  ProgressReport();
  EXPECT_EQ(page.types(), Types({"progress"}));  // sendFileList is still off

  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendFileList = true;
  }
  SetFileRowState(0, RowState::kNow);
  jobTransfer.bytes_done = 70;
  page.clear();
  ProgressReport();
  ASSERT_EQ(page.types(), Types({"progress", "filelist"}));
  EXPECT_NE(page.messages()[1].find("\"path\":\"a\",\"size\":100,\"done\":70,\"state\":\"now\""),
            std::string::npos);
  EXPECT_EQ(CachedMessage(MessageType::kFileList), page.messages()[1]);

  page.clear();
  ProgressReport();  // nothing changed
  EXPECT_TRUE(page.messages().empty());

  SetFileRowState(0, RowState::kDone);  // no active row any more
  SetFileRowState(9, RowState::kFail);  // out of range: only the active row is cleared
  ProgressReport();
  ASSERT_EQ(page.types(), Types({"filelist"}));
  EXPECT_NE(page.messages()[0].find("\"done\":100,\"state\":\"done\""), std::string::npos);
  EXPECT_NE(page.messages()[0].find("\"path\":\"b\",\"size\":50,\"done\":0,\"state\":\"wait\""),
            std::string::npos);
}

TEST_F(ProgressReportTest, RepairCountersSentWhenChanged) {
  Ready();
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendRepair = true;
    progressRecord.repairChecked = 3;
  }
  ProgressReport();
  ProgressReport();
  EXPECT_EQ(page.types(), Types({"progress", "repair"}));
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.repairBroken = 1;
  }
  ProgressReport();
  EXPECT_EQ(page.types(), Types({"progress", "repair", "repair"}));
  EXPECT_EQ(CachedMessage(MessageType::kRepair),
            std::string("{\"t\":\"repair\",\"checked\":3,\"broken\":1,\"missing\":0,\"fixed\":0}"));
}

TEST_F(ProgressReportTest, NoWebViewNoReport) {
  Ready();
  SetPageSink({});
  ProgressReport();
  // The last-sent copy stayed empty, so the first report with a web view sends.
  std::vector<std::string> seen;
  SetPageSink([&seen](const std::string& json) { seen.push_back(json); });
  ProgressReport();
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(ProgressReportTest, JobStartResetsEverything) {
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.phase = Phase::kCheck;
    progressRecord.currentFile = "x";
    progressRecord.fileRows = {{"a", 1, RowState::kNow}};
    progressRecord.activeRow = 0;
    progressRecord.sendFileList = true;
    progressRecord.sendRepair = true;
    progressRecord.repairFixed = 4;
  }
  setBytesDone = 1;
  setBytesTotal = 2;
  checkedBytesClient = 3;
  checkedBytesHd = 4;
  filesDone = 5;
  filesTotal = 6;
  jobTransfer.bytes_done = 7;
  jobTransfer.bytes_total = 8;
  jobTransfer.bytes_per_second = 9;

  ResetProgressForJob();
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    EXPECT_EQ(progressRecord.phase, Phase::kFiles);
    EXPECT_TRUE(progressRecord.currentFile.empty());
    EXPECT_TRUE(progressRecord.fileRows.empty());
    EXPECT_EQ(progressRecord.activeRow, -1);
    EXPECT_FALSE(progressRecord.sendFileList);
    EXPECT_FALSE(progressRecord.sendRepair);
    EXPECT_EQ(progressRecord.repairFixed, 0);
  }
  EXPECT_EQ(setBytesDone + setBytesTotal + checkedBytesClient + checkedBytesHd, 0);
  EXPECT_EQ(filesDone + filesTotal, 0);
  EXPECT_EQ(jobTransfer.bytes_done + jobTransfer.bytes_total + jobTransfer.bytes_per_second, 0);
}

}  // namespace
}  // namespace nv
