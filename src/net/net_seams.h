// Test seams of the transfers. Production never sets them: zero and null mean
// the built-in values (15 s text fetches, 20 s transfers, real backoff pauses).
// Tests shorten a stall or record a pause through these and nothing else.
#pragma once

#include <atomic>
#include <cstdint>

namespace nv::net_seams {

inline constexpr std::uint32_t kFetchTimeoutMs = 15000;
inline constexpr std::uint32_t kTransferTimeoutMs = 20000;

extern std::atomic<std::uint32_t> fetchTimeoutMs;
extern std::atomic<std::uint32_t> transferTimeoutMs;

// Replaces the pause between passes over the mirrors; gets the pause length.
using PauseFunction = void (*)(std::uint32_t ms, const std::atomic<bool>* stopFlag);
extern std::atomic<PauseFunction> backoffPause;

inline std::uint32_t FetchTimeoutMs() {
  const std::uint32_t v = fetchTimeoutMs.load();
  return v ? v : kFetchTimeoutMs;
}
inline std::uint32_t TransferTimeoutMs() {
  const std::uint32_t v = transferTimeoutMs.load();
  return v ? v : kTransferTimeoutMs;
}

}  // namespace nv::net_seams
