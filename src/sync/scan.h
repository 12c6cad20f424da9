// The folder scan: which entries of a content manifest must be downloaded,
// judged by size and last-write time against the file state where possible
// and by hashing otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/content_types.h"

namespace nv {

// What the disk says about one manifest path.
struct FileFacts {
  std::uint64_t size = 0;
  std::int64_t mtime = 0;  // FILETIME as a 64-bit value
};

// The scan's two questions to the disk, keyed by the manifest path text.
struct ScanProbe {
  // Nothing when the file is missing or is a folder.
  std::function<std::optional<FileFacts>(const std::string& path)> query;
  // 64 lower-case hex characters; empty when unreadable or stopped.
  std::function<std::string(const std::string& path)> hash;
};

// The scan's decisions. Entries to download come back in two runs, each in
// manifest order: those decided without hashing, then those found by hashing.
// Every computed hash is recorded in state; paths the manifest does not name
// are left alone. A raised stopFlag ends the scan with what was found so far.
std::vector<ManifestEntry> ScanWithProbe(const ContentManifest& manifest, FileState& state,
                                         bool verifyAll, const std::atomic<bool>* stopFlag,
                                         const ScanProbe& probe);

// ScanWithProbe over the files below folder. progressCounter is set to 0 and
// then counts the hashed bytes; both pointers may be null.
std::vector<ManifestEntry> ScanFiles(std::wstring_view folder, const ContentManifest& manifest,
                                     FileState& state, bool verifyAll,
                                     std::atomic<std::int64_t>* progressCounter,
                                     const std::atomic<bool>* stopFlag);

}  // namespace nv
