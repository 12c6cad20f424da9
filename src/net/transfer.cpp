#include "net/transfer.h"
#include "net/transfer_testing.h"

#include "net/download.h"
#include "net/fetch_ahead.h"
#include "net/http_client.h"
#include "net/net_log.h"
#include "net/net_seams.h"
#include "net/url_text.h"
#include "nv_config.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"
#include "sync/fs/stop_flag.h"
#include "sync/fs/unique_handle.h"

namespace nv {

std::vector<std::string> mirrorList;

namespace {

// Three passes over every mirror without progress, with the growing pauses
// between them (2 s after the first, 4 s after the second), ride out a server
// restart or a short drop of the network. Mirrors that still give nothing
// then are not going to: the transfer fails and the job tells the player,
// rather than keep them waiting. Attempts that do make progress are bounded
// by kMaxAttempts instead.
constexpr std::uint32_t kFruitlessPassesAllowed = 3;

std::atomic<BackoffPauseFunction> backoffPauseForTesting{nullptr};

std::uint32_t ShuffleSeed() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return static_cast<std::uint32_t>(counter.QuadPart) ^ static_cast<std::uint32_t>(GetTickCount64()) ^
         (static_cast<std::uint32_t>(GetCurrentProcessId()) << 16);
}

}  // namespace

void SetBackoffPauseForTesting(BackoffPauseFunction pause) { backoffPauseForTesting.store(pause); }

std::string BuiltinDownloadBaseUrl() { return TrimBaseUrl(config::kDownloadBaseUrl); }

std::vector<std::string> MirrorsOrBuiltin(std::vector<std::string> mirrors) {
  if (mirrors.empty()) mirrors.push_back(BuiltinDownloadBaseUrl());
  return mirrors;
}

std::vector<std::string> LoadMirrorListFrom(std::string_view mirrorsUrl) {
  std::vector<std::string> listed;
  std::string text;
  if (FetchText(mirrorsUrl, text)) listed = ParseMirrorList(text);
  std::vector<std::string> mirrors = MirrorsOrBuiltin(std::move(listed));
  // Every launch spreads its load over the mirrors in a different order.
  ShuffleMirrors(mirrors, ShuffleSeed());
  return mirrors;
}

std::vector<std::string> LoadMirrorList() { return LoadMirrorListFrom(BuiltinDownloadBaseUrl() + "/mirrors.txt"); }

int DownloadWithRetries(const std::vector<std::string>& urls, const std::wstring& partialPath,
                        std::int64_t expectedSize, bool useValidator, TransferProgress& progress,
                        const std::atomic<bool>* stopFlag, PartialFileHash* hash) {
  if (urls.empty()) return kTransferRetry;
  const auto n = static_cast<std::uint32_t>(urls.size());
  const std::uint32_t failureLimit = kFruitlessPassesAllowed * n;
  std::uint32_t index = 0;
  std::uint32_t consecutiveFailures = 0;
  int attempts = 0;
  while (!Stopped(stopFlag)) {
    std::uint64_t received = 0;
    const int result =
        DownloadAttempt(urls[index], partialPath, expectedSize, useValidator, progress, stopFlag, received, hash);
    if (result != kTransferRetry) return result;
    // No stale speed on the page while we wait.
    progress.bytes_per_second.store(0);

    const bool madeProgress = received >= kProgressBytes;
    if (madeProgress) {
      consecutiveFailures = 0;
    } else if (++consecutiveFailures >= failureLimit) {
      return kTransferRetry;
    }
    index = (index + 1) % n;
    if (index == 0 && !madeProgress) {
      const std::uint32_t pause = BackoffPauseMs(consecutiveFailures, n);
      if (const BackoffPauseFunction standIn = backoffPauseForTesting.load())
        standIn(pause, stopFlag);
      else
        PauseUnlessStopped(pause, stopFlag);
    }
    if (++attempts >= kMaxAttempts) return kTransferRetry;
  }
  return kTransferStopped;
}

