// Job 2, the install, and the runtime installation it shares with repair.
#include <windows.h>

#include <string>

#include "bridge/player_texts.h"
#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "prereq/prerequisites.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder.h"
#include "sync/fs/unique_handle.h"
#include "sync/sync_engine.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"

namespace nv {

namespace {

void SetStep(std::vector<StepItem>* steps, std::size_t index, RowState state) {
  if (!steps || index >= steps->size()) return;
  (*steps)[index].state = state;
  ReportSteps(*steps);
}

}  // namespace

bool CheckFolderWritable(const std::wstring& folder) {
  if (!CreateParentDirectories(JoinGamePath(folder, kFileStateName))) return false;
  // A new file, deleted when the handle closes: nothing stays behind. Never
  // an existing name: with CREATE_ALWAYS a link planted under this name
  // would have the elevated launcher truncate and delete its target. A name
  // already taken (a leftover, or a link) makes way for a numbered one.
  const DWORD flags = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::wstring name = L".nrv_write_test";
    if (attempt > 0) name += L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(attempt);
    UniqueFile probe(CreateFileW(LongPath(JoinPath(folder, name)).c_str(), GENERIC_WRITE | DELETE, 0,
                                 nullptr, CREATE_NEW, flags, nullptr));
    if (probe) return true;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

void RunPrerequisiteSteps(std::vector<StepItem>* steps, std::size_t firstStepIndex) {
  std::size_t row = firstStepIndex;
  for (const PrerequisiteStatus& item : ListPrerequisites()) {
    if (item.id == kWebView2PrerequisiteId) continue;  // installed at start-up
    const std::size_t index = row++;
    if (item.installed) continue;
    if (stopFlag.load()) return;

    SetStep(steps, index, RowState::kNow);
    SetPhase(Phase::kDeps);
    SetCurrentFile(item.name);
    jobTransfer.Reset();
    const std::string& name = item.name;
    const bool ok = InstallPrerequisite(item.id, jobTransfer, stopFlag, [&name](const std::string& text) {
      SetCurrentFile(name + " - " + text);
    });
    if (stopFlag.load()) {
      // The paused screen shows no figures of an installer it is not fetching.
      jobTransfer.Reset();
      SetStep(steps, index, RowState::kWait);
      return;
    }
    SetStep(steps, index, ok ? RowState::kDone : RowState::kFail);
    // A missing runtime does not stop the install.
    if (!ok) Toast(PrerequisiteFailedText(name));
  }
  jobTransfer.Reset();
}

void InstallJob(const JobArgument& argument) {
  const std::wstring& folder = argument.folder;
  status.installDir = folder;
  status.hdEnabled = argument.hd;
  ReportState(Screen::kInstalling, false, false);

  // Nothing reaches the registry for a folder that cannot be written, or
  // that another account owns (it could open the folder up again at will).
  const GameFolderCheck check = PrepareGameFolder(folder);
  if (check != GameFolderCheck::kReady || !CheckFolderWritable(folder)) {
    ReportError(check == GameFolderCheck::kForeignOwner ? FolderForeignOwnerText(ToUtf8(folder))
                                                        : FolderNotWritableText(ToUtf8(folder)));
    ReportState(Screen::kInstall, false, false);
    return;
  }

  // A launcher restarted mid-install knows the choices.
  WriteInstallDir(folder);
  WriteLauncherFlag(kHdFlag, argument.hd);
  WriteLauncherFlag(kShortcutFlag, argument.shortcut);

  // The runtimes' rows come first; the game files and the shortcuts are the
  // last two.
  std::vector<StepItem> steps = BuildInstallSteps(ListPrerequisites());
  const std::size_t gameFilesRow = steps.size() - 2;
  const std::size_t shortcutsRow = steps.size() - 1;
  ReportSteps(steps);
  RunPrerequisiteSteps(&steps, 0);
  if (stopFlag.load()) {
    FinishStoppedJob(kJobInstall);
    return;
  }

  SetStep(&steps, gameFilesRow, RowState::kNow);
  // Every file already in the folder is hashed: a file-state file this
  // install did not write (copied in, or planted by another account beside a
  // program of the right size) must not vouch for what PLAY will start.
  const GameSync sync = SyncGame(
      kJobInstall, folder,
      {.client = true, .hd = argument.hd, .verifyAll = true, .busyState = Screen::kInstalling});
  if (sync.result == kSyncStopped) return;
  // Resume runs the whole job again with the same choices.
  if (sync.result == kSyncFailed) {
    SetStep(&steps, gameFilesRow, RowState::kFail);
    ReportState(Screen::kInstalling, true, false);
    ReportError(sync.errorText);
    return;
  }

  // Registration, then the game counts as installed either way: without the
  // shortcuts or the uninstall entry it still starts from the launcher.
  steps[gameFilesRow].state = RowState::kDone;
  SetStep(&steps, shortcutsRow, RowState::kNow);
  const bool registered = RegisterInstall(folder, argument.shortcut);
  SetStep(&steps, shortcutsRow, registered ? RowState::kDone : RowState::kFail);
  if (!registered) Toast(kRegistrationFailedText);
  WriteLauncherFlag(kInstalledFlag, true);
  ReportState(Screen::kReady, false, false);
  Toast(kInstalledText);
}

}  // namespace nv
