// Our own minimal WebView2 runtime loader: finds an installed (or fixed)
// runtime the way Microsoft's loader documents it.
#pragma once

#include <windows.h>

namespace nv {

// S_OK with the runtime's version in a CoTaskMem string (the caller frees it
// with CoTaskMemFree), or HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) with
// *versionInfo null when no runtime is found. WEBVIEW2_BROWSER_EXECUTABLE_FOLDER
// replaces browserExecutableFolder when set.
HRESULT GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                     LPWSTR* versionInfo);

}  // namespace nv
