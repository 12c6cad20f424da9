// The sync engine's texts built around numbers: pure, so they are checked on
// every flavour.
#include <string>

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
  return "Not enough disk space: the download needs " + shown(needed) + ", the drive has " +
         shown(freeBytes) + " free. Free some space or pick another folder.";
}

std::string ChangedAfterDownloadText(std::size_t count) {
  return std::to_string(count) +
         " file(s) were changed or removed right after downloading - usually an antivirus. Add "
         "the game folder as an exception, then use Repair.";
}

}  // namespace nv