bool DownloadManifestEntry(const std::vector<std::string>& mirrors, std::string_view relativePath,
                           const std::wstring& target, std::int64_t expectedSize,
                           std::string_view expectedSha256, TransferProgress& progress,
                           const std::atomic<bool>* stopFlag) {
  progress.bytes_total.store(expectedSize > 0 ? expectedSize : 0);
  progress.bytes_done.store(0);
  if (mirrors.empty() || target.empty()) return false;

  CreateParentDirectories(target);
  const std::vector<std::string> urls = BuildMirrorUrls(mirrors, relativePath);
  const std::wstring partial = target + L".part";
  const std::wstring relativeText = FromUtf8(relativePath);

  PartialFileHash running;
  // The verified file is held from the end of its download through its hash
  // to its rename, with write and delete sharing denied, and moved by that
  // handle: what was hashed is what takes the target's name.
  UniqueFile held;
  for (int download = 1; download <= 2; ++download) {
    // A resume sends only Range: the hash catches a file that changed on the server.
    const int result = DownloadWithRetries(urls, partial, expectedSize, false, progress, stopFlag, &running);
    if (result == kTransferRetry) {
      NetLog(L"all mirrors failed for " + relativeText);
      return false;
    }
    if (result != kTransferComplete) return false;
    RetryWhileLocked(
        kRehashRetry,
        [&] {
          held.reset(OpenOwnFile(net_seams::FilePath(LongPath(partial)), GENERIC_READ, FILE_SHARE_READ));
          if (held) return TryResult::kDone;
          return Stopped(stopFlag) ? TryResult::kStopped : LockedOrFailed(GetLastError());
        },
        stopFlag);
    if (Stopped(stopFlag)) return false;
    if (!held) {
      NetLog(L"cannot hold " + partial + L" err=" + std::to_wstring(GetLastError()));
      return false;
    }
    if (expectedSha256.empty()) break;

    // The hash taken while the bytes were written, or else the held file
    // read again.
    std::string hash = running.Take();
    if (hash.empty()) hash = Sha256OfOpenFile(held.get(), nullptr, stopFlag);
    if (Stopped(stopFlag)) return false;
    if (hash.empty()) {
      NetLog(L"cannot read for hashing " + partial);
      return false;
    }
    if (SameHexDigest(hash, expectedSha256)) break;

    NetLog(L"sha256 mismatch " + relativeText + L" got " + FromUtf8(hash));
    FILE_DISPOSITION_INFO remove{TRUE};
    const bool removed = SetFileInformationByHandle(held.get(), FileDispositionInfo, &remove, sizeof(remove));
    held.reset();
    if (!removed) {
      UniqueFile file;
      if (OpenForWriteRetrying(partial, file)) TruncateFile(file.get());
    }
    if (download == 2) return false;
  }

  if (!ReplaceHeldFile(held.get(), target, stopFlag)) return false;
  progress.bytes_done.store(progress.bytes_total.load());
  return true;
}

bool PlaceStagedFile(StagedFile& staged, const std::wstring& target, TransferProgress& progress,
                     const std::atomic<bool>* stopFlag) {
  // Not flushed, as a downloaded partial file is not either (its handle has
  // no write access to flush): a killed launcher leaves the file whole; what
  // a power cut takes from any downloaded file, a repair finds.
  if (!ReplaceHeldFile(staged.part(), target, stopFlag, true)) return false;
  staged.Placed();
  const auto size = static_cast<std::int64_t>(staged.size());
  progress.bytes_total.store(size);
  progress.bytes_done.store(size);
  return true;
}

bool DownloadUrlToFile(std::string_view url, const std::wstring& target, TransferProgress& progress,
                       const std::atomic<bool>* stopFlag) {
  try {
    progress.bytes_total.store(0);
    progress.bytes_done.store(0);
    if (url.empty() || target.empty()) return false;
    CreateParentDirectories(target);
    const std::wstring partial = target + L".part";
    const std::vector<std::string> urls{std::string(url)};
    const int result = DownloadWithRetries(urls, partial, -1, true, progress, stopFlag);
    if (result != kTransferComplete || !ReplaceFile(partial, target, stopFlag)) return false;
    DeleteOwnFile(net_seams::FilePath(LongPath(partial + L".tag")));
    if (progress.bytes_total.load() == 0) progress.bytes_total.store(progress.bytes_done.load());
    return true;
  } catch (...) {
    return false;
  }
}

bool ReplaceFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>* stopFlag) {
  UniqueFile file(OpenOwnFile(net_seams::FilePath(LongPath(source)), GENERIC_READ, FILE_SHARE_READ));
  if (!file) {
    NetLog(L"replace failed " + target + L" err=" + std::to_wstring(GetLastError()));
    return false;
  }
  return ReplaceHeldFile(file.get(), target, stopFlag);
}

bool ReplaceHeldFile(HANDLE file, const std::wstring& target, const std::atomic<bool>* stopFlag,
                     bool folderHeld) {
  const std::wstring to = LongPath(target);
  const TryResult result = RetryWhileLocked(
      kReplaceRetry,
      [&] {
        const std::wstring& path = net_seams::FilePath(to);
        if (folderHeld ? RenameOwnFile(file, path) : MoveOwnFile(file, path)) return TryResult::kDone;
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
          // A read-only target refuses the move until its attribute is cleared.
          const DWORD attributes = GetFileAttributesW(net_seams::FilePath(to).c_str());
          if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(net_seams::FilePath(to).c_str(),
                               attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        } else if (!IsLockedError(error)) {
          NetLog(L"replace failed " + target + L" err=" + std::to_wstring(error));
        }
        return LockedOrFailed(error);
      },
      stopFlag);
  if (result == TryResult::kLocked) NetLog(L"replace gave up (locked) " + target);
  return result == TryResult::kDone;
}

}  // namespace nv
