// The sync engine on disk and over the network: fetch the manifests, scan,
// download what is missing or wrong, scan again, remember what was verified.
#include "sync/sync_engine.h"
#include "sync/sync_engine_testing.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "bridge/player_texts.h"
#include "net/fetch_ahead.h"
#include "net/http_client.h"
#include "net/transfer.h"
#include "net/url_text.h"
#include "sync/file_state.h"
#include "sync/fs/clamp.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/stop_flag.h"
#include "sync/manifest.h"
#include "sync/release_signature.h"
#include "sync/scan.h"
#include "system/game_client/game_process.h"

namespace nv {

namespace {

SyncSeams seams;

// Sizes come from the manifest: each is below 10^18, but a long hostile list
// could still wrap the sum round to a small number and pass the disk test.
std::uint64_t TotalSize(const std::vector<DownloadItem>& items) {
  std::uint64_t total = 0;
  for (const DownloadItem& item : items)
    total = item.size > ~std::uint64_t{0} - total ? ~std::uint64_t{0} : total + item.size;
  return total;
}

std::uint64_t FreeBytes(std::wstring_view path) {
  return seams.freeBytesForPath ? seams.freeBytesForPath(path) : FreeBytesForPath(path);
}

bool GameRunning() { return seams.isGameRunning ? seams.isGameRunning() : IsGameRunning(); }

bool Fetch(std::string_view url, std::string& body) {
  return seams.fetchText ? seams.fetchText(url, body) : FetchText(url, body);
}

bool Download(const std::vector<std::string>& mirrors, std::string_view relativePath,
              const std::wstring& target, std::int64_t size, std::string_view sha256,
              const std::atomic<bool>* stopFlag) {
  auto download = seams.downloadManifestEntry ? seams.downloadManifestEntry : &DownloadManifestEntry;
  return download(mirrors, relativePath, target, size, sha256, jobTransfer, stopFlag);
}

}  // namespace

SyncSeams& SyncSeamsForTests() { return seams; }
void ClearMirrorsForTests() { mirrorList.clear(); }

const std::vector<std::string>& Mirrors() { return mirrorList; }

void EnsureMirrors() {
  if (!mirrorList.empty()) return;
  // A test's list stands in for the loader, fallback included.
  mirrorList = seams.loadMirrorList ? MirrorsOrBuiltin(seams.loadMirrorList()) : LoadMirrorList();
}

ManifestFetch FetchReleaseManifest(std::string_view relativePath, ContentManifest& manifest,
                                   const std::atomic<bool>* stopFlag, std::string_view installedVersion) {
  manifest = {};
  const ReleaseKeys& keys = PinnedReleaseKeys();
  bool untrusted = false;
  for (const std::string& mirror : mirrorList) {
    if (Stopped(stopFlag)) return ManifestFetch::kUnreachable;
    const std::string url = mirror + "/" + std::string(relativePath);
    std::string text;
    if (!Fetch(url, text)) continue;
    // A mirror is only transport when the build pins keys: what it serves
    // counts when the studio signed it, and a signed manifest older than the
    // installed content is an earlier release replayed. Either failure is
    // that mirror's fault, so the next one may still have the real one.
    std::string signature;
    if (keys.required && (!Fetch(url + ".sig", signature) || !VerifyReleaseSignature(text, signature, keys.keys))) {
      untrusted = true;
      continue;
    }
    manifest = ParseManifest(text);
    if (!manifest.valid) continue;
    if (keys.required && IsRollback(manifest.version, installedVersion)) {
      manifest = {};
      untrusted = true;
      continue;
    }
    return ManifestFetch::kValid;
  }
  manifest = {};
  return untrusted ? ManifestFetch::kUntrusted : ManifestFetch::kUnreachable;
}

const char* ManifestFetchErrorText(ManifestFetch result) {
  return result == ManifestFetch::kUntrusted ? kUnsignedReleaseText : kServerUnreachableText;
}

bool FetchManifest(std::string_view relativePath, ContentManifest& manifest,
                   const std::atomic<bool>* stopFlag) {
  return FetchReleaseManifest(relativePath, manifest, stopFlag, {}) == ManifestFetch::kValid;
}

namespace {

// A file that was just verified and moved into place goes into the file state
// as it lies on disk, so the confirming scan vouches for it by size and time
// instead of reading it once more; a file changed or removed since is still
// found there.
void RecordVerified(FileState& state, const std::wstring& target, const DownloadItem& item) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPath(target).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (size != item.size) return;
  const std::int64_t mtime = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime);
  RecordFileState(state, item.path, static_cast<std::int64_t>(size), mtime, item.sha256);
}

