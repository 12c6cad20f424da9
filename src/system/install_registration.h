// Registration of a finished install with Windows: the launcher copy in the
// game folder, the Start-menu and desktop shortcuts and the uninstall entry.
#pragma once

#include <string>
#include <string_view>

namespace nv {

// norvane.exe and launcher_state.txt are both files in the folder.
bool IsInstalled(std::wstring_view folder);

// The registered game folder when an install finished there (the
// "Installed" flag) and the folder exists, whatever files are missing from
// it. Empty otherwise.
std::wstring InstalledGameFolder();

// Worker thread, once at the end of an install. Every step runs whatever the
// earlier ones gave; false when the folder is empty, the launcher copy is not
// in place, a wanted shortcut is missing or the uninstall entry is incomplete.
bool RegisterInstall(std::wstring_view folder, bool desktopShortcut);

}  // namespace nv
