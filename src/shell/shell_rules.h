// The shell's decisions as pure functions: switches, window placement, which
// page messages are accepted, which addresses stay inside, which resource a
// request names. No Windows header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/fs/product_name.h"

namespace nv {

// The page's private origin under a host name that never resolves.
inline constexpr wchar_t kPageOrigin[] = L"https://launcher.norvane.local/";
inline constexpr wchar_t kPageAddress[] = L"https://launcher.norvane.local/launcher.html";
inline constexpr wchar_t kResourceFilter[] = L"https://launcher.norvane.local/*";

inline constexpr const wchar_t* kAppTitle = kProductName;
inline constexpr wchar_t kMainWindowClass[] = L"NorvaneLauncher";
inline constexpr wchar_t kSetupWindowClass[] = L"NorvaneSetup";
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\NorvaneLauncher";
// The launcher's mutex names Administrators as its owner, which only an
// elevated process may do; SYSTEM and Administrators alone may use it.
inline constexpr wchar_t kInstanceMutexSddl[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// True when an argument after the program name (args[0]) equals name,
// ignoring ASCII case.
bool HasSwitchIn(const std::vector<std::wstring>& args, std::wstring_view name);

// Show commands 2, 6 and 7 start the window minimised.
bool IsMinimizedShowCommand(int showCommand);

// MulDiv's rounding for the non-negative values the window uses.
int ScaleForDpi(int value, int dpi);

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};
struct WindowPlacement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
// 960 by 600 scaled by dpi, centred in the work area; never placed before
// its top-left corner when the area is smaller than the window.
WindowPlacement PlaceInWorkArea(int dpi, const ScreenRect& workArea);
// The corner radius of the window's own region.
int CornerRadiusForDpi(int dpi);

// A page message is dispatched only when its source lies under the page
// origin (exact, case-sensitive) and its text is 1 to 4095 UTF-16 units.
bool IsAcceptedPageMessage(std::wstring_view source, std::wstring_view text);

bool IsUnderPageOrigin(std::wstring_view uri);
// An address the default browser may open: http or https, case-sensitive.
bool IsWebAddress(std::wstring_view uri);

enum class NavigationAction { kAllow, kBlock, kBlockAndOpenExternally };
NavigationAction DecideNavigation(std::wstring_view uri);

struct PageResource {
  int id = 0;
  const wchar_t* contentType = nullptr;
};
// The embedded resource a request under the page origin names (its path cut
// at '?' or '#' and lower-cased); nothing for any other path or address.
std::optional<PageResource> ResourceForUri(std::wstring_view uri);
// "Content-Type: <type>\r\nCache-Control: no-store"
std::wstring ResourceHeaders(const PageResource& resource);

// The setup window's text: headline (kSetupHeadline), status and, with a
// known total, the whole percentage.
std::wstring SetupWindowText(std::wstring_view status, std::int64_t done, std::int64_t total);

}  // namespace nv
