// ReportState measures the free space when the message is built, which needs
// the file-system helpers; the message itself comes from BuildStateJson.
#include "bridge/nv_api.h"
#include "sync/fs_helpers.h"

namespace nv {

void ReportState(std::string_view stateName, bool paused, bool checking) {
  const std::wstring folder = status.installDir.empty() ? std::wstring(kDefaultGameFolder)
                                                        : status.installDir;
  const std::uint64_t free = FreeBytesForPath(folder);
  const std::int64_t freeBytes = free == kUnknownFreeBytes || free > INT64_MAX
                                     ? -1
                                     : static_cast<std::int64_t>(free);
  PostToPage("state",
             BuildStateJson(status, stateName, ToUtf8(folder), freeBytes, {paused, checking}),
             std::string(stateName));
}

}  // namespace nv
