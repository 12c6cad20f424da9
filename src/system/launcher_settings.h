// The launcher's per-user settings: HKEY_CURRENT_USER\Software\Norvane\Launcher.
// Reads fall back to their defaults; write failures are silent.
#pragma once

#include <string>
#include <string_view>

namespace nv {

inline constexpr wchar_t kLauncherSettingsKey[] = L"Software\\Norvane\\Launcher";

// The values under that key. The game folder is a REG_SZ; the flags are
// REG_DWORDs: the HD pack chosen, the desktop shortcut chosen, and the
// install finished (a folder alone may be an install that was cut short).
inline constexpr wchar_t kInstallDirValue[] = L"InstallDir";
inline constexpr wchar_t kHdFlag[] = L"Hd";
inline constexpr wchar_t kShortcutFlag[] = L"Shortcut";
inline constexpr wchar_t kInstalledFlag[] = L"Installed";

// The normalised InstallDir, or empty (missing, empty or not REG_SZ).
std::wstring ReadInstallDir();
void WriteInstallDir(std::wstring_view folder);

// name: one of the flags above.
bool ReadLauncherFlag(const wchar_t* name, bool defaultValue);
void WriteLauncherFlag(const wchar_t* name, bool value);

}  // namespace nv
