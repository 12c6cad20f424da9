// Job 1, the start-up update check.
#include <windows.h>

#include "bridge/main_window_handle.h"
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
  // 1-2. A newer launcher replaces this one before anything else happens.
  EnsureMirrors();
  if (SelfUpdate(Mirrors())) {
    stopReason.exchange(kStopQuit);
    if (HWND window = MainWindow()) PostMessageW(window, kWmNewerLauncher, 0, 0);
    return;
  }

  // 3. What this machine has.
  const std::wstring dir = InstalledGameFolder();
  const bool hd = ReadLauncherFlag(L"Hd", false);

  // 5. Nothing installed: the install screen, with the folder known so far.
  if (dir.empty()) {
    const std::wstring known = ReadInstallDir();
    PrepareInstallScreen(known.empty() ? std::wstring(kDefaultGameFolder) : known, hd);
    return;
  }

  // 4. Installed: the ready screen while the game is brought up to date.
  status.installDir = dir;
  status.hdEnabled = hd;
  status.contentVersion = LoadFileState(dir).version;
  ReportState("ready", false, true);

  const GameSync sync = SyncGame(
      kJobUpdateCheck, dir, {.client = true, .hd = status.hdEnabled, .busyState = "updating", .showFileList = true});
  switch (sync.result) {
    case kSyncDone:
      ReportState("ready", false, false);
      break;
    case kSyncStopped:
      break;
    case kSyncFailed:
      if (sync.downloadStarted) {
        ReportState("updating", true, false);
        ReportError(sync.errorText);
      } else {
        // No manifest or no space: the installed game stays playable.
        ReportState("ready", false, false);
        Toast(kCheckFailedPrefix + sync.errorText);
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
  const bool clientOk = FetchManifest("client/manifest.txt", client, &stopFlag);
  const bool hdOk = FetchManifest("hd/manifest.txt", hdSet, &stopFlag);
  if (clientOk) {
    status.clientBytes = ClampToInt64(client.total);
    status.contentVersion = client.version;
  }
  if (hdOk) status.hdBytes = ClampToInt64(hdSet.total);
  status.needBytes = InstallNeedBytes(status.clientBytes, status.hdBytes, hd);

  ReportPrerequisites(ListPrerequisites());
  ReportState("install", false, false);
  if (!clientOk) ReportError(kServerUnreachableText);
}

}  // namespace nv
