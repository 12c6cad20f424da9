#include "jobs/jobs.h"
#include "system/game_client/client_data_list.h"

namespace nv {

SyncResult SyncGame(const std::wstring& folder, SyncRequest request, std::string& errorText,
                    bool& downloadStarted) {
  request.stopFlag = &stopFlag;
  RestoreFullClientDataList(folder);
  return SyncContentSets(folder, request, errorText, downloadStarted);
}

}  // namespace nv