SyncResult DownloadItems(std::wstring_view folder, const std::vector<DownloadItem>& items, bool countFixed,
                         std::string& errorText, FileState* verified, const std::atomic<bool>* stopFlag) {
  const std::uint64_t needed = TotalSize(items);

  errorText = DiskSpaceErrorText(needed, FreeBytes(folder));
  if (!errorText.empty()) return kSyncFailed;

  {
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.phase = Phase::kFiles;
    progressRecord.currentFile.clear();
    progressRecord.fileRows.clear();
    progressRecord.activeRow = -1;
    if (progressRecord.sendFileList) {
      // The page lists at most 300 rows; later files still download and count.
      const std::size_t rows = std::min(items.size(), kMaxFileRows);
      progressRecord.fileRows.reserve(rows);
      for (std::size_t i = 0; i < rows; ++i)
        progressRecord.fileRows.push_back(
            {items[i].path, static_cast<std::int64_t>(items[i].size), RowState::kWait});
    }
  }
  setBytesDone = 0;
  setBytesTotal = static_cast<std::int64_t>(needed);
  filesDone = 0;
  filesTotal = static_cast<std::int32_t>(items.size());

  // A test's own download function sees every file: nothing goes ahead of it.
  FetchAhead fetchAhead(mirrorList, std::wstring(folder), seams.downloadManifestEntry ? 0 : items.size(),
                        [&items](std::size_t i) {
                          const DownloadItem& item = items[i];
                          return FetchAheadItem{item.setPrefix + "files/" + item.sha256, item.size, item.sha256,
                                                item.path};
                        },
                        stopFlag);

  int failures = 0;
  int consecutive = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (Stopped(stopFlag)) return kSyncStopped;
    const DownloadItem& item = items[i];
    SetCurrentFile(item.path);
    SetFileRowState(i, RowState::kNow);
    jobTransfer.Reset();
    jobTransfer.bytes_total = static_cast<std::int64_t>(item.size);

    const std::wstring target = JoinGamePath(folder, item.path);
    bool ok = false;
    // Its folder was checked and is held since the file was staged. A
    // placed file is closed by a fetching thread; one that could not be
    // placed goes here, its partial file with it, before the usual road
    // opens that name.
    if (std::optional<StagedFile> staged = fetchAhead.Take(i, jobTransfer)) {
      ok = PlaceStagedFile(*staged, target, jobTransfer, stopFlag);
      if (ok) fetchAhead.Release(std::move(*staged));
    }
    // Not fetched ahead, or it failed: the usual road, mirrors and retries.
    // A planted link on the way would turn the write into one outside the
    // game folder: a local file error for this file instead.
    if (!ok && !Stopped(stopFlag) && !CrossesReparsePoint(folder, item.path) && CreateParentDirectories(target))
      ok = Download(mirrorList, item.setPrefix + "files/" + item.sha256, target,
                    static_cast<std::int64_t>(item.size), item.sha256, stopFlag);
    if (Stopped(stopFlag)) {
      // The partial file stays for the next start; the row waits again.
      SetFileRowState(i, RowState::kWait);
      return kSyncStopped;
    }
    if (ok) {
      if (verified) RecordVerified(*verified, target, item);
      setBytesDone += static_cast<std::int64_t>(item.size);
      filesDone += 1;
      SetFileRowState(i, RowState::kDone);
      consecutive = 0;
      if (countFixed) {
        std::lock_guard<std::mutex> lock(progressMutex);
        progressRecord.repairFixed += 1;
      }
    } else {
      SetFileRowState(i, RowState::kFail);
      ++failures;
      // Three in a row usually means the server or the disk is gone: do not
      // try every mirror for every remaining file.
      if (++consecutive >= kMaxConsecutiveFailures) break;
    }
  }
  jobTransfer.Reset();

  if (failures == 0) return kSyncDone;
  errorText = GameRunning() ? kFilesInUseText : kDownloadFailedText;
  return kSyncFailed;
}

}  // namespace

SyncResult DownloadFileSet(std::wstring_view folder, const std::vector<DownloadItem>& items,
                           bool countFixed, std::string& errorText, const std::atomic<bool>* stopFlag) {
  return DownloadItems(folder, items, countFixed, errorText, nullptr, stopFlag);
}

namespace {

void AddItems(std::vector<DownloadItem>& items, const std::vector<ManifestEntry>& entries,
              const char* prefix) {
  for (const ManifestEntry& entry : entries)
    items.push_back({prefix, entry.path, entry.size, entry.sha256});
}

}  // namespace

