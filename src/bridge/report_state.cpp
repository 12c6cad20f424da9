// ReportState measures the free space when the message is built, which needs
// the file-system helpers; the message itself comes from BuildStateJson.
#include "bridge/nv_api.h"
#include "sync/fs/clamp.h"
#include "sync/fs/fs_helpers.h"

namespace nv {

std::int64_t FreeBytesForPage(std::wstring_view folder) {
  const std::uint64_t free = FreeBytesForPath(folder);
  return free == kUnknownFreeBytes ? -1 : ClampToInt64(free);
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
