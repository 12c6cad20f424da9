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

}  // namespace nv
