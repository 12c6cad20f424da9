// Private messages of the main window, in one place. The worker, the news
// thread and the web view host only post these; the window thread handles them.
#pragma once

namespace nv {

inline constexpr unsigned kWmApp = 0x8000;                 // WM_APP
inline constexpr unsigned kWmOutbox = kWmApp + 1;          // the outbox has entries
inline constexpr unsigned kWmJobDone = kWmApp + 2;         // a job finished
inline constexpr unsigned kWmNewerLauncher = kWmApp + 3;   // a newer launcher started: close
inline constexpr unsigned kWmStartDrag = kWmApp + 4;       // start a caption drag
inline constexpr unsigned kWmGameStarted = kWmApp + 5;     // the game started: minimise
inline constexpr unsigned kWmUninstallDone = kWmApp + 6;   // wParam 1 all removed, 0 some left
inline constexpr unsigned kWmWebViewFailed = kWmApp + 7;   // wParam the HRESULT
inline constexpr unsigned kWmSetupResult = kWmApp + 8;     // setup window: installer result

inline constexpr unsigned kProgressTimerId = 1;
inline constexpr unsigned kProgressTimerMs = 200;

}  // namespace nv
