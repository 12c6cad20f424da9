// The job engine with a real main window: start, busy, end message, stop
// requests, the ending of stopped jobs and the catch of unexpected errors.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <stdexcept>

#include "bridge/main_window_handle.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "jobs/job_engine.h"
#include "jobs/job_engine_testing.h"
#include "support/page_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "sync/fs/unique_handle.h"
#include "system/launcher_settings.h"

namespace nv {
namespace {

using Types = std::vector<std::string>;

// What the test jobs saw; written on the worker, read after it ended.
struct Observed {
  int runs = 0;
  JobArgument argument;
  bool sawBusy = false;
  bool doneEventWasReset = false;
  std::vector<std::wstring> dataListFolders;
};
Observed observed;
UniqueKernelHandle release;  // the blocking job waits for this

void RecordingJob(const JobArgument& argument) {
  ++observed.runs;
  observed.argument = argument;
  observed.sawBusy = jobBusy.load();
  observed.doneEventWasReset = WaitForSingleObject(JobDoneEvent(), 0) == WAIT_TIMEOUT;
}

void BlockingJob(const JobArgument& argument) {
  RecordingJob(argument);
  WaitForSingleObject(release.get(), 10000);
}

// A download job that stops at the stop flag, as the real ones do.
void StoppableJob(const JobArgument& argument) {
  RecordingJob(argument);
  while (!stopFlag.load()) Sleep(5);
  FinishStoppedJob(currentJobId);
}

// One whose stop takes a while (a file being closed, a state being saved).
void SlowToStopJob(const JobArgument& argument) {
  StoppableJob(argument);
  Sleep(400);
}

class JobEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window.hwnd(), nullptr) << "no window: is DISPLAY set?";
    ASSERT_TRUE(CreateJobDoneEvent());
    release.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    saved = Jobs();
    Jobs() = JobTable{};
    observed = Observed{};
    status = StatusRecord{};
    resumableJobId = 0;
    resumableArgument = JobArgument{};
    SetPageReady(true);
  }
  void TearDown() override {
    SetEvent(release.get());
    RequestStop(kStopQuit);
    EXPECT_TRUE(WaitForJobEnd(5000));
    window.Pump(50);
    Jobs() = saved;
    status = StatusRecord{};
  }
  bool WaitIdle() {
    return window.PumpUntil([] { return !jobBusy.load(); }) && (window.Pump(30), true);
  }
  // The event messages: the progress report also sends its final numbers
  // when a job ends, which these tests do not look at.
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    for (const std::string& m : page.messages())
      if (test::MessageType(m) != "progress") events.push_back(m);
    return events;
  }
  Types EventTypes() {
    Types types;
    for (const std::string& m : Events()) types.push_back(test::MessageType(m));
    return types;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const std::string& m : Events()) {
      const std::size_t at = m.find("\"text\":");
      if (at != std::string::npos) texts.push_back(m.substr(at + 8, m.size() - at - 10));
    }
    return texts;
  }

  test::PageRecorder page;
  test::TestWindow window;
  JobTable saved;
};

