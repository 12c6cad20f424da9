#include "net/net_seams.h"

namespace nv::net_seams {

std::atomic<FilePathObserver> filePathSeen{nullptr};

}  // namespace nv::net_seams
