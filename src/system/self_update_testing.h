// Test support for the self-update: not for production code.
#pragma once

#include <string>
#include <string_view>

#include "system/self_update.h"

namespace nv {

// A start a test can make fail, and a pause a test can put before the
// hand-over's rename to aim a kill at it; null members use the real ones.
struct SelfUpdateSeams {
  bool (*startProcess)(const std::wstring& exePath) = nullptr;
  void (*beforeHandOver)() = nullptr;
};
SelfUpdateSeams& SelfUpdateSeamsForTests();

}  // namespace nv
