// The folder scan on disk: one attribute query per file, hashing only what
// the file state cannot vouch for.
#include "sync/scan.h"

#include <windows.h>

#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"

namespace nv {

std::vector<ManifestEntry> ScanFiles(std::wstring_view folder, const ContentManifest& manifest,
                                     FileState& state, bool verifyAll,
                                     std::atomic<std::int64_t>* progressCounter,
                                     const std::atomic<bool>* stopFlag) {
  if (progressCounter) progressCounter->store(0);
  ScanProbe probe;
  probe.query = [folder](const std::string& path) -> std::optional<FileFacts> {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(LongPath(JoinGamePath(folder, path)).c_str(), GetFileExInfoStandard,
                              &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return std::nullopt;
    FileFacts facts;
    facts.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    facts.mtime = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    return facts;
  };
  probe.hash = [folder, progressCounter, stopFlag](const std::string& path) {
    return Sha256OfFile(JoinGamePath(folder, path), progressCounter, stopFlag);
  };
  return ScanWithProbe(manifest, state, verifyAll, stopFlag, probe);
}

}  // namespace nv
