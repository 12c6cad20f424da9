// The jobs a player triggers (kJobUpdateCheck to kJobHdOff; play and
// uninstall live with the system code). Each runs on the worker thread and tells its outcome only
// through reports.
#pragma once

#include <string>
#include <vector>

#include "bridge/nv_api.h"
#include "jobs/job_engine.h"
#include "sync/sync_engine.h"

namespace nv {

// Job 1: the launcher updates itself, then brings an installed game up to
// date or shows the install screen.
void UpdateCheckJob();
// The install screen with its sizes and runtimes, for folder and the HD choice.
void PrepareInstallScreen(const std::wstring& folder, bool hd);

// Job 2.
void InstallJob(const JobArgument& argument);
// The folder exists afterwards and a file can be created in it.
bool CheckFolderWritable(const std::wstring& folder);
// Installs every missing runtime but WebView2; with a steps list, their rows
// start at firstStepIndex and follow each installation.
void RunPrerequisiteSteps(std::vector<StepItem>* steps, std::size_t firstStepIndex);

// What a job's sync came to.
struct GameSync {
  SyncResult result = kSyncFailed;
  std::string errorText;         // kSyncFailed: what the player is told
  bool downloadStarted = false;  // kSyncFailed: the failure came once files were downloading
};

// The sync engine for the game in folder on behalf of job jobId, stopped by
// the job's stop request: the game's full data list goes back first, so that
// the scan sees the file its manifest lists (RunJob matches the list to the
// archives afterwards). A stopped sync has already ended the job as its stop
// request asks (FinishStoppedJob): the job only returns.
GameSync SyncGame(std::int32_t jobId, const std::wstring& folder, SyncRequest request);

// Jobs 3, 4 and 5 on an installed game.
void RepairJob();
void HdOnJob();
void HdOffJob();

}  // namespace nv
