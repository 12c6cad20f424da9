// The small native window shown while the WebView2 Runtime installs, before
// the launcher window exists.
#pragma once

#include <windows.h>

namespace nv {

// Shows the window, installs the runtime on a thread of its own and returns
// when the installer has reported: true when it succeeded.
bool RunWebView2SetupWindow(HINSTANCE instance);

}  // namespace nv
