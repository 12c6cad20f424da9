// Our own minimal WebView2 runtime loader: finds an installed (or fixed)
// runtime the way Microsoft's loader documents it.
#pragma once

#include <windows.h>

#include "shell/webview2/webview2.h"

namespace nv {

// S_OK with the runtime's version in a CoTaskMem string (the caller frees it
// with CoTaskMemFree), or HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) with
// *versionInfo null when no runtime is found. In the test builds
// WEBVIEW2_BROWSER_EXECUTABLE_FOLDER replaces browserExecutableFolder when
// set, and a per-user install counts; the shipped build knows only the
// machine-wide install (see RuntimeLookup).
HRESULT GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                     LPWSTR* versionInfo);

// A runtime this loader can start is installed: the version query without a
// browser folder succeeds with a non-empty version.
bool IsWebView2RuntimeAvailable();

// Loads the runtime's EmbeddedBrowserWebView.dll (EBWebView\x86 or \x64 by
// this process's architecture) from the folder found by the same rules and
// starts the asynchronous environment creation; the handler is called on this
// thread, which must be a single-threaded apartment. A failure to start is
// returned and the handler is not called.
HRESULT CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, IUnknown* environmentOptions,
    wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

}  // namespace nv
