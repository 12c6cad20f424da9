#include "system/uninstall_entry.h"

#include "sync/fs/ascii_text.h"
#include "sync/fs/path_text.h"
#include "sync/fs/product_name.h"

namespace nv {

std::uint32_t EstimatedSizeKiB(std::uint64_t bytes) {
  const std::uint64_t kib = bytes / 1024;
  return kib > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kib);
}

std::vector<RegistryValue> UninstallEntryValues(const UninstallEntryInput& input) {
  auto text = [](const wchar_t* name, std::wstring value) {
    return RegistryValue{name, false, std::move(value), 0};
  };
  auto dword = [](const wchar_t* name, std::uint32_t value) {
    return RegistryValue{name, true, {}, value};
  };
  // The icon index is only added for the executable; an .ico file is named alone.
  std::wstring icon = input.iconPath;
  if (icon == input.copyPath) icon += L",0";
  return {
      text(L"DisplayName", kProductName),
      text(L"DisplayIcon", std::move(icon)),
      text(L"DisplayVersion", input.version.empty() ? L"1.0" : input.version),
      text(L"Publisher", kProductName),
      text(L"InstallLocation", input.folder),
      text(L"UninstallString", L"\"" + input.copyPath + L"\" --uninstall"),
      dword(L"NoModify", 1),
      dword(L"NoRepair", 1),
      dword(L"EstimatedSize", EstimatedSizeKiB(input.totalBytes)),
  };
}

UninstallFolderChoice ChooseUninstallFolder(std::wstring_view entryLocation, std::wstring_view userSetting) {
  const std::wstring entry = NormalizeFolder(entryLocation);
  const std::wstring setting = NormalizeFolder(userSetting);
  // Only A-Z case is forgiven: the launcher wrote both from one text.
  if (!setting.empty() && !EqualsIgnoringAsciiCase(entry, setting)) return {{}, true};
  return {entry, false};
}

}  // namespace nv
