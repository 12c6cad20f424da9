// The news thread: fetches the news until it has been delivered once and the
// player count every minute, and forwards both to the page. It never touches
// the job engine; shutdown sets the quit event and joins it.
#pragma once

#include <windows.h>

namespace nv {

inline constexpr DWORD kNewsPollMs = 60000;

// Start-up, before the thread starts: the manual-reset quit event, not set.
bool CreateQuitEvent();
// Null before CreateQuitEvent or when it failed.
HANDLE QuitEvent();

// The thread body; returns when the quit event is set (or waiting on it fails).
void NewsThreadMain();

}  // namespace nv
