// A real top-level window (never shown) registered as the launcher's main
// window, so PostToPage, the job end message and timer 1 behave as in the
// launcher. Needs an X display under Wine.
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
  // The window procedure drains the outbox on WM_APP+1, runs OnJobEnded on
  // WM_APP+2 and ProgressReport on timer 1, as the main window does.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
  // Dispatches what is queued now (and what arrives within ms).
  void Pump(DWORD ms = 50);

  int timerTicks() const { return timerTicks_; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
  int timerTicks_ = 0;
};

}  // namespace nv::test
