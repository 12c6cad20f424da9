// The stop request every long loop polls: the window thread raises it for a
// pause, a cancel or the end of the launcher; the running job, the sync
// engine and the prerequisite installers read it. It sits below everything
// that polls it, so none of them needs the job engine.
#pragma once

#include <atomic>
#include <cstdint>

namespace nv {

enum StopReason : std::int32_t {
  kStopNone = 0,
  kStopPause = 1,
  kStopCancel = 2,
  kStopQuit = 3,
};

extern std::atomic<bool> stopFlag;
extern std::atomic<std::int32_t> stopReason;

// The reason first, then the flag, so a job that sees the flag also sees the
// reason.
void RequestStop(StopReason reason);

}  // namespace nv
