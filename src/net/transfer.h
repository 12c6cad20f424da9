// Reliable file transfers on top of single download attempts: the mirror
// list, attempts over several mirrors with pauses, SHA-256 verification and
// moving the finished file over its target.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/download.h"
#include "net/transfer_progress.h"

// <windows.h> maps ReplaceFile to ReplaceFileW; ours is nv::ReplaceFile.
// Code that wants the Win32 call spells it ReplaceFileW.
#ifdef ReplaceFile
#undef ReplaceFile
#endif

namespace nv {

class StagedFile;

// An attempt that brought at least this much counts as progress.
inline constexpr std::uint64_t kProgressBytes = 262144;
inline constexpr int kMaxAttempts = 200;

// The process-wide mirror list: filled once by the sync engine through
// LoadMirrorList before the first transfer, read-only afterwards (worker thread).
extern std::vector<std::string> mirrorList;

// The built-in download base URL, trimmed: the fallback mirror.
std::string BuiltinDownloadBaseUrl();

// The mirror list a loader made, or the built-in base URL alone when it has
// no entry: every mirror list the transfers get has at least one. Its
// entries were trimmed when the list was made (ParseMirrorList,
// BuiltinDownloadBaseUrl); the transfers and the self-update take them as
// they are.
std::vector<std::string> MirrorsOrBuiltin(std::vector<std::string> mirrors);

// mirrors.txt from the built-in download server, parsed and shuffled; the
// built-in base URL alone when the file is unreachable or lists nothing.
std::vector<std::string> LoadMirrorList();

// Attempts over the URLs in turn, resuming the same partial file, with
// growing pauses after fruitless passes. 0 complete, 1 failed, 2 local file
// error, 3 stopped. With a hash, every attempt keeps it (see DownloadAttempt).
int DownloadWithRetries(const std::vector<std::string>& urls, const std::wstring& partialPath,
                        std::int64_t expectedSize, bool useValidator, TransferProgress& progress,
                        const std::atomic<bool>* stopFlag, PartialFileHash* hash = nullptr);

// A file of a content manifest: relativePath below every mirror, verified
// against expectedSha256 (hex, any case; empty: not verified) and moved over
// target. True when target now holds the verified file. The bytes are hashed
// as they are written; the file is read again only when that hash cannot be
// trusted. Paths are plain: the \\?\ prefix is applied at each file call.
bool DownloadManifestEntry(const std::vector<std::string>& mirrors, std::string_view relativePath,
                           const std::wstring& target, std::int64_t expectedSize,
                           std::string_view expectedSha256, TransferProgress& progress,
                           const std::atomic<bool>* stopFlag);

// Places a file fetched ahead (verified and staged in its partial file) the
// way a download is placed: moved over target by its handle. True when
// target now holds it; progress then shows the file done.
bool PlaceStagedFile(StagedFile& staged, const std::wstring& target, TransferProgress& progress,
                     const std::atomic<bool>* stopFlag);

bool DownloadUrlToFile(std::string_view url, const std::wstring& target, TransferProgress& progress,
                       const std::atomic<bool>* stopFlag);

// Moves source over target (replace, write through), clearing a read-only
// target and waiting for one another program holds (kReplaceRetry).
// The file is opened (not through a link, write and delete sharing denied)
// and moved by handle, as ReplaceHeldFile does.
bool ReplaceFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>* stopFlag);
// The same for a file held open with DELETE access. folderHeld: the caller
// holds target's folder (HeldFolder), which needs no check of its own.
bool ReplaceHeldFile(HANDLE file, const std::wstring& target, const std::atomic<bool>* stopFlag,
                     bool folderHeld = false);

}  // namespace nv
