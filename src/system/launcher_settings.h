// The launcher's per-user settings: HKEY_CURRENT_USER\Software\Norvane\Launcher.
// Reads fall back to their defaults; write failures are silent.
#pragma once

#include <string>
#include <string_view>

namespace nv {

inline constexpr wchar_t kLauncherSettingsKey[] = L"Software\\Norvane\\Launcher";

// The normalised InstallDir, or empty (missing, empty or not REG_SZ).
std::wstring ReadInstallDir();
void WriteInstallDir(std::wstring_view folder);

// The REG_DWORD values "Hd", "Shortcut" and "Installed".
bool ReadLauncherFlag(const wchar_t* name, bool defaultValue);
void WriteLauncherFlag(const wchar_t* name, bool value);

}  // namespace nv
