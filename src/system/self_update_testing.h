// Test support for the self-update: not for production code.
#pragma once

#include <string>
#include <string_view>

#include "system/self_update.h"

namespace nv {

// The two steps a test can make fail; null members use the real ones.
struct SelfUpdateSeams {
  bool (*moveFile)(std::wstring_view from, std::wstring_view to) = nullptr;
  bool (*startProcess)(const std::wstring& exePath) = nullptr;
};
SelfUpdateSeams& SelfUpdateSeamsForTests();

}  // namespace nv
