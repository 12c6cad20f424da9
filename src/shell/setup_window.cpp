#include "shell/setup_window.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "prereq/prerequisites.h"
#include "shell/shell_rules.h"
#include "sync/fs/fs_helpers.h"

namespace nv {

namespace {

constexpr UINT kSetupTimerId = 2;
constexpr UINT kSetupTimerMs = 250;
constexpr int kSetupWidth = 460;
constexpr int kSetupHeight = 150;

// The window's state; one setup window exists at a time.
struct SetupState {
  TransferProgress transfer;
  std::atomic<bool> cancel{false};
  std::mutex statusMutex;
  std::wstring status = kSetupPreparingText;
  bool succeeded = false;
};
SetupState* setup = nullptr;

std::wstring StatusText() {
  std::lock_guard lock(setup->statusMutex);
  return setup->status;
}

void Paint(HWND window) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  RECT area{};
  GetClientRect(window, &area);
  InflateRect(&area, -16, -16);
  const std::wstring text =
      SetupWindowText(StatusText(), setup->transfer.bytes_done.load(), setup->transfer.bytes_total.load());
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_WORDBREAK);
  SelectObject(dc, old);
  EndPaint(window, &paint);
}

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_TIMER:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_CLOSE:
      // The installer is asked to stop; the window stays until it reports.
      setup->cancel = true;
      return 0;
    case kWmSetupResult:
      setup->succeeded = wParam != 0;
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kSetupTimerId);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void InstallerThread(HWND window, SetupState* state) {
  bool ok = false;
  try {
    ok = InstallPrerequisite("webview2", state->transfer, state->cancel, [state](const std::string& message) {
      std::lock_guard lock(state->statusMutex);
      state->status = FromUtf8(message);
    });
  } catch (...) {
    ok = false;
  }
  PostMessageW(window, kWmSetupResult, ok ? 1 : 0, 0);
}

}  // namespace

bool RunWebView2SetupWindow(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &SetupWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kSetupWindowClass;
  RegisterClassExW(&windowClass);  // an earlier attempt may have registered it

  SetupState state;
  setup = &state;
  HWND window = CreateWindowExW(0, kSetupWindowClass, kAppTitle, WS_CAPTION | WS_SYSMENU,
                                (GetSystemMetrics(SM_CXSCREEN) - kSetupWidth) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - kSetupHeight) / 2, kSetupWidth, kSetupHeight,
                                nullptr, nullptr, instance, nullptr);
  if (!window) {
    setup = nullptr;
    return false;
  }
  ShowWindow(window, SW_SHOW);
  SetTimer(window, kSetupTimerId, kSetupTimerMs, nullptr);

  std::thread installer;
  try {
    installer = std::thread(InstallerThread, window, &state);
  } catch (...) {
    PostMessageW(window, kWmSetupResult, 0, 0);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (installer.joinable()) installer.join();
  setup = nullptr;
  return state.succeeded;
}

}  // namespace nv
