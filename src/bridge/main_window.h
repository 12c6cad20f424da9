// The main window handle as the bridge and the job engine see it: the target
// of the outbox wake (WM_APP+1), the job end message and timer 1.
#pragma once

#include <windows.h>

namespace nv {

// Window thread, before any producer runs. nullptr detaches.
void SetMainWindow(HWND window);
HWND MainWindow();

}  // namespace nv
