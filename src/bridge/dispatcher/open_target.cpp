#include "bridge/dispatcher/open_target.h"

#include "sync/fs/ascii_text.h"

namespace nv {

OpenKind ClassifyOpenTarget(std::wstring_view target) {
  if (target.empty()) return OpenKind::kNothing;
  if (StartsWithIgnoringAsciiCase(target, L"https://") || StartsWithIgnoringAsciiCase(target, L"http://"))
    return OpenKind::kWebLink;
  return OpenKind::kFolder;
}

std::vector<OpenRoad> OpenRoadsFor(OpenKind kind) {
  if (kind == OpenKind::kNothing) return {};
  return {OpenRoad::kDesktopShell, OpenRoad::kOwnProcess};
}

}  // namespace nv
