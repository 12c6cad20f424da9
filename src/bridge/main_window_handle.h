// Only the main window's handle, kept below the bridge and the job engine
// (the window itself lives in the shell): the target
// of the outbox wake (WM_APP+1), the job end message and timer 1.
#pragma once

#include <windows.h>

namespace nv {

// Window thread, before any producer runs. nullptr detaches.
void SetMainWindow(HWND window);
HWND MainWindow();

}  // namespace nv
