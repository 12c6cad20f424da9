// Test support for the job engine: not for production code.
#pragma once

#include <string>

#include "jobs/job_engine.h"

namespace nv {

// The table RunJob dispatches through, filled with the launcher's jobs; tests
// put jobs of their own in. An empty entry runs nothing.
using JobFunction = void (*)(const JobArgument& argument);
struct JobTable {
  JobFunction jobs[kJobCount + 1] = {};  // index = job id; 0 unused
  // Matches the game's data list to the HD switch and the archives present
  // after a job.
  void (*applyClientDataList)(const std::wstring& folder, bool hdOn) = nullptr;
  // The registered, installed game's folder, or empty: only that one is matched.
  std::wstring (*installedGameFolder)() = nullptr;
};
JobTable& Jobs();

}  // namespace nv
