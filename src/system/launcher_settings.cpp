#include "system/launcher_settings.h"

#include <windows.h>

#include "sync/fs/path_text.h"
#include "sync/fs/registry_value.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

UniqueRegKey CreateSettingsKey() {
  UniqueRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kLauncherSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

}  // namespace

std::wstring ReadInstallDir() {
  std::wstring folder;
  if (!ReadRegistryString(HKEY_CURRENT_USER, kLauncherSettingsKey, kInstallDirValue, folder)) return {};
  return NormalizeFolder(folder);
}

void WriteInstallDir(std::wstring_view folder) {
  UniqueRegKey key = CreateSettingsKey();
  if (!key) return;
  const std::wstring value = NormalizeFolder(folder);
  RegSetValueExW(key.get(), kInstallDirValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool ReadLauncherFlag(const wchar_t* name, bool defaultValue) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kLauncherSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS) {
    return defaultValue;
  }
  return value != 0;
}

void WriteLauncherFlag(const wchar_t* name, bool value) {
  UniqueRegKey key = CreateSettingsKey();
  if (!key) return;
  const DWORD data = value ? 1 : 0;
  RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

}  // namespace nv
