// Builders of the native -> page messages and the words of the page's
// vocabulary. Member order is what the page reads; strings go through
// JsonString, numbers through std::to_string.
#include <cstdio>

#include "bridge/nv_api.h"

namespace nv {

namespace {

std::string Int(std::int64_t value) { return std::to_string(value); }

// '{' and the member "t": every message starts so.
std::string Open(MessageType type) {
  std::string json = "{\"t\":\"";
  json += MessageTypeName(type);
  json += '"';
  return json;
}

}  // namespace

std::string_view ScreenName(Screen screen) {
  switch (screen) {
    case Screen::kInstall: return "install";
    case Screen::kInstalling: return "installing";
    case Screen::kReady: return "ready";
    case Screen::kUpdating: return "updating";
    case Screen::kRepair: return "repair";
  }
  return {};
}

std::string_view RowStateName(RowState state) {
  switch (state) {
    case RowState::kWait: return "wait";
    case RowState::kNow: return "now";
    case RowState::kDone: return "done";
    case RowState::kFail: return "fail";
  }
  return {};
}

std::string_view PhaseName(Phase phase) {
  switch (phase) {
    case Phase::kFiles: return "files";
    case Phase::kCheck: return "check";
    case Phase::kDeps: return "deps";
  }
  return {};
}

std::string_view MessageTypeName(MessageType type) {
  switch (type) {
    case MessageType::kState: return "state";
    case MessageType::kSteps: return "steps";
    case MessageType::kFileList: return "filelist";
    case MessageType::kRepair: return "repair";
    case MessageType::kDeps: return "deps";
    case MessageType::kNews: return "news";
    case MessageType::kOnline: return "online";
    case MessageType::kError: return "error";
    case MessageType::kToast: return "toast";
    case MessageType::kBrowse: return "browse";
    case MessageType::kProgress: return "progress";
  }
  return {};
}

std::string BuildStateJson(const StatusRecord& record, Screen screen, std::string_view dirUtf8,
                           std::int64_t freeBytes, StateFlags flags) {
  std::string json = Open(MessageType::kState) + ",\"state\":" + JsonString(ScreenName(screen));
  json += ",\"version\":" + JsonString(record.contentVersion);
  json += ",\"dir\":" + JsonString(dirUtf8);
  json += ",\"hd\":";
  json += record.hdEnabled ? "1" : "0";
  json += ",\"needBytes\":" + Int(record.needBytes);
  json += ",\"freeBytes\":" + Int(freeBytes);
  json += ",\"hdBytes\":" + Int(record.hdBytes);
  json += ",\"clientBytes\":" + Int(record.clientBytes);
  json += ",\"launcherVersion\":\"";
  json += kLauncherVersionText;
  json += '"';
  if (flags.paused) json += ",\"paused\":1";
  if (flags.checking) json += ",\"checking\":1";
  json += '}';
  return json;
}

std::string BuildErrorJson(std::string_view text) {
  return Open(MessageType::kError) + ",\"text\":" + JsonString(text) + "}";
}

std::string BuildToastJson(std::string_view text) {
  return Open(MessageType::kToast) + ",\"text\":" + JsonString(text) + "}";
}

std::string BuildStepsJson(const std::vector<StepItem>& steps) {
  std::string json = Open(MessageType::kSteps) + ",\"items\":[";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i) json += ',';
    json += "{\"name\":" + JsonString(steps[i].name) + ",\"state\":\"";
    json += RowStateName(steps[i].state);
    json += "\"}";
  }
  json += "]}";
  return json;
}

std::string BuildDepsJson(const std::vector<PrerequisiteStatus>& items) {
  std::string json = Open(MessageType::kDeps) + ",\"items\":[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) json += ',';
    json += "{\"id\":" + JsonString(items[i].id) + ",\"name\":" + JsonString(items[i].name) +
            ",\"installed\":" + (items[i].installed ? "true" : "false") + "}";
  }
  json += "]}";
  return json;
}

