// Builders of the native -> page messages. Member order is what the page
// reads; strings go through JsonString, numbers through std::to_string.
#include <cstdio>

#include "bridge/nv_api.h"

namespace nv {

namespace {

std::string Int(std::int64_t value) { return std::to_string(value); }

}  // namespace

std::string BuildStateJson(const StatusRecord& record, std::string_view stateName,
                           std::string_view dirUtf8, std::int64_t freeBytes, StateFlags flags) {
  std::string json = "{\"t\":\"state\",\"state\":" + JsonString(stateName);
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
  return "{\"t\":\"error\",\"text\":" + JsonString(text) + "}";
}

std::string BuildToastJson(std::string_view text) {
  return "{\"t\":\"toast\",\"text\":" + JsonString(text) + "}";
}

std::string BuildStepsJson(const std::vector<StepItem>& steps) {
  std::string json = "{\"t\":\"steps\",\"items\":[";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i) json += ',';
    // The state is always one of four fixed words and is written unescaped.
    json += "{\"name\":" + JsonString(steps[i].name) + ",\"state\":\"" + steps[i].state + "\"}";
  }
  json += "]}";
  return json;
}

std::string BuildDepsJson(const std::vector<PrerequisiteStatus>& items) {
  std::string json = "{\"t\":\"deps\",\"items\":[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) json += ',';
    json += "{\"id\":" + JsonString(items[i].id) + ",\"name\":" + JsonString(items[i].name) +
            ",\"installed\":" + (items[i].installed ? "true" : "false") + "}";
  }
  json += "]}";
  return json;
}

std::string BuildBrowseJson(std::string_view dirUtf8, std::int64_t freeBytes) {
  return "{\"t\":\"browse\",\"dir\":" + JsonString(dirUtf8) + ",\"freeBytes\":" + Int(freeBytes) +
         "}";
}

std::string BuildFileListJson(const std::vector<FileRow>& rows, std::int32_t activeRow,
                              std::int64_t activeDone) {
  std::string json = "{\"t\":\"filelist\",\"items\":[";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const FileRow& row = rows[i];
    std::int64_t done = 0;
    if (row.state == "done") {
      done = row.size;
    } else if (activeRow >= 0 && static_cast<std::size_t>(activeRow) == i) {
      done = activeDone < row.size ? activeDone : row.size;
    }
    if (i) json += ',';
    json += "{\"path\":" + JsonString(row.path) + ",\"size\":" + Int(row.size) +
            ",\"done\":" + Int(done) + ",\"state\":\"" + row.state + "\"}";
  }
  json += "]}";
  return json;
}

std::string BuildRepairJson(std::int32_t checked, std::int32_t broken, std::int32_t missing,
                            std::int32_t fixed) {
  return "{\"t\":\"repair\",\"checked\":" + Int(checked) + ",\"broken\":" + Int(broken) +
         ",\"missing\":" + Int(missing) + ",\"fixed\":" + Int(fixed) + "}";
}

ProgressValues ComputeProgress(std::string_view phase, std::string_view file,
                               const CounterSample& s) {
  ProgressValues v;
  v.phase = std::string(phase);
  v.file = std::string(file);
  v.fileDone = s.transferDone;
  v.fileTotal = s.transferTotal;
  v.filesDone = s.filesDone;
  v.filesTotal = s.filesTotal;
  if (phase == "check") {
    v.done = s.checkedClient + s.checkedHd;
    v.total = s.setTotal;
    v.speed = 0;
  } else if (phase == "deps") {
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
  return "{\"t\":\"progress\",\"phase\":" + JsonString(v.phase) + ",\"file\":" +
         JsonString(v.file) + ",\"fileDone\":" + Int(v.fileDone) + ",\"fileTotal\":" +
         Int(v.fileTotal) + ",\"done\":" + Int(v.done) + ",\"total\":" + Int(v.total) +
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
