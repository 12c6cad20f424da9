// The web view host: WebView2 in the main window as a closed box for the
// Launcher page. Window thread only.
#pragma once

#include <windows.h>

namespace nv {

// Read by the host when it configures the settings; set once at start-up.
void SetDevToolsEnabled(bool enabled);

// Starts the asynchronous environment -> controller -> page chain for the
// main window. Every failure arrives at the window as kWmWebViewFailed.
void CreateWebViewEnvironment();

// The main window's calls into the controller; nothing without one.
void ResizeWebView(HWND window);
void NotifyWebViewMoved();
void FocusWebView();
// WM_DESTROY: Close the controller, release web view, controller, environment.
void CloseWebView();

// The window's handler for kWmPageCommands: dispatches the page commands
// that arrived inside WebView2's message event, outside of it.
void DispatchPendingPageCommands();

}  // namespace nv
