#include "net/net_seams.h"

namespace nv::net_seams {

std::atomic<std::uint32_t> fetchTimeoutMs{0};
std::atomic<std::uint32_t> transferTimeoutMs{0};
std::atomic<PauseFunction> backoffPause{nullptr};
std::atomic<FilePathObserver> filePathSeen{nullptr};

}  // namespace nv::net_seams
