#include "jobs/install_steps.h"

#include <cstdint>

#include "bridge/player_texts.h"

namespace nv {

std::vector<StepItem> BuildInstallSteps(const std::vector<PrerequisiteStatus>& prerequisites) {
  std::vector<StepItem> steps;
  for (const PrerequisiteStatus& item : prerequisites) {
    if (item.id == kWebView2PrerequisiteId) continue;
    steps.push_back({item.name, item.installed ? RowState::kDone : RowState::kWait});
  }
  steps.push_back({kGameFilesStepName, RowState::kWait});
  steps.push_back({kShortcutsStepName, RowState::kWait});
  return steps;
}

std::int64_t InstallNeedBytes(std::int64_t clientBytes, std::int64_t hdBytes, bool hd) {
  if (!hd || hdBytes <= 0) return clientBytes;
  return clientBytes > INT64_MAX - hdBytes ? INT64_MAX : clientBytes + hdBytes;
}

}  // namespace nv
