// The job engine: all long work runs as one job at a time on a worker thread.
// The window thread starts jobs and raises stop requests; the worker reports
// through the bridge and posts kWmJobDone when it is done.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "jobs/stop_request.h"
#include "system/game_client/game_process.h"

namespace nv {

enum JobId : std::int32_t {
  kJobUpdateCheck = 1,
  kJobInstall = 2,
  kJobRepair = 3,
  kJobHdOn = 4,
  kJobHdOff = 5,
  kJobPlay = 6,
  kJobUninstall = 7,
};
inline constexpr std::int32_t kJobCount = 7;

// The jobs that download, from the start-up check to the HD pack: their
// partial files let them be paused, resumed, and closed only after a question.
inline bool IsDownloadJob(std::int32_t jobId) { return jobId >= kJobUpdateCheck && jobId <= kJobHdOn; }

// What a job is started with; only the install job reads it. The default is
// the argument every command but install passes.
struct JobArgument {
  std::wstring folder;
  bool hd = false;
  bool shortcut = true;
};

extern std::atomic<bool> jobBusy;
// Window thread only.
extern std::int32_t currentJobId;
extern std::int32_t resumableJobId;
extern JobArgument resumableArgument;

// Start-up: the manual-reset event that is set whenever no job runs.
bool CreateJobDoneEvent();
HANDLE JobDoneEvent();

// Window thread. False with the busy toast while a job runs, or with the
// worker-thread error when no thread could be started.
bool StartJob(std::int32_t jobId, const JobArgument& argument);
// The worker thread's body.
void RunJob(std::int32_t jobId, const JobArgument& argument);
// Worker thread: how a download job that saw the stop flag ends.
void FinishStoppedJob(std::int32_t jobId);

// pause: only while a download job runs. True if the request was raised.
bool PauseRunningJob();
// resume: the last download job again with its saved argument, when idle.
bool ResumeLastJob();

// Window thread, kWmJobDone: the last progress report; then, when no new job
// is busy, the progress timer stops and the finished worker is joined.
void OnJobEnded();
// Shutdown: waits up to timeoutMs for the running job, then joins it if it
// ended or detaches it if not. True when no job is left running.
bool WaitForJobEnd(DWORD timeoutMs);

}  // namespace nv
