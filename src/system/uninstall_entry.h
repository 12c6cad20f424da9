// The Windows "installed programs" entry of the game, as data: the nine values
// in the order they are written. Pure; install_registration.cpp writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

inline constexpr wchar_t kUninstallEntryKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvane";

struct RegistryValue {
  std::wstring name;
  bool isDword = false;
  std::wstring text;       // REG_SZ content
  std::uint32_t dword = 0;  // REG_DWORD content
};

struct UninstallEntryInput {
  std::wstring folder;    // normalised game folder
  std::wstring copyPath;  // the launcher copy in the game folder
  std::wstring iconPath;  // norvane.ico, or the launcher copy itself
  std::wstring version;   // content version; empty gives "1.0"
  std::uint64_t totalBytes = 0;
};

// Bytes to KiB, rounded down, capped at 0xFFFFFFFF.
std::uint32_t EstimatedSizeKiB(std::uint64_t bytes);

std::vector<RegistryValue> UninstallEntryValues(const UninstallEntryInput& input);

// The folder uninstall removes files from: the entry's InstallLocation, which
// only administrators can change, never the per-user setting, which every
// program the player runs can rewrite. Refused when the two disagree (or
// only the setting names one): then it is not clear which folder holds the
// game, and the elevated launcher deletes nothing. Both empty: no folder.
struct UninstallFolderChoice {
  std::wstring folder;  // normalised; empty: no files to remove
  bool refused = false;
};
UninstallFolderChoice ChooseUninstallFolder(std::wstring_view entryLocation, std::wstring_view userSetting);

}  // namespace nv
