#include "jobs/install_steps.h"

#include <cstdint>

namespace nv {

std::vector<StepItem> BuildInstallSteps(const std::vector<PrerequisiteStatus>& prerequisites) {
  std::vector<StepItem> steps;
  for (const PrerequisiteStatus& item : prerequisites) {
    if (item.id == kWebView2PrerequisiteId) continue;
    steps.push_back({item.name, item.installed ? "done" : "wait"});
  }
  steps.push_back({"Game files", "wait"});
  steps.push_back({"Shortcuts", "wait"});
  return steps;
}

std::int64_t InstallNeedBytes(std::int64_t clientBytes, std::int64_t hdBytes, bool hd) {
  if (!hd || hdBytes <= 0) return clientBytes;
  return clientBytes > INT64_MAX - hdBytes ? INT64_MAX : clientBytes + hdBytes;
}

std::string FolderNotWritableText(std::string_view folderUtf8) {
  return "Can't create or write to the folder \"" + std::string(folderUtf8) +
         "\". Pick another folder.";
}

std::string PrerequisiteFailedText(std::string_view displayName) {
  return std::string(displayName) +
         " could not be installed. The game may not start without it; Repair tries again.";
}

std::string RepairFinishedText(std::int32_t fixed) {
  if (fixed <= 0) return "Repair finished: every file is fine.";
  return "Repair finished: " + std::to_string(fixed) + " file(s) fixed.";
}

std::string HdDownloadFailedText(std::string_view errorText) {
  return "The 4K HD pack could not be downloaded completely. " + std::string(errorText) +
         " (It tries again at the next start.)";
}

}  // namespace nv
