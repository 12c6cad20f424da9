// A real top-level window (never shown) with the launcher's own window
// procedure, registered as the main window, so PostToPage, the job end
// message and timer 1 are handled as in the launcher. Needs an X display
// under Wine. It brings the shell along: only tests that need it link it
// (nv_test_window).
#pragma once

#include <windows.h>

#include <functional>

namespace nv::test {

class TestWindow {
 public:
  TestWindow();
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Dispatches this thread's messages until done() holds or timeoutMs passed.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
  // Dispatches what is queued now (and what arrives within ms).
  void Pump(DWORD ms = 50);

  // How often timer 1 reached the window.
  int timerTicks() const { return timerTicks_; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
  int timerTicks_ = 0;
};

}  // namespace nv::test
