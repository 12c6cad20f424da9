// The scan's decision rules, free of any file-system call.
#include "sync/file_state.h"
#include "sync/fs/stop_flag.h"
#include "sync/scan.h"

namespace nv {

std::vector<ManifestEntry> ScanWithProbe(const ContentManifest& manifest, FileState& state,
                                         bool verifyAll, const std::atomic<bool>* stopFlag,
                                         const ScanProbe& probe) {
  std::vector<ManifestEntry> download;
  struct Queued {
    const ManifestEntry* entry;
    std::int64_t mtime;
  };
  std::vector<Queued> queued;

  for (const ManifestEntry& entry : manifest.entries) {
    if (Stopped(stopFlag)) return download;
    const std::optional<FileFacts> facts = probe.query(entry.path);
    if (!facts) {
      download.push_back(entry);
      InvalidateFileState(state, entry.path);
      continue;
    }
    if (entry.userFile) {
      // The player's own copy: whatever it holds now is accepted as it is.
      if (!FindFileStateEntry(state, entry.path))
        RecordFileState(state, entry.path, static_cast<std::int64_t>(facts->size), facts->mtime, {});
      continue;
    }
    if (facts->size != entry.size) {
      download.push_back(entry);
      InvalidateFileState(state, entry.path);
      continue;
    }
    const FileStateEntry* known = FindFileStateEntry(state, entry.path);
    if (!verifyAll && known && !known->sha256.empty() &&
        known->size == static_cast<std::int64_t>(facts->size) && known->mtime == facts->mtime) {
      if (known->sha256 != entry.sha256) download.push_back(entry);
      continue;
    }
    queued.push_back({&entry, facts->mtime});
  }

  for (const Queued& item : queued) {
    if (Stopped(stopFlag)) return download;
    std::string hash = probe.hash(item.entry->path);
    if (Stopped(stopFlag)) return download;  // a hash cut short proves nothing
    if (hash.empty()) {
      download.push_back(*item.entry);
      InvalidateFileState(state, item.entry->path);
      continue;
    }
    if (hash != item.entry->sha256) download.push_back(*item.entry);
    RecordFileState(state, item.entry->path, static_cast<std::int64_t>(item.entry->size),
                    item.mtime, std::move(hash));
  }
  return download;
}

}  // namespace nv
