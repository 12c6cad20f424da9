// One file's transfer as the progress report sees it: updated by the
// transfer many times a second without a lock, read by the window thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace nv {

struct TransferProgress {
  std::atomic<std::int64_t> bytes_done{0};
  std::atomic<std::int64_t> bytes_total{0};
  std::atomic<std::int64_t> bytes_per_second{0};
  void Reset() noexcept {
    bytes_done = 0;
    bytes_total = 0;
    bytes_per_second = 0;
  }
};

}  // namespace nv
