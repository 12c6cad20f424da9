// The content records shared by the manifest parser, the file-state file, the
// folder scan, the sync engine and the transfers. Pure data: no Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nv {

struct ManifestEntry {
  std::string path;     // UTF-8, '/' separators, case kept as written
  std::uint64_t size = 0;
  std::string sha256;   // 64 lower-case hex characters
  bool userFile = false;  // "u" flag: downloaded only when missing, never checked
};

struct ContentManifest {
  std::string version;      // opaque, compared for equality only
  std::uint64_t total = 0;  // the "total" line; 0 when absent
  std::vector<ManifestEntry> entries;
  bool valid = false;
};

struct FileStateEntry {
  std::string path;  // the manifest's path text (case-sensitive key)
  std::int64_t size = 0;
  std::int64_t mtime = 0;  // FILETIME as a 64-bit value
  std::string sha256;      // 64 lower-case hex characters, or empty
};

// The entries and their path index change only through the functions of
// sync/file_state.h, which keep the two in step: nothing outside can reorder,
// drop or rename an entry behind the index's back.
class FileState {
 public:
  std::string version;  // the client content version last completely verified

  // In the order they were recorded; new entries are appended.
  const std::vector<FileStateEntry>& entries() const { return entries_; }

 private:
  friend class FileStateEditor;

  std::vector<FileStateEntry> entries_;
  // Path -> position: an open-addressing table of position + 1 (0 = free)
  // hashed over entries_[position].path, so no path is stored twice; a state
  // of 100,000 files costs 1 MB here instead of a copy of every path.
  std::vector<std::uint32_t> index_;
};

}  // namespace nv
