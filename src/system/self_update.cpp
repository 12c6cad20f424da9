#include "system/self_update.h"
#include "system/self_update_testing.h"

#include <windows.h>

#include <atomic>

#include "bridge/nv_api.h"
#include "net/http_client.h"
#include "net/transfer.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/process_start.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"
#include "system/launcher_manifest.h"
#include "system/shell_files.h"

namespace nv {

namespace {

SelfUpdateSeams seams;

bool Move(std::wstring_view from, std::wstring_view to) {
  return seams.moveFile ? seams.moveFile(from, to) : MoveFileRetrying(from, to);
}

bool MoveBack(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void DeleteQuietly(const std::wstring& path) { DeleteFileW(LongPath(path).c_str()); }

// The new executable with this process's own command line, unchanged.
bool StartWithOwnCommandLine(const std::wstring& exePath) {
  if (seams.startProcess) return seams.startProcess(exePath);
  return static_cast<bool>(StartProcess(exePath, GetCommandLineW()));
}

// The first mirror whose launcher manifest names a usable launcher entry.
bool FindOfferedLauncher(const std::vector<std::string>& mirrors, LauncherEntry& entry,
                         std::string& answeringBase) {
  for (const std::string& base : mirrors) {
    std::string text;
    if (FetchText(base + "/launcher/manifest.txt", text) && FindLauncherEntry(text, entry)) {
      answeringBase = base;
      return true;
    }
  }
  return false;
}

// The answering mirror first, then every other one in list order.
std::vector<std::string> DownloadOrder(const std::vector<std::string>& mirrors,
                                       const std::string& answeringBase) {
  std::vector<std::string> order{answeringBase};
  for (const std::string& base : mirrors)
    if (base != answeringBase) order.push_back(base);
  return order;
}

}  // namespace

SelfUpdateSeams& SelfUpdateSeamsForTests() { return seams; }

void RemoveSelfUpdateLeftovers() {
  const std::wstring self = OwnExePath();
  if (self.empty()) return;
  const std::wstring old = self + L".old";
  if (IsRegularFile(old)) {
    // The previous process may not have let go of its image yet.
    RetryWhileLocked(kOldLauncherRetry, [&] {
      if (DeleteFileW(LongPath(old).c_str())) return TryResult::kDone;
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND ? TryResult::kDone : LockedOrFailed(error);
    });
  }
  const std::wstring fresh = self + L".new";
  if (IsRegularFile(fresh)) DeleteQuietly(fresh);
}

bool SelfUpdate(const std::vector<std::string>& mirrors) {
  // What an earlier update left beside the running executable goes, whatever
  // this run decides.
  const std::wstring self = OwnExePath();
  if (self.empty()) return false;
  RemoveSelfUpdateLeftovers();

  // The player asked to keep this build.
  if (std::wstring_view(GetCommandLineW()).find(L"--no-self-update") != std::wstring_view::npos)
    return false;

  // The mirror whose manifest offered the build is asked for it first: it is
  // the one known to hold it.
  LauncherEntry entry;
  std::string answeringBase;
  if (!FindOfferedLauncher(mirrors, entry, answeringBase)) return false;
  const std::vector<std::string> order = DownloadOrder(mirrors, answeringBase);

  // Up to date when the running file has the offered hash.
  const std::string ownHash = Sha256OfFile(self, nullptr, nullptr);
  if (ownHash.empty() || ownHash == entry.sha256) return false;

  // The new build beside the running one, verified; its own progress and a
  // stop flag nothing raises, so pause and quit do not cut it short.
  const std::wstring fresh = self + L".new";
  const std::wstring old = self + L".old";
  TransferProgress progress;
  const std::atomic<bool> neverStop{false};
  if (!DownloadManifestEntry(order, std::string("launcher/") + kLauncherFileName, fresh, entry.size,
                             entry.sha256, progress, &neverStop)) {
    DeleteQuietly(fresh);
    return false;
  }

  // Windows lets a running executable be moved aside.
  if (!Move(self, old)) {
    DeleteQuietly(fresh);
    return false;
  }
  // The new build takes the name; on failure the running one gets it back.
  if (!Move(fresh, self)) {
    MoveBack(old, self);
    DeleteQuietly(fresh);
    return false;
  }
  // Started: this process closes. Not started: the moves are undone.
  if (StartWithOwnCommandLine(self)) return true;
  if (Move(self, fresh) && MoveBack(old, self)) DeleteQuietly(fresh);
  return false;
}

}  // namespace nv
