#include "bridge/main_window_handle.h"

#include <atomic>

#include "bridge/nv_api.h"
#include "bridge/window_messages.h"

namespace nv {

namespace {

std::atomic<HWND> mainWindow{nullptr};

// A message posted to a window that is gone is lost, which is what shutdown
// wants: the outbox is not delivered after the window is destroyed.
void WakeMainWindow() {
  if (HWND window = mainWindow.load()) PostMessageW(window, kWmOutbox, 0, 0);
}

}  // namespace

void SetMainWindow(HWND window) {
  mainWindow = window;
  SetOutboxWake(window ? &WakeMainWindow : nullptr);
}

HWND MainWindow() { return mainWindow.load(); }

}  // namespace nv
