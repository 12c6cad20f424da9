// Only the main window's handle, kept below the bridge and the job engine
// (the window itself lives in the shell): the target
// of the outbox wake (kWmOutbox), the job end message and the progress timer.
#pragma once

#include <windows.h>

namespace nv {

// Window thread, before any producer runs. nullptr detaches.
void SetMainWindow(HWND window);
HWND MainWindow();

}  // namespace nv
