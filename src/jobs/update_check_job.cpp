// Job 1, the start-up update check.
#include <windows.h>

#include "bridge/main_window_handle.h"
#include "bridge/window_messages.h"
#include "jobs/install_steps.h"
#include "jobs/jobs.h"
#include "prereq/prerequisites.h"
#include "sync/file_state.h"
#include "sync/sync_engine.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/self_update.h"

namespace nv {

namespace {

std::int64_t ClampedTotal(std::uint64_t total) {
  return total > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(total);
}

}  // namespace

void UpdateCheckJob() {
  // 1-2. A newer launcher replaces this one before anything else happens.
  EnsureMirrors();
  if (SelfUpdate(Mirrors())) {
    stopReason.exchange(kStopQuit);
    if (HWND window = MainWindow()) PostMessageW(window, kWmNewerLauncher, 0, 0);
    return;
  }

  // 3. What this machine has.
  const std::wstring dir = ReadInstallDir();
  const bool hd = ReadLauncherFlag(L"Hd", false);

  // 5. Nothing installed: the install screen, with the folder known so far.
  if (dir.empty() || !IsInstalled(dir) || !ReadLauncherFlag(L"Installed", false)) {
    PrepareInstallScreen(dir.empty() ? std::wstring(kDefaultGameFolder) : dir, hd);
    return;
  }

  // 4. Installed: the ready screen while the game is brought up to date.
  status.installDir = dir;
  status.hdEnabled = hd;
  status.contentVersion = LoadFileState(dir).version;
  ReportState("ready", false, true);

  SyncRequest request;
  request.client = true;
  request.hd = status.hdEnabled;
  request.busyState = "updating";
  request.showFileList = true;
  std::string errorText;
  bool downloadStarted = false;
  switch (SyncGame(dir, request, errorText, downloadStarted)) {
    case kSyncDone:
      ReportState("ready", false, false);
      break;
    case kSyncStopped:
      FinishStoppedJob(kJobUpdateCheck);
      break;
    case kSyncFailed:
      if (downloadStarted) {
        ReportState("updating", true, false);
        ReportError(errorText);
      } else {
        // No manifest or no space: the installed game stays playable.
        ReportState("ready", false, false);
        Toast(kCheckFailedPrefix + errorText);
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
    status.clientBytes = ClampedTotal(client.total);
    status.contentVersion = client.version;
  }
  if (hdOk) status.hdBytes = ClampedTotal(hdSet.total);
  status.needBytes = InstallNeedBytes(status.clientBytes, status.hdBytes, hd);

  ReportPrerequisites(ListPrerequisites());
  ReportState("install", false, false);
  if (!clientOk) ReportError(kServerUnreachableText);
}

}  // namespace nv
