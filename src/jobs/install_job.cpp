// Job 2, the install, and the runtime installation it shares with repair.
#include <windows.h>

#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "prereq/prerequisites.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "sync/sync_engine.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"

namespace nv {

namespace {

void SetStep(std::vector<StepItem>* steps, std::size_t index, const char* state) {
  if (!steps || index >= steps->size()) return;
  (*steps)[index].state = state;
  ReportSteps(*steps);
}

}  // namespace

bool CheckFolderWritable(const std::wstring& folder) {
  if (!CreateParentDirectories(JoinGamePath(folder, kFileStateName))) return false;
  // Deleted when the handle closes: nothing stays behind.
  UniqueFile probe(CreateFileW(LongPath(JoinPath(folder, L".nrv_write_test")).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                               nullptr));
  return probe.valid();
}

void RunPrerequisiteSteps(std::vector<StepItem>* steps, std::size_t firstStepIndex) {
  std::size_t row = firstStepIndex;
  for (const PrerequisiteStatus& item : ListPrerequisites()) {
    if (item.id == kWebView2PrerequisiteId) continue;  // installed at start-up
    const std::size_t index = row++;
    if (item.installed) continue;
    if (stopFlag.load()) return;

    SetStep(steps, index, "now");
    SetPhase("deps");
    SetCurrentFile(item.name);
    jobTransfer.Reset();
    const std::string& name = item.name;
    const bool ok = InstallPrerequisite(item.id, jobTransfer, stopFlag, [&name](const std::string& text) {
      SetCurrentFile(name + " - " + text);
    });
    if (stopFlag.load()) {
      SetStep(steps, index, "wait");
      return;
    }
    SetStep(steps, index, ok ? "done" : "fail");
    // A missing runtime does not stop the install.
    if (!ok) Toast(PrerequisiteFailedText(name));
  }
  jobTransfer.Reset();
}

void InstallJob(const JobArgument& argument) {
  const std::wstring& folder = argument.folder;
  // 1.
  status.installDir = folder;
  status.hdEnabled = argument.hd;
  ReportState("installing", false, false);

  // 2. Nothing reaches the registry for a folder that cannot be written.
  if (!CheckFolderWritable(folder)) {
    ReportError(FolderNotWritableText(ToUtf8(folder)));
    ReportState("install", false, false);
    return;
  }

  // 3. A launcher restarted mid-install knows the choices.
  WriteInstallDir(folder);
  WriteLauncherFlag(L"Hd", argument.hd);
  WriteLauncherFlag(L"Shortcut", argument.shortcut);

  // 4-5. The runtimes, each on its row.
  std::vector<StepItem> steps = BuildInstallSteps(ListPrerequisites());
  const std::size_t gameFilesRow = steps.size() - 2;
  const std::size_t shortcutsRow = steps.size() - 1;
  ReportSteps(steps);
  RunPrerequisiteSteps(&steps, 0);
  // 6.
  if (stopFlag.load()) {
    FinishStoppedJob(kJobInstall);
    return;
  }

  // 7-8. The game files.
  SetStep(&steps, gameFilesRow, "now");
  const GameSync sync =
      SyncGame(kJobInstall, folder, {.client = true, .hd = argument.hd, .busyState = "installing"});
  // 9.
  if (sync.result == kSyncStopped) return;
  // 10. Resume runs the whole job again with the same choices.
  if (sync.result == kSyncFailed) {
    SetStep(&steps, gameFilesRow, "fail");
    ReportState("installing", true, false);
    ReportError(sync.errorText);
    return;
  }

  // 11. Registration, then the game counts as installed either way.
  steps[gameFilesRow].state = "done";
  SetStep(&steps, shortcutsRow, "now");
  const bool registered = RegisterInstall(folder, argument.shortcut);
  SetStep(&steps, shortcutsRow, registered ? "done" : "fail");
  if (!registered) Toast(kRegistrationFailedText);
  WriteLauncherFlag(L"Installed", true);
  ReportState("ready", false, false);
  Toast(kInstalledText);
}

}  // namespace nv
