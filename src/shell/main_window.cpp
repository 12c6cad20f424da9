#include "shell/main_window.h"
#include "shell/main_window_testing.h"

#include <dwmapi.h>

#include <mutex>

#include "bridge/dispatcher/command_dispatcher.h"
#include "bridge/main_window_handle.h"
#include "bridge/message_box.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "jobs/job_engine.h"
#include "shell/shell_messages.h"
#include "shell/shell_rules.h"
#include "shell/webview_host.h"
#include "system/uninstall.h"

namespace nv {

namespace {

constexpr DWORD kCornerPreference = 33;  // DWMWA_WINDOW_CORNER_PREFERENCE
constexpr DWORD kCornerRound = 2;        // DWMWCP_ROUND
constexpr DWORD kFirstRoundCornerBuild = 22000;

bool systemCorners = false;
bool installRuntimeAtExit = false;
bool runtimeQuestionAsked = false;  // once per window

GetDpiForWindowFn LookUpGetDpiForWindow() {
  static std::once_flag once;
  static GetDpiForWindowFn function = nullptr;
  std::call_once(once, [] {
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll"))
      function = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
  });
  return function;
}

// The build Windows reports, whatever the program's manifest says.
DWORD WindowsBuild() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                                : nullptr;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return getVersion && getVersion(&version) == 0 ? version.dwBuildNumber : 0;
}

void StartCaptionDrag(HWND window) {
  const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  if ((GetAsyncKeyState(button) & 0x8000) == 0) return;
  ReleaseCapture();
  SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void OfferRuntimeRepair(HWND window, WPARAM code) {
  // A controller failure followed by the browser's exit posts twice; the
  // second arrives while the first question's box runs its own loop.
  if (MainWindow() != window || runtimeQuestionAsked) return;
  runtimeQuestionAsked = true;
  const std::wstring text = WebViewFailedText(static_cast<std::uint32_t>(code));
  if (ShowMessageBox(window, text.c_str(), MB_YESNO | MB_ICONERROR) == IDYES) installRuntimeAtExit = true;
  CloseLauncher();
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      ConfirmClose(true);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kProgressTimerId);
      CloseWebView();
      if (MainWindow() == window) SetMainWindow(nullptr);
      PostQuitMessage(0);
      return 0;
    case WM_MOVE:
      NotifyWebViewMoved();
      return 0;
    case WM_SIZE:
      ResizeWebView(window);
      ApplyRegion(window);
      return 0;
    case WM_SETFOCUS:
      FocusWebView();
      return 0;
    case WM_TIMER:
      if (wParam == kProgressTimerId) ProgressReport();
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case kWmOutbox:
      DrainOutbox();
      return 0;
    case kWmJobDone:
      OnJobEnded();
      return 0;
    case kWmNewerLauncher:
      CloseLauncher();
      return 0;
    case kWmStartDrag:
      StartCaptionDrag(window);
      return 0;
    case kWmGameStarted:
      ShowWindow(window, SW_MINIMIZE);
      return 0;
    case kWmUninstallDone:
      ShowUninstallResult(window, wParam == 1);
      CloseLauncher();
      return 0;
    case kWmWebViewFailed:
      OfferRuntimeRepair(window, wParam);
      return 0;
    case kWmPageCommands:
      DispatchPendingPageCommands();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Nothing may throw across the window procedure.
  try {
    return HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

UINT WindowDpi(HWND window) {
  if (GetDpiForWindowFn getDpi = LookUpGetDpiForWindow()) {
    if (const UINT dpi = getDpi(window)) return dpi;
  }
  if (HDC screen = GetDC(nullptr)) {
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (dpi > 0) return static_cast<UINT>(dpi);
  }
  return 96;
}

void PlaceMainWindow(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const WindowPlacement placement = PlaceInWorkArea(static_cast<int>(WindowDpi(window)),
                                                    ScreenRect{area.left, area.top, area.right, area.bottom});
  SetWindowPos(window, nullptr, placement.x, placement.y, placement.width, placement.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyCorners(HWND window) {
  const DWORD preference = kCornerRound;
  // Windows 11 (build 22000) is the first to draw the preference; an older
  // system, or Wine, may accept it and draw square corners.
  systemCorners = WindowsBuild() >= kFirstRoundCornerBuild &&
                  SUCCEEDED(DwmSetWindowAttribute(window, kCornerPreference, &preference, sizeof preference));
  // A region an early WM_SIZE set would otherwise stay, and after a DPI
  // change clip the window to its old size.
  if (systemCorners) SetWindowRgn(window, nullptr, TRUE);
  ApplyRegion(window);
}

void ApplyRegion(HWND window) {
  if (systemCorners) return;
  RECT bounds{};
  if (!GetWindowRect(window, &bounds)) return;
  const int radius = CornerRadiusForDpi(static_cast<int>(WindowDpi(window)));
  HRGN region = CreateRoundRectRgn(0, 0, bounds.right - bounds.left + 1, bounds.bottom - bounds.top + 1, radius, radius);
  if (!region) return;
  // On success the system owns the region.
  if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);
}

void ConfirmClose(bool ask) {
  if (ask && jobBusy.load() && IsDownloadJob(currentJobId)) {
    if (ShowMessageBox(MainWindow(), kCloseDuringDownloadText, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDYES)
      return;
  }
  CloseLauncher();
}

bool InstallRuntimeAtExit() { return installRuntimeAtExit; }

bool CreateMainWindow(HINSTANCE instance, int showCommand) {
  // The brush and the small icon belong to the class: made only when the
  // class is registered now, not for one registered already.
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExW(instance, kMainWindowClass, &windowClass)) {
    windowClass.style = CS_DROPSHADOW;
    windowClass.lpfnWndProc = &MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(RGB(5, 9, 15));
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassExW(&windowClass)) {
      DestroyIcon(windowClass.hIconSm);
      DeleteObject(windowClass.hbrBackground);
      return false;
    }
  }

  POINT cursor{};
  GetCursorPos(&cursor);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor);

  HWND window = CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, kAppTitle,
                                WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX,
                                monitor.rcWork.left + 40, monitor.rcWork.top + 40, 960, 600, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return false;
  SetMainWindow(window);
  runtimeQuestionAsked = false;
  PlaceMainWindow(window);
  ApplyCorners(window);
  ShowWindow(window, IsMinimizedShowCommand(showCommand) ? showCommand : SW_SHOW);
  UpdateWindow(window);
  return true;
}

}  // namespace nv
