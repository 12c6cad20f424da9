// Test support for the sync engine: not for production code.
#pragma once

#include "sync/sync_engine.h"

namespace nv {

// Everything the engine needs from outside the content code, replaceable by
// tests (and only by them). Null members use the built-in operation.
struct SyncSeams {
  std::vector<std::string> (*loadMirrorList)() = nullptr;
  bool (*fetchText)(std::string_view url, std::string& body) = nullptr;
  bool (*downloadManifestEntry)(const std::vector<std::string>& mirrors,
                                std::string_view relativePath, const std::wstring& target,
                                std::int64_t size, std::string_view sha256,
                                TransferProgress& progress,
                                const std::atomic<bool>* stopFlag) = nullptr;
  std::uint64_t (*freeBytesForPath)(std::wstring_view path) = nullptr;
  bool (*isGameRunning)() = nullptr;
};
SyncSeams& SyncSeamsForTests();
// Tests only: forget the mirror list so the next EnsureMirrors loads it again.
void ClearMirrorsForTests();

}  // namespace nv
