// Test support for the download attempt: not for production code.
#pragma once

#include <cstdint>

namespace nv {

// Shortens the attempts' time-outs so a test need not wait out a stall; 0
// puts kTransferTimeoutMs back.
void SetTransferTimeoutForTesting(std::uint32_t ms);

}  // namespace nv
