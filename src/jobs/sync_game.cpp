#include "jobs/jobs.h"
#include "system/game_client/client_data_list.h"

namespace nv {

GameSync SyncGame(std::int32_t jobId, const std::wstring& folder, SyncRequest request) {
  request.stopFlag = &stopFlag;
  RestoreFullClientDataList(folder);
  GameSync sync;
  sync.result = SyncContentSets(folder, request, sync.errorText, sync.downloadStarted);
  if (sync.result == kSyncStopped) FinishStoppedJob(jobId);
  return sync;
}

}  // namespace nv
