// What the page and its web view hand the launcher, as addresses and message
// texts taken from the input (UTF-16, two bytes a unit), each also placed
// under the page origin and behind a web scheme: only the page origin's own
// messages are dispatched, only its addresses stay in the window and are
// served from the resources, and whatever leaves for the browser is opened as
// a web link, by the desktop shell first.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/dispatcher/open_target.h"
#include "shell/shell_rules.h"
#include "sync/fs/ascii_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckAddress(const std::wstring& uri, const std::wstring& text) {
  const bool underOrigin = uri.starts_with(nv::kPageOrigin);
  const nv::NavigationAction navigation = nv::DecideNavigation(uri);
  Check((navigation == nv::NavigationAction::kAllow) == underOrigin);

  const nv::OpenKind kind = nv::ClassifyOpenTarget(uri);
  Check((kind == nv::OpenKind::kNothing) == uri.empty());
  Check(kind != nv::OpenKind::kWebLink || nv::StartsWithIgnoringAsciiCase(uri, L"https://") ||
        nv::StartsWithIgnoringAsciiCase(uri, L"http://"));
  if (navigation == nv::NavigationAction::kBlockAndOpenExternally) Check(kind == nv::OpenKind::kWebLink);
  const std::vector<nv::OpenRoad> roads = nv::OpenRoadsFor(kind);
  Check(roads.empty() == (kind == nv::OpenKind::kNothing));
  Check(roads.empty() || roads.front() == nv::OpenRoad::kDesktopShell);

  const auto resource = nv::ResourceForUri(uri);
  if (resource) {
    Check(underOrigin);
    const std::wstring_view type = resource->contentType;
    Check((resource->id == 201 && type == L"text/html; charset=utf-8") ||
          (resource->id == 202 && type == L"image/png") || (resource->id == 203 && type == L"image/jpeg"));
  }
  // A query or a fragment never changes which resource a request names.
  const auto withQuery = nv::ResourceForUri(uri + L"?q#f");
  Check(withQuery.has_value() == resource.has_value() && (!resource || withQuery->id == resource->id));

  const bool accepted = nv::IsAcceptedPageMessage(uri, text);
  Check(accepted == (underOrigin && !text.empty() && text.size() <= 4095));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  CheckAddress(text, text);
  CheckAddress(nv::kPageOrigin + text, text);
  CheckAddress(L"https://" + text, text);
  return 0;
}
