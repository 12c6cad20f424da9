// Test support for the main window: not for production code.
#pragma once

#include <windows.h>

namespace nv {

// The main window's procedure, for tests that give a window of their own the
// launcher's message handling.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace nv
