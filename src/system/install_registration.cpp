#include "system/install_registration.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <string>

#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"
#include "system/uninstall_entry.h"

namespace nv {

namespace {

bool CopyRound(const std::wstring& source, const std::wstring& copy) {
  return RetryWhileLocked(kExecutableRetry, [&] {
           if (CopyFileW(LongPath(source).c_str(), LongPath(copy).c_str(), FALSE)) return TryResult::kDone;
           return LockedOrFailed(GetLastError());
         }) == TryResult::kDone;
}

// The launcher copy in the game folder. A copy held open by a running
// launcher cannot be overwritten but can be renamed: it goes aside as ".old"
// (removed later by the next start from the game folder, or by uninstall).
bool PlaceLauncherCopy(const std::wstring& copy) {
  const std::wstring source = OwnExePath();
  if (source.empty()) return false;
  if (SameFile(source, copy)) return true;  // already running from the game folder
  if (!CreateParentDirectories(copy)) return false;
  if (IsRegularFile(copy)) SetFileAttributesW(LongPath(copy).c_str(), FILE_ATTRIBUTE_NORMAL);
  if (CopyRound(source, copy)) return true;
  if (!IsRegularFile(copy)) return false;
  if (!MoveFileRetrying(copy, copy + L".old")) return false;
  return CopyRound(source, copy);
}

std::uint64_t FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WriteUninstallEntry(const UninstallEntryInput& input) {
  UniqueRegKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool ok = true;
  for (const RegistryValue& value : UninstallEntryValues(input)) {
    LSTATUS result;
    if (value.isDword) {
      const DWORD data = value.dword;
      result = RegSetValueExW(key.get(), value.name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&data), sizeof data);
    } else {
      result = RegSetValueExW(key.get(), value.name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.text.c_str()),
                              static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t)));
    }
    if (result != ERROR_SUCCESS) ok = false;  // the other values are still written
  }
  return ok;
}

}  // namespace

bool IsInstalled(std::wstring_view folder) {
  if (folder.empty()) return false;
  const std::wstring normalised = NormalizeFolder(folder);
  return IsRegularFile(JoinPath(normalised, kGameExeName)) &&
         IsRegularFile(JoinGamePath(normalised, kFileStateName));
}

std::wstring InstalledGameFolder() {
  std::wstring folder = ReadInstallDir();
  // A finished install stays installed when an antivirus took norvane.exe
  // or the file state is gone: repair and the start-up check bring them
  // back, which they could not if the files themselves decided. A folder that
  // is gone altogether (a drive unplugged, deleted by hand) gets the install
  // screen instead of a repair downloading the whole game.
  if (folder.empty() || !ReadLauncherFlag(kInstalledFlag, false) || !IsFolder(folder)) return {};
  return folder;
}

bool RegisterInstall(std::wstring_view folderText, bool desktopShortcut) {
  const std::wstring folder = NormalizeFolder(folderText);
  if (folder.empty()) return false;
  bool ok = true;

  WriteInstallDir(folder);
  WriteLauncherFlag(kShortcutFlag, desktopShortcut);

  const std::wstring copy = JoinPath(folder, kLauncherCopyName);
  if (!PlaceLauncherCopy(copy)) ok = false;

  const std::wstring ico = JoinPath(folder, kGameIconName);
  const std::wstring iconPath = IsRegularFile(ico) ? ico : copy;

  {
    ScopedComInit com;
    const std::wstring programs = KnownFolderPath(FOLDERID_CommonPrograms);
    bool startMenu = false;
    if (!programs.empty()) {
      const std::wstring menuFolder = JoinPath(programs, kStartMenuFolderName);
      if (CreateDirectoryW(menuFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
        startMenu = CreateShortcut(JoinPath(menuFolder, kShortcutName), copy, folder, iconPath);
      }
    }
    if (!startMenu) ok = false;

    const std::wstring desktop = KnownFolderPath(FOLDERID_PublicDesktop);
    if (!desktop.empty()) {
      const std::wstring link = JoinPath(desktop, kShortcutName);
      if (desktopShortcut) {
        if (!CreateShortcut(link, copy, folder, iconPath)) ok = false;
      } else {
        DeleteFileRetrying(link);
      }
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  }

  const FileState state = LoadFileState(folder);
  std::uint64_t total = FileSizeOf(copy);
  for (const FileStateEntry& entry : state.entries()) {
    // Saturating: a damaged state file must not wrap the sum round to a small size.
    const std::uint64_t size = entry.size > 0 ? static_cast<std::uint64_t>(entry.size) : 0;
    total = size > UINT64_MAX - total ? UINT64_MAX : total + size;
  }
  UninstallEntryInput entry;
  entry.folder = folder;
  entry.copyPath = copy;
  entry.iconPath = iconPath;
  entry.version = FromUtf8(state.version);
  entry.totalBytes = total;
  if (!WriteUninstallEntry(entry)) ok = false;
  return ok;
}

}  // namespace nv
