// Jobs 3, 4 and 5: repair, and the 4K HD pack switched on or off.
#include <windows.h>

#include <mutex>

#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/sync_engine.h"
#include "system/game_client/client_data_list.h"
#include "system/game_client/data_ini.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/uninstall_plan.h"

namespace nv {

void RepairJob() {
  // 1-2.
  const std::wstring folder = InstalledGameFolder();
  if (folder.empty()) {
    ReportError(kNotInstalledText);
    return;
  }
  status.installDir = folder;
  status.hdEnabled = ReadLauncherFlag(L"Hd", false);
  // 3-4. The page shows the repair card.
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.sendRepair = true;
  }
  ReportState("repair", false, false);

  // 5-6. Missing runtimes first; each failure has its own toast.
  RunPrerequisiteSteps(nullptr, 0);
  if (stopFlag.load()) {
    FinishStoppedJob(kJobRepair);
    return;
  }

  // 7. Every file is hashed: the file state is not trusted.
  const GameSync sync = SyncGame(kJobRepair, folder,
                                 {.client = true,
                                  .hd = status.hdEnabled,
                                  .verifyAll = true,
                                  .busyState = "repair",
                                  .showFileList = true,
                                  .countRepairs = true});
  switch (sync.result) {
    case kSyncStopped:  // 8.
      break;
    case kSyncFailed:  // 9. Resume runs the repair again.
      ReportState("repair", true, false);
      ReportError(sync.errorText);
      break;
    case kSyncDone: {  // 10.
      std::int32_t fixed = 0;
      {
        std::lock_guard<std::mutex> lock(progressMutex);
        fixed = progressRecord.repairFixed;
      }
      ReportState("ready", false, false);
      Toast(RepairFinishedText(fixed));
      break;
    }
  }
}

void HdOnJob() {
  // 1. Without a game only the choice is kept, for a later install or start.
  WriteLauncherFlag(L"Hd", true);
  const std::wstring folder = InstalledGameFolder();
  if (folder.empty()) return;
  // 2.
  status.installDir = folder;
  status.hdEnabled = true;

  // 3.
  const GameSync sync = SyncGame(kJobHdOn, folder, {.hd = true, .busyState = "updating", .showFileList = true});
  // 4. A cancel turns the switch off again (FinishStoppedJob).
  if (sync.result == kSyncStopped) return;
  // 5. After a failure the switch stays on: the next start tries again. The
  // data list lists the archives once they are all there (after the job).
  ReportState("ready", false, false);
  if (sync.result == kSyncDone) {
    Toast(kHdInstalledText);
  } else {
    ReportError(HdDownloadFailedText(sync.errorText));
  }
}

void HdOffJob() {
  // 1-3.
  WriteLauncherFlag(L"Hd", false);
  status.hdEnabled = false;
  const std::wstring folder = InstalledGameFolder();
  if (folder.empty()) return;
  status.installDir = folder;

  // 4. The game holds the archives: nothing changes.
  if (IsGameRunning()) {
    WriteLauncherFlag(L"Hd", true);
    status.hdEnabled = true;
    ReportState("ready", false, false);
    ReportError(kHdCloseGameText);
    return;
  }

  // 5-6. The shipped data list back, the archives and their partial files gone.
  RestoreFullClientDataList(folder);
  bool complete = true;
  for (std::string_view name : kHdArchiveNames) {
    const std::wstring path = JoinGamePath(folder, name);
    if (!DeleteFileW(LongPath(path).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) complete = false;
    DeleteFileW(LongPath(path + L".part").c_str());
  }

  // 7. The next HD on hashes or downloads the archives anew.
  FileState state = LoadFileState(folder);
  RemoveFileStateEntries(state, [](const std::string& path) { return IsHdArchiveName(path); });
  SaveFileState(folder, state);

  // 8-9.
  ReportState("ready", false, false);
  if (complete) {
    Toast(kHdRemovedText);
  } else {
    ReportError(kHdNotRemovedText);
  }
}

}  // namespace nv
