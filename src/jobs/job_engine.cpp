#include "jobs/job_engine.h"
#include "jobs/job_engine_testing.h"

#include <exception>
#include <optional>
#include <thread>

#include "bridge/main_window_handle.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder.h"
#include "sync/fs/unique_handle.h"
#include "system/game_client/client_data_list.h"
#include "system/game_start.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/uninstall.h"

namespace nv {

std::atomic<bool> jobBusy{false};
std::int32_t currentJobId = 0;
std::int32_t resumableJobId = 0;
JobArgument resumableArgument;

namespace {

std::thread workerThread;  // window thread only
UniqueKernelHandle jobDoneEvent;

void JoinWorker() {
  if (workerThread.joinable()) workerThread.join();
}

void SignalJobDone() {
  if (jobDoneEvent) SetEvent(jobDoneEvent.get());
}

}  // namespace

JobTable& Jobs() {
  static JobTable table = [] {
    JobTable t;
    t.jobs[kJobUpdateCheck] = [](const JobArgument&) { UpdateCheckJob(); };
    t.jobs[kJobInstall] = &InstallJob;
    t.jobs[kJobRepair] = [](const JobArgument&) { RepairJob(); };
    t.jobs[kJobHdOn] = [](const JobArgument&) { HdOnJob(); };
    t.jobs[kJobHdOff] = [](const JobArgument&) { HdOffJob(); };
    t.jobs[kJobPlay] = [](const JobArgument&) { StartGameJob(); };
    t.jobs[kJobUninstall] = [](const JobArgument&) { UninstallJob(); };
    t.applyClientDataList = &ApplyClientDataList;
    t.installedGameFolder = &InstalledGameFolder;
    return t;
  }();
  return table;
}

bool CreateJobDoneEvent() {
  if (!jobDoneEvent) jobDoneEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  return jobDoneEvent.valid();
}

HANDLE JobDoneEvent() { return jobDoneEvent.get(); }

bool StartJob(std::int32_t jobId, const JobArgument& argument) {
  if (jobBusy.load()) {
    Toast(kBusyText);
    return false;
  }
  JoinWorker();  // that job has already cleared jobBusy: the wait is short

  stopFlag.exchange(false);
  stopReason.exchange(kStopNone);
  currentJobId = jobId;
  if (IsDownloadJob(jobId)) {
    resumableJobId = jobId;
    if (&argument != &resumableArgument) resumableArgument = argument;
  }
  ResetProgressForJob();

  jobBusy.exchange(true);
  if (jobDoneEvent) ResetEvent(jobDoneEvent.get());
  try {
    workerThread = std::thread(RunJob, jobId, argument);
    if (HWND window = MainWindow()) SetTimer(window, kProgressTimerId, kProgressTimerMs, nullptr);
    return true;
  } catch (...) {
    jobBusy.exchange(false);
    SignalJobDone();
    ReportError(kWorkerThreadFailedText);
    return false;
  }
}

// The job boundary's last word must not throw in turn (out of memory is the
// likely reason it is speaking at all): then the page hears nothing more,
// and the worker still ends the job normally.
namespace {

void ReportUnexpectedError(const char* what) noexcept {
  try {
    ReportError(UnexpectedErrorText(what));
  } catch (...) {
  }
}

}  // namespace

void RunJob(std::int32_t jobId, const JobArgument& argument) {
  // The folder the job works in is held until the data list is matched
  // after it (uninstall holds its own, to delete the folder by it at the
  // end). Nothing is held, and nothing runs, when the folder is a link
  // another account could re-point.
  std::optional<HeldGameFolder> held;
  try {
    if (jobId >= kJobUpdateCheck && jobId <= kJobCount) {
      const std::wstring folder = jobId == kJobUninstall ? std::wstring()
                                  : jobId == kJobInstall ? argument.folder
                                  : Jobs().installedGameFolder ? Jobs().installedGameFolder()
                                                               : std::wstring();
      if (!folder.empty()) held.emplace(folder);
      if (held && held->check() == GameFolderCheck::kForeignLink) {
        ReportError(FolderForeignLinkText(ToUtf8(folder)));
        ReportState(jobId == kJobInstall ? Screen::kInstall : Screen::kReady, false, false);
      } else if (JobFunction job = Jobs().jobs[jobId]) {
        job(argument);
      }
    }
  } catch (const std::exception& e) {
    ReportUnexpectedError(e.what());
  } catch (...) {
    ReportUnexpectedError(nullptr);
  }

  // Only an installed game's folder: the install screen's folder is a
  // suggestion (C:\Games\Norvane by default), and nothing is written there
  // before the player installs. An install that did not finish is matched
  // by the job that finishes it.
  const bool refused = held && held->check() == GameFolderCheck::kForeignLink;
  if (jobId != kJobPlay && jobId != kJobUninstall && !refused) {
    try {
      const std::wstring folder = Jobs().installedGameFolder ? Jobs().installedGameFolder() : std::wstring();
      if (auto apply = Jobs().applyClientDataList; apply && !folder.empty())
        apply(folder, ReadLauncherFlag(kHdFlag, false));
    } catch (...) {
      // The data list is matched again after the next job; nothing to tell.
    }
  }

  held.reset();
  jobBusy.exchange(false);
  SignalJobDone();
  if (HWND window = MainWindow()) PostMessageW(window, kWmJobDone, 0, 0);
}

void FinishStoppedJob(std::int32_t jobId) {
  const std::int32_t reason = stopReason.load();
  if (reason == kStopQuit) return;  // the window is closing

  if (reason == kStopPause) {
    const Screen screen = jobId == kJobInstall ? Screen::kInstalling
                          : jobId == kJobRepair ? Screen::kRepair
                                                : Screen::kUpdating;
    ReportState(screen, true, false);
    Toast(kPausedText);
    return;
  }

  switch (jobId) {
    case kJobInstall:
      status.needBytes = InstallNeedBytes(status.clientBytes, status.hdBytes, status.hdEnabled);
      ReportState(Screen::kInstall, false, false);
      break;
    case kJobRepair:
      ReportState(Screen::kReady, false, false);
      Toast(kRepairStoppedText);
      break;
    case kJobHdOn:
      WriteLauncherFlag(kHdFlag, false);
      status.hdEnabled = false;
      ReportState(Screen::kReady, false, false);
      Toast(kHdCancelledText);
      break;
    case kJobUpdateCheck:
      // A cancelled update waits on the paused screen for Resume.
      ReportState(Screen::kUpdating, true, false);
      break;
    default:
      break;
  }
}

bool PauseRunningJob() {
  if (!jobBusy.load() || !IsDownloadJob(currentJobId)) return false;
  RequestStop(kStopPause);
  return true;
}

bool ResumeLastJob() {
  if (jobBusy.load() || resumableJobId == 0) return false;
  return StartJob(resumableJobId, resumableArgument);
}

void OnJobEnded() {
  ProgressReport();
  if (!jobBusy.load()) {
    if (HWND window = MainWindow()) KillTimer(window, kProgressTimerId);
    JoinWorker();
  }
}

bool WaitForJobEnd(DWORD timeoutMs) {
  if (jobBusy.load() && jobDoneEvent) WaitForSingleObject(jobDoneEvent.get(), timeoutMs);
  if (jobBusy.load()) {
    // Left to end with the process. A thread object still joinable when the
    // process's static objects are destroyed would end it in std::terminate.
    if (workerThread.joinable()) workerThread.detach();
    return false;
  }
  JoinWorker();
  return true;
}

}  // namespace nv
