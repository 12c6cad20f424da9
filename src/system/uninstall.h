// Removing the game: the --uninstall entry, job 7 and the removal itself.
#pragma once

#include <windows.h>

#include <string_view>

namespace nv {

// The --uninstall entry: main thread, COM initialised, no window. The result
// is the process exit code: 0 removed or declined, 1 cancelled or incomplete.
int RunUninstallCommand();

// Job 7: refuses without a registered folder or while the game runs; posts
// kWmUninstallDone (wParam 1 all removed, 0 some left) when the removal ran.
void UninstallJob();

// The main window's answer to kWmUninstallDone: the result box, owned by
// the window.
void ShowUninstallResult(HWND owner, bool allRemoved);

// Deletes the recorded files (never screenshots), the folders that became
// empty, the launcher copy, the shortcuts, the uninstall entry and the
// launcher's registry key. An empty folder means the one the uninstall
// entry names (none when the per-user setting disagrees). False
// when a recorded file stayed, the deferred self-delete could not start or
// the uninstall entry could not be deleted, and when the folder is, or lies
// behind, a link another account made: then nothing at all is removed and
// refusedLink (may be null) is set.
bool RemoveInstallation(std::wstring_view folder, bool* refusedLink = nullptr);

}  // namespace nv
