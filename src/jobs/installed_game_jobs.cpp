// Jobs 3, 4 and 5: repair, and the 4K HD pack switched on or off.
#include <windows.h>

#include <mutex>

#include "bridge/player_texts.h"
#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder.h"
#include "sync/sync_engine.h"
#include "system/game_client/client_data_list.h"
#include "system/game_client/data_ini.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/uninstall_plan.h"

namespace nv {

namespace {

// The HD archives' partial downloads: nothing resumes them once the pack is
// off.
void DeleteHdPartials(const std::wstring& folder) {
  for (std::string_view name : kHdArchiveNames) {
    const std::wstring partial = JoinGamePath(folder, name) + L".part";
    DeleteOwnFile(LongPath(partial), LongPath(folder));
    DeleteOwnFile(LongPath(partial + L".tag"), LongPath(folder));
  }
}

}  // namespace

void RepairJob() {
  const std::wstring folder = InstalledGameFolder();
  if (folder.empty()) {
    ReportError(kNotInstalledText);
    return;
  }
  // The descriptor goes back on the folder in use (an older launcher left it
  // open to every user); a folder another account owns is not repaired.
  if (PrepareGameFolder(folder) == GameFolderCheck::kForeignOwner) {
    ReportError(FolderForeignOwnerText(ToUtf8(folder)));
    return;
  }
  status.installDir = folder;
  status.hdEnabled = ReadLauncherFlag(kHdFlag, false);
  // From now on every progress tick also sends the repair card its counters.
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendRepair = true;
  }
  ReportState(Screen::kRepair, false, false);

  // A missing runtime breaks the game as surely as a damaged file; each
  // failure has its own toast.
  RunPrerequisiteSteps(nullptr, 0);
  if (stopFlag.load()) {
    FinishStoppedJob(kJobRepair);
    return;
  }

  // Every file is hashed: the file state is not trusted.
  const GameSync sync = SyncGame(kJobRepair, folder,
                                 {.client = true,
                                  .hd = status.hdEnabled,
                                  .verifyAll = true,
                                  .busyState = Screen::kRepair,
                                  .showFileList = true,
                                  .countRepairs = true});
  switch (sync.result) {
    case kSyncStopped:
      break;
    case kSyncFailed:  // Resume runs the repair again.
      ReportState(Screen::kRepair, true, false);
      ReportError(sync.errorText);
      break;
    case kSyncDone: {
      std::int32_t fixed = 0;
      {
        std::lock_guard<std::mutex> lock(progressMutex);
        fixed = progressRecord.repairFixed;
      }
      ReportState(Screen::kReady, false, false);
      Toast(RepairFinishedText(fixed));
      break;
    }
  }
}

void HdOnJob() {
  // Without a game only the choice is kept, for a later install or start.
  WriteLauncherFlag(kHdFlag, true);
  const std::wstring folder = InstalledGameFolder();
  if (folder.empty()) return;
  status.installDir = folder;
  status.hdEnabled = true;

  const GameSync sync =
      SyncGame(kJobHdOn, folder, {.hd = true, .busyState = Screen::kUpdating, .showFileList = true});
  // A cancel turns the switch off again (FinishStoppedJob) and leaves no
  // partial archive; a finished one stays on disk unnamed by the data list.
  if (sync.result == kSyncStopped) {
    if (stopReason.load() == kStopCancel) DeleteHdPartials(folder);
    return;
  }
  // After a failure the switch stays on: the next start tries again. The
  // data list lists the archives once they are all there (after the job).
  ReportState(Screen::kReady, false, false);
  if (sync.result == kSyncDone) {
    Toast(kHdInstalledText);
  } else {
    ReportError(HdDownloadFailedText(sync.errorText));
  }
}

void HdOffJob() {
  // The choice is kept even without a game, for a later install or start.
  WriteLauncherFlag(kHdFlag, false);
  status.hdEnabled = false;
  const std::wstring folder = InstalledGameFolder();
  if (folder.empty()) return;
  status.installDir = folder;

  // The game holds the archives: nothing changes.
  if (IsGameRunning()) {
    WriteLauncherFlag(kHdFlag, true);
    status.hdEnabled = true;
    ReportState(Screen::kReady, false, false);
    ReportError(kHdCloseGameText);
    return;
  }

  // The shipped data list back, the archives and their partial files gone.
  RestoreFullClientDataList(folder);
  bool complete = true;
  for (std::string_view name : kHdArchiveNames) {
    const std::wstring path = JoinGamePath(folder, name);
    // By handle and never through a link: the archive names are top-level
    // names another account may have made into links to its choice of file.
    if (!DeleteOwnFile(LongPath(path), LongPath(folder))) complete = false;
  }
  DeleteHdPartials(folder);

  // The next HD on hashes or downloads the archives anew. Saved only when
  // entries went: a state that could not be read for a moment loads empty,
  // and saving that would make the next start hash the whole game.
  FileState state = LoadFileState(folder);
  if (RemoveFileStateEntries(state, [](const std::string& path) { return IsHdArchiveName(path); }) > 0)
    SaveFileState(folder, state);

  // An archive that stayed is no longer named: the data list follows the
  // switch after the job.
  ReportState(Screen::kReady, false, false);
  if (complete) {
    Toast(kHdRemovedText);
  } else {
    ReportError(kHdNotRemovedText);
  }
}

}  // namespace nv
