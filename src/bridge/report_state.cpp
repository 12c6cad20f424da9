// ReportState measures the free space when the message is built, which needs
// the file-system helpers; the message itself comes from BuildStateJson.
#include "bridge/nv_api.h"
#include "sync/fs/fs_helpers.h"

namespace nv {

std::int64_t FreeBytesForPage(std::wstring_view folder) {
  const std::uint64_t free = FreeBytesForPath(folder);
  return free == kUnknownFreeBytes || free > static_cast<std::uint64_t>(INT64_MAX)
             ? -1
             : static_cast<std::int64_t>(free);
}

void ReportState(Screen screen, bool paused, bool checking) {
  const std::wstring folder = status.installDir.empty() ? std::wstring(kDefaultGameFolder)
                                                        : status.installDir;
  PostToPage(MessageType::kState,
             BuildStateJson(status, screen, ToUtf8(folder), FreeBytesForPage(folder),
                            {paused, checking}),
             screen);
}

}  // namespace nv
