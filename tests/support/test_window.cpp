#include "support/test_window.h"

#include <algorithm>

#include "bridge/main_window_handle.h"
#include "bridge/window_messages.h"
#include "shell/main_window_testing.h"

namespace nv::test {

namespace {
constexpr wchar_t kClassName[] = L"NorvaneTestWindow";
TestWindow* current = nullptr;
}  // namespace

LRESULT CALLBACK TestWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kProgressTimerId && current) ++current->timerTicks_;
  return MainWindowProc(hwnd, message, wParam, lParam);
}

TestWindow::TestWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TestWindow::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExW(0, kClassName, L"Norvane test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                          nullptr, nullptr, wc.hInstance, nullptr);
  current = this;
  SetMainWindow(hwnd_);
}

TestWindow::~TestWindow() {
  SetMainWindow(nullptr);
  current = nullptr;
  if (hwnd_) DestroyWindow(hwnd_);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

void TestWindow::Pump(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool TestWindow::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)),
                              QS_ALLINPUT);
  }
}

}  // namespace nv::test
