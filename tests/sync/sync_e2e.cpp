// sync_e2e <game folder> <mirror base URL> <client|client+hd> [mode]
// One sync of the launcher's engine, as a job runs it (the full data list
// back first), against a real download server (the test nginx serving a
// tree written by tools/publish), for
// scripts/suites/sync-e2e.sh. Modes:
//   antivirus:<path>  the file is deleted right after it was placed
//   pause:<path>      pause (stop reason 1) once that file's bytes flow
//   row:<path>        nothing special; the row of that file is reported
//   rows              the number of file-card rows is reported as row=
//   free:<bytes>      the volume reports that many free bytes
// Prints one line:
//   result=<0|1|2> started=<0|1> downloaded=<files> row=<state of the mode's file> error=<text>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jobs/jobs.h"
#include "net/transfer.h"
#include "net/transfer_testing.h"
#include "sync/fs/fs_helpers.h"
#include "sync/sync_engine.h"
#include "sync/sync_engine_testing.h"

namespace {

std::string mirror;
std::string antivirusPath;
std::wstring antivirusTarget;
int downloads = 0;

std::vector<std::string> OneMirror() { return {mirror}; }

// The transfers' pauses between fruitless passes are seconds long; the
// failure cases here only need their count.
void NoPause(std::uint32_t, const std::atomic<bool>*) {}

// The real transfer, counted, with the antivirus of the mode.
bool CountedDownload(const std::vector<std::string>& mirrors, std::string_view relativePath,
                     const std::wstring& target, std::int64_t size, std::string_view sha256,
                     nv::TransferProgress& progress, const std::atomic<bool>* stopFlag) {
  ++downloads;
  const bool ok =
      nv::DownloadManifestEntry(mirrors, relativePath, target, size, sha256, progress, stopFlag);
  if (ok && target == antivirusTarget) DeleteFileW(target.c_str());
  return ok;
}

std::uint64_t freeBytes = 0;
std::uint64_t FixedFreeBytes(std::wstring_view) { return freeBytes; }

std::string RowCount() {
  std::lock_guard<std::mutex> lock(nv::progressMutex);
  return std::to_string(nv::progressRecord.fileRows.size());
}

std::string RowState(const std::string& path) {
  std::lock_guard<std::mutex> lock(nv::progressMutex);
  for (const nv::FileRow& row : nv::progressRecord.fileRows)
    if (row.path == path) return std::string(nv::RowStateName(row.state));
  return "-";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: sync_e2e <folder> <mirror> <client|client+hd> [mode]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  mirror = nv::ToUtf8(argv[2]);
  const std::string mode = argc == 5 ? nv::ToUtf8(argv[4]) : "";
  const std::string modePath = mode.substr(mode.find(':') + 1);
  if (mode.starts_with("antivirus:")) antivirusTarget = nv::JoinGamePath(folder, modePath);

  nv::SyncSeams& seams = nv::SyncSeamsForTests();
  seams.loadMirrorList = &OneMirror;
  seams.downloadManifestEntry = &CountedDownload;
  nv::SetBackoffPauseForTesting(&NoPause);
  if (mode.starts_with("free:")) {
    freeBytes = std::stoull(modePath);
    seams.freeBytesForPath = &FixedFreeBytes;
  }

  // The pause button, pressed while the file's bytes flow.
  std::atomic<bool> done{false};
  std::thread pauser;
  if (mode.starts_with("pause:")) {
    pauser = std::thread([&] {
      while (!done) {
        bool current = false;
        {
          std::lock_guard<std::mutex> lock(nv::progressMutex);
          current = nv::progressRecord.currentFile == modePath;
        }
        if (current && nv::jobTransfer.bytes_done.load() > 0) {
          nv::RequestStop(nv::kStopPause);
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }

  // The start-up check's sync.
  const nv::GameSync sync = nv::SyncGame(nv::kJobUpdateCheck, folder,
                                         {.client = true,
                                          .hd = std::wstring(argv[3]) == L"client+hd",
                                          .busyState = nv::Screen::kUpdating,
                                          .showFileList = true});
  done = true;
  if (pauser.joinable()) pauser.join();
  std::printf("result=%d started=%d downloaded=%d row=%s error=%s\n", static_cast<int>(sync.result),
              sync.downloadStarted ? 1 : 0, downloads,
              mode.empty() || mode.starts_with("free:") ? "-"
              : mode == "rows"                          ? RowCount().c_str()
                                                        : RowState(modePath).c_str(),
              sync.errorText.c_str());
  return 0;
}
