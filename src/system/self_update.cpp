#include "system/self_update.h"
#include "system/self_update_testing.h"

#include <windows.h>

#include <atomic>

#include "bridge/nv_api.h"
#include "net/http_client.h"
#include "nv_config.h"
#include "net/transfer.h"
#include "sync/fs/ascii_text.h"
#include "sync/fs/authenticode.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/process_start.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"
#include "sync/manifest.h"
#include "sync/release_signature.h"
#include "system/launcher_manifest.h"
#include "system/shell_files.h"

namespace nv {

namespace {

SelfUpdateSeams seams;

// The build that started a new one is still ending (its shutdown waits up
// to 5 s for a job) and holds its image until then: about 8 s.
constexpr RetryBudget kHandOverRetry{33, 250};

void DeleteQuietly(const std::wstring& path) { DeleteFileW(LongPath(path).c_str()); }

// The new executable with this process's own command line, unchanged.
bool StartWithOwnCommandLine(const std::wstring& exePath) {
  if (seams.startProcess) return seams.startProcess(exePath);
  return static_cast<bool>(StartProcess(exePath, GetCommandLineW()));
}

// With pinned release keys, a launcher manifest counts only when the studio
// signed it and it offers no older launcher than this one: otherwise a
// mirror could hand every player an elevated program, or an old build with
// a known flaw.
bool IsTrustedLauncherManifest(const std::string& url, const std::string& text) {
  const ReleaseKeys& keys = PinnedReleaseKeys();
  if (!keys.required) return true;
  std::string signature;
  return FetchText(url + ".sig", signature) && VerifyReleaseSignature(text, signature, keys.keys) &&
         !IsRollback(ParseManifest(text).version, config::kLauncherVersion);
}

// The first mirror whose launcher manifest names a usable launcher entry.
bool FindOfferedLauncher(const std::vector<std::string>& mirrors, LauncherEntry& entry,
                         std::string& answeringBase) {
  for (const std::string& base : mirrors) {
    const std::string url = base + "/launcher/manifest.txt";
    std::string text;
    if (FetchText(url, text) && IsTrustedLauncherManifest(url, text) && FindLauncherEntry(text, entry)) {
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

bool SignedBySameSigner(const std::wstring& running, const std::wstring& offered, HANDLE offeredFile) {
  const std::optional<AuthenticodeSigner> own = VerifiedSigner(running);
  if (!own) return true;  // a development build, signed by nobody
  // The signing key, not the certificate's thumbprint: a code-signing
  // certificate is renewed every year or two (new thumbprint, often the same
  // key), and players who skipped a release must still update across it. A
  // name alone would take any certificate a CA issued under that name.
  const std::optional<AuthenticodeSigner> offer = VerifiedSigner(offered, offeredFile);
  return offer && offer->publicKey == own->publicKey;
}

void RemoveSelfUpdateLeftovers() {
  const std::wstring self = OwnExePath();
  if (self.empty()) return;
  const std::wstring old = self + L".old";
  if (IsRegularFile(old)) {
    // The previous process may not have let go of its image yet. An older
    // build left it; this one never makes it.
    RetryWhileLocked(kOldLauncherRetry, [&] {
      if (DeleteFileW(LongPath(old).c_str())) return TryResult::kDone;
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND ? TryResult::kDone : LockedOrFailed(error);
    });
  }
  // A download cut short is fetched again whole: the mirror may offer
  // another build by now.
  DeleteQuietly(self + L".new.part");
}

bool CompleteSelfUpdateHandOver() {
  const std::wstring running = OwnExePath();
  const std::wstring_view suffix = L".new";
  if (running.size() <= suffix.size() ||
      AsciiLower(std::wstring_view(running).substr(running.size() - suffix.size())) != suffix)
    return false;
  const std::wstring name = running.substr(0, running.size() - suffix.size());
  if (AsciiLower(std::wstring_view(name).substr(name.size() < 4 ? 0 : name.size() - 4)) != L".exe")
    return false;
  if (seams.beforeHandOver) seams.beforeHandOver();
  // One rename that replaces: the launcher's name holds the old build until
  // this call and the new one after it, never nothing, whenever the
  // processes die. Windows renames a running image (this one) but keeps the
  // name of an image that still runs, so the build that started this one
  // must have ended: it is waited for as a lock.
  const TryResult moved = RetryWhileLocked(kHandOverRetry, [&] {
    if (MoveFileExW(LongPath(running).c_str(), LongPath(name).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return TryResult::kDone;
    return LockedOrFailed(GetLastError());
  });
  if (moved != TryResult::kDone) return false;  // runs as ".new"; the next start offers it again
  SetOwnExePath(name);
  return true;
}

bool SelfUpdate(const std::vector<std::string>& mirrors, const std::atomic<bool>* stop) {
  // What an earlier update left beside the running executable goes, whatever
  // this run decides; a complete ".new" stays until the offer is known.
  const std::wstring self = OwnExePath();
  if (self.empty()) return false;
  RemoveSelfUpdateLeftovers();
  const std::wstring fresh = self + L".new";

  // The player asked to keep this build.
  if (std::wstring_view(GetCommandLineW()).find(L"--no-self-update") != std::wstring_view::npos) {
    DeleteQuietly(fresh);
    return false;
  }

  // The mirror whose manifest offered the build is asked for it first: it is
  // the one known to hold it.
  LauncherEntry entry;
  std::string answeringBase;
  if (!FindOfferedLauncher(mirrors, entry, answeringBase)) {
    DeleteQuietly(fresh);
    return false;
  }
  const std::vector<std::string> order = DownloadOrder(mirrors, answeringBase);

  // Up to date when the running file has the offered hash.
  const std::string ownHash = Sha256OfFile(self, nullptr, nullptr);
  if (ownHash.empty() || ownHash == entry.sha256) {
    DeleteQuietly(fresh);
    return false;
  }

  // The new build beside the running one, verified. A complete one that a
  // closed launcher left is the offered build when its hash says so.
  // Closing the launcher cuts the download short.
  const bool kept = IsRegularFile(fresh) && Sha256OfFile(fresh, nullptr, nullptr) == entry.sha256;
  if (!kept) {
    DeleteQuietly(fresh);
    TransferProgress progress;
    if (!DownloadManifestEntry(order, std::string("launcher/") + kLauncherFileName, fresh, entry.size,
                               entry.sha256, progress, stop)) {
      if (!Stopped(stop)) DeleteQuietly(fresh);
      return false;
    }
  }
  // Closed meanwhile: no new window comes back; the next start uses ".new".
  if (Stopped(stop)) return false;

  // A signed launcher starts only a build of its own signer. The file stays
  // open without write or delete sharing from the check to the start, so the
  // file checked is the file started.
  UniqueFile held(CreateFileW(LongPath(fresh).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held || !SignedBySameSigner(self, fresh, held.get())) {
    DeleteQuietly(fresh);
    return false;
  }

  // The new build starts under ".new" and takes the launcher's name itself
  // once this process has ended (CompleteSelfUpdateHandOver): nothing is
  // moved while this one runs, so no moment leaves the name empty.
  if (StartWithOwnCommandLine(fresh)) return true;
  held.reset();  // it shares no delete
  DeleteQuietly(fresh);
  return false;
}

}  // namespace nv
