// The main window: a borderless, DPI-scaled frame whose whole client area is
// the web view, and the window thread's mailbox for the private messages of
// bridge/window_messages.h.
#pragma once

#include <windows.h>

namespace nv {

// Registers the class, creates, places and shows the window; false on failure.
bool CreateMainWindow(HINSTANCE instance, int showCommand);

// GetDpiForWindow, looked up at run time. The cast from GetProcAddress hides
// the calling convention from the compiler: the type must carry WINAPI,
// which only the 32-bit build can get wrong.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// GetDpiForWindow when the system has it, else the screen's DPI, else 96.
UINT WindowDpi(HWND window);
void PlaceMainWindow(HWND window);
void ApplyCorners(HWND window);
void ApplyRegion(HWND window);

// WM_CLOSE: asks first when ask is set and a download job runs, then
// closes the launcher (CloseLauncher).
void ConfirmClose(bool ask);

// Set when the player agreed to install or repair the runtime after the web
// view failed; read at shutdown.
bool InstallRuntimeAtExit();

}  // namespace nv
