// The check every long loop makes between two steps: the file helpers, the
// scan and the transfers take the stop request as an optional flag (nullptr:
// nothing can stop them), so none of them needs to know who raises it.
#pragma once

#include <atomic>

namespace nv {

inline bool Stopped(const std::atomic<bool>* stopFlag) { return stopFlag && stopFlag->load(); }

}  // namespace nv
