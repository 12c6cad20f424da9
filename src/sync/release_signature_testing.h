// Test support for signed releases: not for production code.
#pragma once

#include <string_view>

#include "sync/release_signature.h"

namespace nv {

// Pins other keys (the build setting's syntax; empty: none) in place of the
// build's own, for the rest of the process.
void PinReleaseKeysForTests(std::string_view keysText);

}  // namespace nv
