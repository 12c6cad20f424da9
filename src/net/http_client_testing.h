// Test support for the HTTP client: not for production code.
#pragma once

#include <cstdint>

namespace nv {

// Shortens the text fetches' time-outs so a test need not wait out a stall;
// 0 puts kFetchTimeoutMs back.
void SetFetchTimeoutForTesting(std::uint32_t ms);

}  // namespace nv
