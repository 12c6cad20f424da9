// Job 1, the start-up update check.
#include <windows.h>

#include "bridge/main_window_handle.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "prereq/prerequisites.h"
#include "sync/file_state.h"
#include "sync/fs/clamp.h"
#include "sync/sync_engine.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/self_update.h"

namespace nv {

void UpdateCheckJob() {
  // A newer launcher replaces this one before anything else happens.
  EnsureMirrors();
  // Closing the launcher stops it: no new build starts after a close.
  if (SelfUpdate(Mirrors(), &stopFlag)) {
    stopReason.exchange(kStopQuit);
    if (HWND window = MainWindow()) PostMessageW(window, kWmNewerLauncher, 0, 0);
    return;
  }
  if (stopReason.load() == kStopQuit) return;

  const std::wstring dir = InstalledGameFolder();
  const bool hd = ReadLauncherFlag(kHdFlag, false);

  // Nothing installed, or an install cut short: the install screen, with the
  // folder and the HD choice known so far.
  if (dir.empty()) {
    const std::wstring known = ReadInstallDir();
    PrepareInstallScreen(known.empty() ? std::wstring(kDefaultGameFolder) : known, hd);
    return;
  }

  // Installed: the ready screen while the game is brought up to date, so the
  // player sees the game at once and the updating screen only when files come.
  status.installDir = dir;
  status.hdEnabled = hd;
  status.contentVersion = LoadFileState(dir).version;
  ReportState(Screen::kReady, false, true);

  const GameSync sync = SyncGame(kJobUpdateCheck, dir,
                                 {.client = true,
                                  .hd = status.hdEnabled,
                                  .busyState = Screen::kUpdating,
                                  .showFileList = true});
  switch (sync.result) {
    case kSyncDone:
      ReportState(Screen::kReady, false, false);
      break;
    case kSyncStopped:
      break;
    case kSyncFailed:
      if (sync.downloadStarted) {
        ReportState(Screen::kUpdating, true, false);
        ReportError(sync.errorText);
      } else {
        // No manifest or no space: the installed game stays playable.
        ReportState(Screen::kReady, false, false);
        Toast(CheckFailedText(sync.errorText));
      }
      break;
  }
}

void PrepareInstallScreen(const std::wstring& folder, bool hd) {
  status.installDir = folder;
  status.hdEnabled = hd;
  EnsureMirrors();

  ContentManifest client;
  ContentManifest hdSet;
  const ManifestFetch clientFetch = FetchReleaseManifest("client/manifest.txt", client, &stopFlag, {});
  const bool clientOk = clientFetch == ManifestFetch::kValid;
  const bool hdOk = FetchManifest("hd/manifest.txt", hdSet, &stopFlag);
  if (clientOk) {
    status.clientBytes = ClampToInt64(client.total);
    status.contentVersion = client.version;
  }
  if (hdOk) status.hdBytes = ClampToInt64(hdSet.total);
  status.needBytes = InstallNeedBytes(status.clientBytes, status.hdBytes, hd);

  ReportPrerequisites(ListPrerequisites());
  ReportState(Screen::kInstall, false, false);
  // A pause, a cancel or a close cut the fetch short: no failure to tell.
  if (!clientOk && !stopFlag.load()) ReportError(ManifestFetchErrorText(clientFetch));
}

}  // namespace nv
