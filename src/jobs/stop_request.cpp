#include "jobs/stop_request.h"

namespace nv {

std::atomic<bool> stopFlag{false};
std::atomic<std::int32_t> stopReason{kStopNone};

void RequestStop(StopReason reason) {
  stopReason.exchange(reason);
  stopFlag.exchange(true);
}

}  // namespace nv
