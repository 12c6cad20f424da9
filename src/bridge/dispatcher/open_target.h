// What the launcher opens for the page and the web view (a web link or the
// game folder), and by which road. Pure rules; the Windows side walks them.
#pragma once

#include <string_view>
#include <vector>

namespace nv {

enum class OpenKind { kNothing, kWebLink, kFolder };

// An http:// or https:// address (scheme in any case) is a web link; any
// other non-empty text can only be a folder, which the caller opens only
// when it exists. Empty text opens nothing.
OpenKind ClassifyOpenTarget(std::wstring_view target);

enum class OpenRoad {
  kDesktopShell,  // the desktop shell's own ShellExecute: runs as the desktop user
  kOwnProcess,    // ShellExecuteW from this process: runs elevated, like the launcher
};

// The roads to try, in order, until one takes the request. The launcher runs
// elevated, and a browser or file manager it started itself would run
// elevated too, with every page the player then visits: links and folders go
// to the desktop shell first. Only when the desktop shell cannot take them
// (no desktop window, another shell, a session without Explorer) does the
// launcher open them itself, so the link still opens.
std::vector<OpenRoad> OpenRoadsFor(OpenKind kind);

}  // namespace nv