TEST_F(JobEngineTest, AJobRunsOnTheWorkerAndEndsWithTheEndMessage) {
  Jobs().jobs[kJobRepair] = &BlockingJob;
  ASSERT_TRUE(StartJob(kJobRepair, JobArgument{}));
  EXPECT_TRUE(jobBusy.load());
  EXPECT_EQ(WaitForSingleObject(JobDoneEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(release.get());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(observed.runs, 1);
  EXPECT_TRUE(observed.sawBusy);
  EXPECT_TRUE(observed.doneEventWasReset);
  EXPECT_EQ(WaitForSingleObject(JobDoneEvent(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(currentJobId, kJobRepair);

  // Timer 1 was killed by the end message: no more ticks arrive.
  const int ticks = window.timerTicks();
  window.Pump(450);
  EXPECT_EQ(window.timerTicks(), ticks);
}

TEST_F(JobEngineTest, TheProgressTimerTicksWhileAJobRuns) {
  Jobs().jobs[kJobUpdateCheck] = &BlockingJob;
  ASSERT_TRUE(StartJob(kJobUpdateCheck, JobArgument{}));
  window.Pump(650);
  EXPECT_GE(window.timerTicks(), 2);
  SetEvent(release.get());
  ASSERT_TRUE(WaitIdle());
}

TEST_F(JobEngineTest, ABusyRequestOnlyToastsAndLeavesTheJobRunning) {
  Jobs().jobs[kJobRepair] = &BlockingJob;
  Jobs().jobs[kJobInstall] = &RecordingJob;
  ASSERT_TRUE(StartJob(kJobRepair, JobArgument{}));
  JobArgument install{L"D:\\Norvane", true, false};
  EXPECT_FALSE(StartJob(kJobInstall, install));
  window.Pump(50);
  EXPECT_EQ(Texts(), std::vector<std::string>({kBusyText}));
  EXPECT_EQ(currentJobId, kJobRepair);
  EXPECT_EQ(resumableJobId, kJobRepair);  // the refused install saved nothing
  EXPECT_TRUE(jobBusy.load());
  EXPECT_FALSE(stopFlag.load());

  SetEvent(release.get());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(observed.runs, 1);
}

TEST_F(JobEngineTest, UnexpectedErrorsAreReportedAndTheEngineStaysUsable) {
  Jobs().jobs[kJobRepair] = [](const JobArgument&) { throw std::runtime_error("disk on fire"); };
  Jobs().jobs[kJobHdOff] = [](const JobArgument&) { throw 42; };
  ASSERT_TRUE(StartJob(kJobRepair, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(StartJob(kJobHdOff, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Texts(), std::vector<std::string>({UnexpectedErrorText("disk on fire"), kUnexpectedErrorText}));
  EXPECT_EQ(EventTypes(), Types({"error", "error"}));

  Jobs().jobs[kJobRepair] = &RecordingJob;
  EXPECT_TRUE(StartJob(kJobRepair, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(observed.runs, 1);
}

// The report of an unexpected error can fail in turn (out of memory is the
// likely reason for the error): the job must still end normally. The job
// runs on the test thread here, so an exception escaping the boundary shows
// as a failure instead of ending the process.
TEST_F(JobEngineTest, AnErrorReportThatThrowsStillEndsTheJob) {
  static bool wakeThrew;
  wakeThrew = false;
  Jobs().jobs[kJobRepair] = [](const JobArgument&) { throw std::runtime_error("disk on fire"); };
  Jobs().jobs[kJobHdOff] = [](const JobArgument&) { throw 42; };
  for (const std::int32_t jobId : {kJobRepair, kJobHdOff}) {
    SCOPED_TRACE(jobId);
    wakeThrew = false;
    jobBusy.exchange(true);
    ResetEvent(JobDoneEvent());
    SetOutboxWake([] {
      wakeThrew = true;
      throw std::bad_alloc();
    });
    EXPECT_NO_THROW(RunJob(jobId, JobArgument{}));
    SetMainWindow(window.hwnd());  // the window's own wake again
    EXPECT_TRUE(wakeThrew);
    EXPECT_FALSE(jobBusy.load());
    EXPECT_EQ(WaitForSingleObject(JobDoneEvent(), 0), WAIT_OBJECT_0);
  }

  // The engine stays usable.
  Jobs().jobs[kJobRepair] = &RecordingJob;
  ASSERT_TRUE(StartJob(kJobRepair, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(observed.runs, 1);
}

TEST_F(JobEngineTest, AnEmptyTableEntryOrUnknownIdRunsNothingButEnds) {
  ASSERT_TRUE(StartJob(kJobPlay, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(StartJob(99, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(Events().empty());
}

TEST_F(JobEngineTest, TheDataListIsMatchedAfterEveryJobButPlayAndUninstall) {
  static std::vector<std::wstring>* folders = &observed.dataListFolders;
  static std::wstring installed;
  folders = &observed.dataListFolders;
  Jobs().applyClientDataList = [](const std::wstring& folder, bool) { folders->push_back(folder); };
  Jobs().installedGameFolder = [] { return installed; };
  Jobs().jobs[kJobRepair] = [](const JobArgument&) { installed = L"E:\\Norvane"; };

  for (std::int32_t id : {kJobRepair, kJobPlay, kJobUninstall, kJobHdOff}) {
    ASSERT_TRUE(StartJob(id, JobArgument{}));
    ASSERT_TRUE(WaitIdle());
  }
  EXPECT_EQ(observed.dataListFolders, std::vector<std::wstring>({L"E:\\Norvane", L"E:\\Norvane"}));

  // Nothing installed: nothing to match, not even the folder the install
  // screen shows. A throwing data-list step is swallowed.
  installed.clear();
  status.installDir = L"C:\\Games\\Norvane";
  observed.dataListFolders.clear();
  Jobs().jobs[kJobRepair] = nullptr;
  for (std::int32_t id : {kJobRepair, kJobUpdateCheck}) {
    ASSERT_TRUE(StartJob(id, JobArgument{}));
    ASSERT_TRUE(WaitIdle());
  }
  EXPECT_TRUE(observed.dataListFolders.empty());

  installed = L"E:\\Norvane";
  Jobs().applyClientDataList = [](const std::wstring&, bool) { throw std::runtime_error("x"); };
  ASSERT_TRUE(StartJob(kJobRepair, JobArgument{}));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(Events().empty());
}

TEST_F(JobEngineTest, PauseOnlyStopsDownloadJobs) {
  EXPECT_FALSE(PauseRunningJob());  // idle
  Jobs().jobs[kJobHdOff] = &BlockingJob;
  Jobs().jobs[kJobPlay] = &BlockingJob;
  Jobs().jobs[kJobUninstall] = &BlockingJob;
  for (std::int32_t id : {kJobHdOff, kJobPlay, kJobUninstall}) {
    ResetEvent(release.get());
    ASSERT_TRUE(StartJob(id, JobArgument{}));
    EXPECT_FALSE(PauseRunningJob()) << id;
    EXPECT_FALSE(stopFlag.load());
    SetEvent(release.get());
    ASSERT_TRUE(WaitIdle());
  }

  Jobs().jobs[kJobUpdateCheck] = &StoppableJob;
  ASSERT_TRUE(StartJob(kJobUpdateCheck, JobArgument{}));
  EXPECT_TRUE(PauseRunningJob());
  EXPECT_EQ(stopReason.load(), kStopPause);
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(EventTypes(), Types({"state", "toast"}));
  EXPECT_NE(Events()[0].find("\"state\":\"updating\""), std::string::npos);
  EXPECT_NE(Events()[0].find("\"paused\":1"), std::string::npos);
}

TEST_F(JobEngineTest, ResumeRestartsThePausedJobWithItsArgument) {
  EXPECT_FALSE(ResumeLastJob());  // nothing to resume yet
  Jobs().jobs[kJobInstall] = &StoppableJob;
  const JobArgument choice{L"F:\\Games\\Norvane", true, false};
  ASSERT_TRUE(StartJob(kJobInstall, choice));
  ASSERT_TRUE(PauseRunningJob());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Texts(), std::vector<std::string>({kPausedText}));

  // Jobs 5 to 7 do not replace what resume starts.
  Jobs().jobs[kJobHdOff] = &RecordingJob;
  ASSERT_TRUE(StartJob(kJobHdOff, JobArgument{}));
  ASSERT_TRUE(WaitIdle());

  observed = Observed{};
  ASSERT_TRUE(ResumeLastJob());
  EXPECT_FALSE(stopFlag.load());
  EXPECT_EQ(currentJobId, kJobInstall);
  EXPECT_FALSE(ResumeLastJob());  // busy: refused, the job goes on
  RequestStop(kStopCancel);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(observed.argument.folder, choice.folder);
  EXPECT_TRUE(observed.argument.hd);
  EXPECT_FALSE(observed.argument.shortcut);
}

struct StoppedCase {
  std::int32_t reason;
  std::int32_t job;
  const char* screen;  // nullptr: no state message
  bool paused;
  const char* toast;   // nullptr: no toast
};

TEST_F(JobEngineTest, FinishStoppedJobTable) {
  const StoppedCase cases[] = {
      {kStopPause, kJobInstall, "installing", true, kPausedText},
      {kStopPause, kJobRepair, "repair", true, kPausedText},
      {kStopPause, kJobUpdateCheck, "updating", true, kPausedText},
      {kStopPause, kJobHdOn, "updating", true, kPausedText},
      {kStopCancel, kJobInstall, "install", false, nullptr},
      {kStopNone, kJobInstall, "install", false, nullptr},
      {kStopCancel, kJobRepair, "ready", false, kRepairStoppedText},
      {kStopCancel, kJobHdOn, "ready", false, kHdCancelledText},
      {kStopCancel, kJobUpdateCheck, "updating", true, nullptr},
      {kStopQuit, kJobInstall, nullptr, false, nullptr},
      {kStopQuit, kJobRepair, nullptr, false, nullptr},
      {kStopQuit, kJobHdOn, nullptr, false, nullptr},
      {kStopQuit, kJobUpdateCheck, nullptr, false, nullptr},
  };
  for (const StoppedCase& c : cases) {
    SCOPED_TRACE("reason " + std::to_string(c.reason) + " job " + std::to_string(c.job));
    page.clear();
    stopReason = c.reason;
    FinishStoppedJob(c.job);
    window.Pump(20);
    std::size_t expected = (c.screen ? 1 : 0) + (c.toast ? 1 : 0);
    ASSERT_EQ(page.messages().size(), expected);
    if (c.screen) {
      const std::string& state = page.messages()[0];
      EXPECT_NE(state.find(std::string("\"state\":\"") + c.screen + "\""), std::string::npos);
      EXPECT_EQ(state.find("\"paused\":1") != std::string::npos, c.paused);
      EXPECT_EQ(state.find("checking"), std::string::npos);
    }
    if (c.toast) {
      EXPECT_EQ(page.messages().back(), BuildToastJson(c.toast));
    }
  }
}

TEST_F(JobEngineTest, CancelledInstallOffersTheFullSizeAgain) {
  status.clientBytes = 1000;
  status.hdBytes = 500;
  status.hdEnabled = true;
  stopReason = kStopCancel;
  FinishStoppedJob(kJobInstall);
  EXPECT_EQ(status.needBytes, 1500);
  status.hdEnabled = false;
  FinishStoppedJob(kJobInstall);
  EXPECT_EQ(status.needBytes, 1000);
}

TEST_F(JobEngineTest, CancelledHdDownloadSwitchesTheHdPackOff) {
  WriteLauncherFlag(kHdFlag, true);
  status.hdEnabled = true;
  stopReason = kStopCancel;
  FinishStoppedJob(kJobHdOn);
  EXPECT_FALSE(ReadLauncherFlag(kHdFlag, true));
  EXPECT_FALSE(status.hdEnabled);
  window.Pump(20);
  EXPECT_NE(page.messages().at(0).find("\"hd\":0"), std::string::npos);
}

TEST_F(JobEngineTest, QuitDuringAJobChangesNoScreen) {
  Jobs().jobs[kJobInstall] = &SlowToStopJob;
  ASSERT_TRUE(StartJob(kJobInstall, JobArgument{L"C:\\N", false, true}));
  RequestStop(kStopQuit);
  // The shutdown waits for a job still stopping.
  EXPECT_TRUE(WaitForJobEnd(5000));
  EXPECT_FALSE(jobBusy.load());
  window.Pump(50);
  EXPECT_TRUE(Events().empty());
}

TEST_F(JobEngineTest, StartingAJobResetsTheProgress) {
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.phase = Phase::kCheck;
    progressRecord.fileRows = {{"a", 1, RowState::kFail}};
  }
  setBytesTotal = 77;
  jobTransfer.bytes_done = 5;
  stopFlag = true;
  stopReason = kStopPause;
  Jobs().jobs[kJobRepair] = &BlockingJob;
  ASSERT_TRUE(StartJob(kJobRepair, JobArgument{}));
  EXPECT_FALSE(stopFlag.load());
  EXPECT_EQ(stopReason.load(), kStopNone);
  EXPECT_EQ(setBytesTotal.load(), 0);
  EXPECT_EQ(jobTransfer.bytes_done.load(), 0);
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    EXPECT_EQ(progressRecord.phase, Phase::kFiles);
    EXPECT_TRUE(progressRecord.fileRows.empty());
  }
  SetEvent(release.get());
  ASSERT_TRUE(WaitIdle());
}

TEST(JobTable, EveryJobIdRunsItsJobAndTheDataListFollows) {
  for (std::int32_t id = 1; id <= kJobCount; ++id) EXPECT_TRUE(Jobs().jobs[id]) << "job " << id;
  EXPECT_TRUE(Jobs().applyClientDataList);
}

TEST(IsGameRunning, FindsAProcessNamedLikeTheGameInAnyCase) {
  EXPECT_FALSE(IsGameRunning());
  test::TempFolder temp;
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::wstring game = temp / L"NORVANE.exe";
  ASSERT_TRUE(CopyFileW(self, game.c_str(), FALSE));

  std::wstring commandLine = L"\"" + game + L"\" --nv-sleep 10000";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(game.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  EXPECT_TRUE(IsGameRunning());
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 5000);
  EXPECT_FALSE(IsGameRunning());
}

}  // namespace
}  // namespace nv
