// Sizes are unsigned 64-bit where they are counted (manifests, the disk) and
// signed 64-bit where they are reported (the status record, the page's
// numbers): the one way from the first to the second.
#pragma once

#include <cstdint>
#include <limits>

namespace nv {

// value, or the largest signed 64-bit number when it does not fit: a hostile
// manifest's total must not turn negative on the page.
constexpr std::int64_t ClampToInt64(std::uint64_t value) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return value > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(value);
}

}  // namespace nv
