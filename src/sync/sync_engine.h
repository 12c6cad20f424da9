// The sync engine: brings the client set and the HD pack in the game folder
// up to date from their manifests, and the process-wide mirror list it and
// the self-update download from.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/nv_api.h"
#include "sync/content_types.h"

namespace nv {

// Filled by the calling job.
struct SyncRequest {
  bool client = false;      // client/manifest.txt
  bool hd = false;          // hd/manifest.txt
  bool verifyAll = false;   // hash every file in the first scan (repair)
  Screen busyState = Screen::kUpdating;  // the screen while files download
  bool showFileList = false;
  bool countRepairs = false;
  // Raised to pause, cancel or quit; nullptr: nothing stops the sync.
  const std::atomic<bool>* stopFlag = nullptr;
};

// One file to fetch: setPrefix + "files/" + sha256 below each mirror.
struct DownloadItem {
  std::string setPrefix;  // "client/" or "hd/"
  std::string path;       // manifest path, UTF-8
  std::uint64_t size = 0;
  std::string sha256;
};

enum SyncResult : std::int32_t {
  kSyncDone = 0,
  kSyncStopped = 1,  // the stop flag was seen; no message was produced
  kSyncFailed = 2,   // errorText says why
};

// Free space kept on top of the download, not shown in the message.
inline constexpr std::uint64_t kDiskMargin = 64ull * 1024 * 1024;
inline constexpr std::size_t kMaxFileRows = 300;
inline constexpr int kMaxConsecutiveFailures = 3;

// The not-enough-space error when needed plus the margin does not fit in
// freeBytes; nothing when it fits or freeBytes is unknown.
std::string DiskSpaceErrorText(std::uint64_t needed, std::uint64_t freeBytes);

// The process-wide mirror list (the transfers' mirrorList): filled by
// EnsureMirrors, then only read.
const std::vector<std::string>& Mirrors();
// Loads the mirror list when it is empty; the built-in download base URL is
// the only entry when nothing else can be had.
void EnsureMirrors();

enum class ManifestFetch {
  kValid,
  kUnreachable,  // no mirror answered with a manifest, or stopFlag rose
  kUntrusted,    // a mirror answered, but with no signed, current manifest
};

// The first valid manifest at relativePath below the mirrors, in list order.
// When the build pins release keys, a manifest counts only with a valid
// signature and a version not older than installedVersion (empty: nothing
// installed). Otherwise manifest must not be used.
ManifestFetch FetchReleaseManifest(std::string_view relativePath, ContentManifest& manifest,
                                   const std::atomic<bool>* stopFlag, std::string_view installedVersion);
// What the player reads when FetchReleaseManifest found no usable manifest.
const char* ManifestFetchErrorText(ManifestFetch result);

// FetchReleaseManifest with nothing installed yet: true when it is valid.
bool FetchManifest(std::string_view relativePath, ContentManifest& manifest,
                   const std::atomic<bool>* stopFlag);

// The caller puts the game's full data list back first (a reduced DATA.INI
// would not match its manifest entry) and matches it again afterwards.
SyncResult SyncContentSets(std::wstring_view folder, const SyncRequest& request,
                           std::string& errorText, bool& downloadStarted);
SyncResult DownloadFileSet(std::wstring_view folder, const std::vector<DownloadItem>& items,
                           bool countFixed, std::string& errorText, const std::atomic<bool>* stopFlag);

}  // namespace nv
