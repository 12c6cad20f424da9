// The status and progress records, the event reports built from them, and
// the 200 ms progress report of the window thread.
#include "bridge/nv_api.h"
#include "bridge/progress_state.h"

namespace nv {

StatusRecord status;
std::mutex progressMutex;
ProgressRecord progressRecord;
TransferProgress jobTransfer;
std::atomic<std::int64_t> setBytesDone{0};
std::atomic<std::int64_t> setBytesTotal{0};
std::atomic<std::int64_t> checkedBytesClient{0};
std::atomic<std::int64_t> checkedBytesHd{0};
std::atomic<std::int32_t> filesDone{0};
std::atomic<std::int32_t> filesTotal{0};

namespace {

// Window thread only: the texts sent last, so an unchanged tick sends nothing.
std::string lastProgressJson;
std::string lastFileListJson;
std::string lastRepairJson;

}  // namespace

void ReportError(std::string_view text) { PostToPage(MessageType::kError, BuildErrorJson(text)); }

void Toast(std::string_view text) { PostToPage(MessageType::kToast, BuildToastJson(text)); }

void ReportSteps(const std::vector<StepItem>& steps) {
  PostToPage(MessageType::kSteps, BuildStepsJson(steps));
}

void ReportPrerequisites(const std::vector<PrerequisiteStatus>& items) {
  PostToPage(MessageType::kDeps, BuildDepsJson(items));
}

void SetPhase(Phase phase) {
  std::lock_guard<std::mutex> lock(progressMutex);
  progressRecord.phase = phase;
  progressRecord.currentFile.clear();
}

void SetCurrentFile(std::string_view text) {
  std::lock_guard<std::mutex> lock(progressMutex);
  progressRecord.currentFile = std::string(text);
}

void SetFileRowState(std::size_t index, RowState state) {
  std::lock_guard<std::mutex> lock(progressMutex);
  if (index < progressRecord.fileRows.size()) progressRecord.fileRows[index].state = state;
  progressRecord.activeRow = state == RowState::kNow ? static_cast<std::int32_t>(index) : -1;
}

void ClearLastSentProgress() {
  lastProgressJson.clear();
  lastFileListJson.clear();
  lastRepairJson.clear();
}

void ResetProgressForJob() {
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord = ProgressRecord{};
  }
  jobTransfer.Reset();
  setBytesDone = 0;
  setBytesTotal = 0;
  checkedBytesClient = 0;
  checkedBytesHd = 0;
  filesDone = 0;
  filesTotal = 0;
  ClearLastSentProgress();
}

void ProgressReport() {
  if (!IsPageReady() || !HasWebView()) return;

  Phase phase = Phase::kFiles;
  std::string file;
  std::string fileListJson;
  std::string repairJson;
  // The rows are copied under the lock and turned into text after it: the
  // worker waits on the same lock for every file it starts.
  std::vector<FileRow> rows;
  std::int32_t activeRow = -1;
  {
    std::lock_guard<std::mutex> lock(progressMutex);
    phase = progressRecord.phase;
    file = progressRecord.currentFile;
    if (progressRecord.sendFileList) {
      rows = progressRecord.fileRows;
      activeRow = progressRecord.activeRow;
    }
    if (progressRecord.sendRepair) {
      repairJson = BuildRepairJson(progressRecord.repairChecked, progressRecord.repairBroken,
                                   progressRecord.repairMissing, progressRecord.repairFixed);
    }
  }

  if (!rows.empty()) fileListJson = BuildFileListJson(rows, activeRow, jobTransfer.bytes_done.load());

  // Each counter is read on its own after the lock is gone.
  CounterSample sample;
  sample.transferDone = jobTransfer.bytes_done.load();
  sample.transferTotal = jobTransfer.bytes_total.load();
  sample.transferSpeed = jobTransfer.bytes_per_second.load();
  sample.setDone = setBytesDone.load();
  sample.setTotal = setBytesTotal.load();
  sample.checkedClient = checkedBytesClient.load();
  sample.checkedHd = checkedBytesHd.load();
  sample.filesDone = filesDone.load();
  sample.filesTotal = filesTotal.load();

  std::string progressJson = BuildProgressJson(ComputeProgress(phase, file, sample));
  if (progressJson != lastProgressJson) {
    SendToPage(progressJson);
    lastProgressJson = std::move(progressJson);
  }
  if (!fileListJson.empty() && fileListJson != lastFileListJson) {
    SendToPage(fileListJson);
    CacheMessage(MessageType::kFileList, fileListJson);
    lastFileListJson = std::move(fileListJson);
  }
  if (!repairJson.empty() && repairJson != lastRepairJson) {
    SendToPage(repairJson);
    CacheMessage(MessageType::kRepair, repairJson);
    lastRepairJson = std::move(repairJson);
  }
}

}  // namespace nv
