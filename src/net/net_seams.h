// Test seams of the transfers. Production never sets them: zero and null mean
// the built-in values (15 s text fetches, 20 s transfers, real backoff pauses).
// Tests shorten a stall, record a pause or watch the file paths through these
// and nothing else.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace nv::net_seams {

inline constexpr std::uint32_t kFetchTimeoutMs = 15000;
inline constexpr std::uint32_t kTransferTimeoutMs = 20000;

extern std::atomic<std::uint32_t> fetchTimeoutMs;
extern std::atomic<std::uint32_t> transferTimeoutMs;

// Replaces the pause between passes over the mirrors; gets the pause length.
using PauseFunction = void (*)(std::uint32_t ms, const std::atomic<bool>* stopFlag);
extern std::atomic<PauseFunction> backoffPause;

// Sees every path the transfers hand to a file call, as handed over (Wine
// opens long paths without the \\?\ prefix, so tests check them here).
using FilePathObserver = void (*)(const std::wstring& path);
extern std::atomic<FilePathObserver> filePathSeen;

// The path for a file call, shown to the observer first.
inline const std::wstring& FilePath(const std::wstring& path) {
  if (FilePathObserver observer = filePathSeen.load()) observer(path);
  return path;
}

inline std::uint32_t FetchTimeoutMs() {
  const std::uint32_t v = fetchTimeoutMs.load();
  return v ? v : kFetchTimeoutMs;
}
inline std::uint32_t TransferTimeoutMs() {
  const std::uint32_t v = transferTimeoutMs.load();
  return v ? v : kTransferTimeoutMs;
}

}  // namespace nv::net_seams
