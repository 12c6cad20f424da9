// Test support for the runtime loader: not for production code.
#pragma once

namespace nv {

// Test builds only: true makes the loader look where the shipped build does
// (the machine-wide install alone); false puts the test lookup back.
void SetShippedRuntimeLookupForTesting(bool shipped);

}  // namespace nv
