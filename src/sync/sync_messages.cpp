// The sync engine's decision on free space: pure, so it is checked on every
// flavour.
#include <string>

#include "bridge/player_texts.h"
#include "sync/sync_engine.h"

namespace nv {

std::string DiskSpaceErrorText(std::uint64_t needed, std::uint64_t freeBytes) {
  // An unknown free size (all bits set) skips the test. needed + margin is
  // compared without the sum, which could wrap around.
  if (freeBytes == ~std::uint64_t{0}) return {};
  if (needed <= freeBytes && freeBytes - needed >= kDiskMargin) return {};
  auto shown = [](std::uint64_t bytes) {
    return FormatSize(bytes > static_cast<std::uint64_t>(INT64_MAX)
                          ? INT64_MAX
                          : static_cast<std::int64_t>(bytes));
  };
  return FillText(kNotEnoughDiskSpaceText, {shown(needed), shown(freeBytes)});
}

}  // namespace nv
