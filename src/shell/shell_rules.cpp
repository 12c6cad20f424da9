#include "shell/shell_rules.h"

#include <algorithm>

#include "bridge/player_texts.h"
#include "sync/fs/ascii_text.h"

namespace nv {

namespace {

constexpr int kBaseWidth = 960;
constexpr int kBaseHeight = 600;
constexpr int kBaseCornerRadius = 28;
constexpr std::size_t kMaxCommandUnits = 4095;

}  // namespace

bool HasSwitchIn(const std::vector<std::wstring>& args, std::wstring_view name) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (EqualsIgnoringAsciiCase(args[i], name)) return true;
  }
  return false;
}

bool IsMinimizedShowCommand(int showCommand) { return showCommand == 2 || showCommand == 6 || showCommand == 7; }

int ScaleForDpi(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  return static_cast<int>((product + 48) / 96);
}

WindowPlacement PlaceInWorkArea(int dpi, const ScreenRect& workArea) {
  WindowPlacement placement;
  placement.width = ScaleForDpi(kBaseWidth, dpi);
  placement.height = ScaleForDpi(kBaseHeight, dpi);
  const int areaWidth = workArea.right - workArea.left;
  const int areaHeight = workArea.bottom - workArea.top;
  placement.x = workArea.left + std::max(0, (areaWidth - placement.width) / 2);
  placement.y = workArea.top + std::max(0, (areaHeight - placement.height) / 2);
  return placement;
}

int CornerRadiusForDpi(int dpi) { return ScaleForDpi(kBaseCornerRadius, dpi); }

bool IsUnderPageOrigin(std::wstring_view uri) { return uri.starts_with(kPageOrigin); }

bool IsAcceptedPageMessage(std::wstring_view source, std::wstring_view text) {
  return IsUnderPageOrigin(source) && !text.empty() && text.size() <= kMaxCommandUnits;
}

bool IsWebAddress(std::wstring_view uri) { return uri.starts_with(L"https://") || uri.starts_with(L"http://"); }

NavigationAction DecideNavigation(std::wstring_view uri) {
  if (IsUnderPageOrigin(uri)) return NavigationAction::kAllow;
  return IsWebAddress(uri) ? NavigationAction::kBlockAndOpenExternally : NavigationAction::kBlock;
}

std::optional<PageResource> ResourceForUri(std::wstring_view uri) {
  if (!IsUnderPageOrigin(uri)) return std::nullopt;
  std::wstring_view rest = uri.substr(std::wstring_view(kPageOrigin).size());
  rest = rest.substr(0, rest.find_first_of(L"?#"));
  const std::wstring path = AsciiLower(rest);
  if (path.empty() || path == L"launcher.html" || path == L"index.html")
    return PageResource{201, L"text/html; charset=utf-8"};
  if (path == L"logo.png") return PageResource{202, L"image/png"};
  if (path == L"art.jpg") return PageResource{203, L"image/jpeg"};
  return std::nullopt;
}

std::wstring ResourceHeaders(const PageResource& resource) {
  return std::wstring(L"Content-Type: ") + resource.contentType + L"\r\nCache-Control: no-store";
}

std::wstring SetupWindowText(std::wstring_view status, std::int64_t done, std::int64_t total) {
  std::wstring text = kSetupHeadline;
  text += status;
  if (total > 0) {
    const std::int64_t percent = std::clamp<std::int64_t>(done, 0, total) * 100 / total;
    text += L"  " + std::to_wstring(percent) + L"%";
  }
  return text;
}

}  // namespace nv