SyncResult SyncContentSets(std::wstring_view folder, const SyncRequest& request,
                           std::string& errorText, bool& downloadStarted) {
  downloadStarted = false;
  const std::atomic<bool>* stopFlag = request.stopFlag;
  EnsureMirrors();
  SetPhase(Phase::kCheck);

  // The file state holds the installed client's version: a signed client
  // manifest older than it is refused. The HD pack's installed version is
  // not kept, so its manifest is held to its signature only.
  FileState state = LoadFileState(folder);
  ContentManifest client;
  ContentManifest hd;
  if (request.client) {
    const ManifestFetch fetched = FetchReleaseManifest("client/manifest.txt", client, stopFlag, state.version);
    if (fetched != ManifestFetch::kValid) {
      errorText = ManifestFetchErrorText(fetched);
      return Stopped(stopFlag) ? kSyncStopped : kSyncFailed;
    }
  }
  if (request.hd) {
    const ManifestFetch fetched = FetchReleaseManifest("hd/manifest.txt", hd, stopFlag, {});
    if (fetched != ManifestFetch::kValid) {
      errorText = ManifestFetchErrorText(fetched);
      return Stopped(stopFlag) ? kSyncStopped : kSyncFailed;
    }
  }
  if (request.client) {
    status.clientBytes = ClampToInt64(client.total);
    status.contentVersion = client.version;
  }
  if (request.hd) status.hdBytes = ClampToInt64(hd.total);

  setBytesTotal = ClampToInt64((request.client ? client.total : 0) + (request.hd ? hd.total : 0));
  checkedBytesClient = 0;
  checkedBytesHd = 0;

  std::vector<DownloadItem> items;
  if (request.client)
    AddItems(items, ScanFiles(folder, client, state, request.verifyAll, &checkedBytesClient, stopFlag),
             "client/");
  if (request.hd && !Stopped(stopFlag))
    AddItems(items, ScanFiles(folder, hd, state, request.verifyAll, &checkedBytesHd, stopFlag),
             "hd/");
  SaveFileState(folder, state);
  if (Stopped(stopFlag)) return kSyncStopped;

  if (request.countRepairs) {
    std::int32_t broken = 0;
    std::int32_t missing = 0;
    for (const DownloadItem& item : items)
      (IsRegularFile(JoinGamePath(folder, item.path)) ? broken : missing) += 1;
    std::lock_guard<std::mutex> lock(progressMutex);
    progressRecord.repairFixed = 0;
    progressRecord.repairChecked = static_cast<std::int32_t>(
        (request.client ? client.entries.size() : 0) + (request.hd ? hd.entries.size() : 0));
    progressRecord.repairBroken = broken;
    progressRecord.repairMissing = missing;
  }

  if (!items.empty()) {
    // Too little room is found before any download: the start-up check then
    // counts as failed and an installed game stays playable.
    errorText = DiskSpaceErrorText(TotalSize(items), FreeBytes(folder));
    if (!errorText.empty()) return kSyncFailed;
    status.needBytes = ClampToInt64(TotalSize(items));
    ReportState(request.busyState, false, false);
    {
      std::lock_guard<std::mutex> lock(progressMutex);
      progressRecord.sendFileList = request.showFileList;
    }
    downloadStarted = true;
    const SyncResult downloaded = DownloadItems(folder, items, request.countRepairs, errorText, &state, stopFlag);
    if (downloaded != kSyncDone) return downloaded;

    // Confirm: the new files were recorded as they were verified; what changed
    // or went away since is hashed or found missing here.
    SetPhase(Phase::kCheck);
    setBytesTotal = status.needBytes;
    checkedBytesClient = 0;
    checkedBytesHd = 0;
    std::size_t remaining = 0;
    if (request.client)
      remaining += ScanFiles(folder, client, state, false, &checkedBytesClient, stopFlag).size();
    if (request.hd && !Stopped(stopFlag))
      remaining += ScanFiles(folder, hd, state, false, &checkedBytesHd, stopFlag).size();
    if (Stopped(stopFlag)) {
      SaveFileState(folder, state);
      return kSyncStopped;
    }
    if (request.client && remaining == 0) state.version = client.version;
    if (!SaveFileState(folder, state)) Toast(kStateNotSavedText);
    if (remaining != 0) {
      errorText = ChangedAfterDownloadText(remaining);
      return kSyncFailed;
    }
  } else if (request.client && state.version != client.version) {
    state.version = client.version;
    SaveFileState(folder, state);
  }

  status.needBytes = 0;
  return kSyncDone;
}

}  // namespace nv