std::string BuildBrowseJson(std::string_view dirUtf8, std::int64_t freeBytes) {
  return Open(MessageType::kBrowse) + ",\"dir\":" + JsonString(dirUtf8) +
         ",\"freeBytes\":" + Int(freeBytes) + "}";
}

std::string BuildFileListJson(const std::vector<FileRow>& rows, std::int32_t activeRow,
                              std::int64_t activeDone) {
  std::string json = Open(MessageType::kFileList) + ",\"items\":[";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const FileRow& row = rows[i];
    std::int64_t done = 0;
    if (row.state == RowState::kDone) {
      done = row.size;
    } else if (activeRow >= 0 && static_cast<std::size_t>(activeRow) == i) {
      done = activeDone < row.size ? activeDone : row.size;
    }
    if (i) json += ',';
    json += "{\"path\":" + JsonString(row.path) + ",\"size\":" + Int(row.size) +
            ",\"done\":" + Int(done) + ",\"state\":\"";
    json += RowStateName(row.state);
    json += "\"}";
  }
  json += "]}";
  return json;
}

std::string BuildRepairJson(std::int32_t checked, std::int32_t broken, std::int32_t missing,
                            std::int32_t fixed) {
  return Open(MessageType::kRepair) + ",\"checked\":" + Int(checked) + ",\"broken\":" +
         Int(broken) + ",\"missing\":" + Int(missing) + ",\"fixed\":" + Int(fixed) + "}";
}

ProgressValues ComputeProgress(Phase phase, std::string_view file, const CounterSample& s) {
  ProgressValues v;
  v.phase = phase;
  v.file = std::string(file);
  v.fileDone = s.transferDone;
  v.fileTotal = s.transferTotal;
  v.filesDone = s.filesDone;
  v.filesTotal = s.filesTotal;
  if (phase == Phase::kCheck) {
    v.done = s.checkedClient + s.checkedHd;
    v.total = s.setTotal;
    v.speed = 0;
  } else if (phase == Phase::kDeps) {
    v.done = s.transferDone;
    v.total = s.transferTotal;
    v.speed = s.transferSpeed;
  } else {
    v.done = s.setDone + s.transferDone;
    v.total = s.setTotal;
    v.speed = s.transferSpeed;
  }
  // The counters are read one by one, so done may run ahead of total briefly.
  if (v.total > 0 && v.done > v.total) v.done = v.total;
  if (v.speed > 0 && v.done < v.total) {
    v.eta = (v.total - v.done) / v.speed;
  } else if (v.total > 0 && v.done >= v.total) {
    v.eta = 0;
  } else {
    v.eta = -1;
  }
  return v;
}

std::string BuildProgressJson(const ProgressValues& v) {
  return Open(MessageType::kProgress) + ",\"phase\":" + JsonString(PhaseName(v.phase)) +
         ",\"file\":" + JsonString(v.file) + ",\"fileDone\":" + Int(v.fileDone) +
         ",\"fileTotal\":" + Int(v.fileTotal) + ",\"done\":" + Int(v.done) + ",\"total\":" + Int(v.total) +
         ",\"filesDone\":" + Int(v.filesDone) + ",\"filesTotal\":" + Int(v.filesTotal) +
         ",\"speed\":" + Int(v.speed) + ",\"eta\":" + Int(v.eta) + "}";
}

std::string FormatSize(std::int64_t bytes) {
  constexpr std::int64_t kGiB = std::int64_t{1} << 30;
  constexpr std::int64_t kMiB = std::int64_t{1} << 20;
  char buffer[48];
  if (bytes >= kGiB) {
    std::snprintf(buffer, sizeof buffer, "%.1f GB", static_cast<double>(bytes) / kGiB);
  } else if (bytes >= kMiB) {
    std::snprintf(buffer, sizeof buffer, "%.0f MB", static_cast<double>(bytes) / kMiB);
  } else {
    // Negative sizes land here too; the division truncates towards zero.
    std::snprintf(buffer, sizeof buffer, "%lld KB",
                  static_cast<long long>((bytes + 1023) / 1024));
  }
  return buffer;
}

}  // namespace nv
