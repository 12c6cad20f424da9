#include "system/uninstall.h"

#include <shlobj.h>

#include <set>
#include <string>
#include <vector>

#include "bridge/main_window_handle.h"
#include "bridge/message_box.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder.h"
#include "sync/fs/process_start.h"
#include "sync/fs/registry_value.h"
#include "sync/fs/unique_handle.h"
#include "system/game_client/game_process.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"
#include "system/uninstall_entry.h"
#include "system/uninstall_plan.h"

namespace nv {

namespace {

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

// Runs once the launcher has exited: the copy cannot delete itself while it
// runs. The interpreter reads its input from a pipe whose writing end stays
// in this process until it ends, so it waits for that end (see
// BuildDeferredDeleteCommand).
bool StartDeferredSelfDelete(const std::wstring& copy, const std::wstring& folder) {
  const std::wstring system = SystemFolder();
  // Only the system's own interpreter: a bare "cmd.exe" would be looked up
  // in the current folder.
  if (system.empty()) return false;
  const std::wstring interpreter = InterpreterPath(system);
  const std::wstring line = BuildDeferredDeleteCommand(interpreter);
  const std::wstring environment = BuildDeferredDeleteEnvironment(system, WindowsFolder(), copy, folder);
  if (environment.empty()) return false;

  // Both ends are created not inheritable; only the reading end is then
  // handed down, so no other child can ever hold the writing end.
  UniqueKernelHandle readEnd;
  UniqueKernelHandle writeEnd;
  if (!CreatePipe(readEnd.put(), writeEnd.put(), nullptr, 0) ||
      !SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
    return false;
  }

  const bool started =
      static_cast<bool>(StartProcess(interpreter, line, {system, true, readEnd.get(), environment.c_str()}));
  if (started) {
    // On purpose never closed: the system closes it when this process ends,
    // and that is the interpreter's signal.
    static_cast<void>(writeEnd.release());
  }
  // The launcher must not hold the game folder as its current directory, or
  // rmdir cannot remove it.
  if (!system.empty()) SetCurrentDirectoryW(system.c_str());
  return started;
}

std::wstring LongNameOf(const std::wstring& path) {
  const std::wstring target = LongPath(path);
  const DWORD needed = GetLongPathNameW(target.c_str(), nullptr, 0);
  if (needed == 0) return {};
  std::wstring out(needed, L'\0');
  const DWORD length = GetLongPathNameW(target.c_str(), out.data(), needed);
  if (length == 0 || length >= needed) return {};
  out.resize(length);
  // Compared as plain paths, whichever of the two needed the long-path prefix.
  if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
  if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
  return out;
}

// The record as the file system resolves it: a short (8.3) name such as
// SCREEN~1 stands for the screenshot folder although its text does not say
// so. True when the file lies in the screenshot folder, is not below the
// game folder at all, or either name cannot be resolved: what cannot be
// shown to be ours is not deleted (a file that is not there needs no delete).
bool IsProtectedOnDisk(const std::wstring& folder, const std::wstring& full) {
  const std::wstring longFull = LongNameOf(full);
  std::wstring longFolder = LongNameOf(folder);
  if (longFull.empty() || longFolder.empty()) return true;
  if (!longFolder.empty() && longFolder.back() != L'\\') longFolder += L'\\';
  if (longFull.size() <= longFolder.size() ||
      CompareStringOrdinal(longFull.c_str(), static_cast<int>(longFolder.size()), longFolder.c_str(),
                           static_cast<int>(longFolder.size()), TRUE) != CSTR_EQUAL) {
    return true;
  }
  return IsScreenshotPath(ToUtf8(longFull.substr(longFolder.size())));
}

void RemoveGameFiles(const std::wstring& folder, HeldGameFolder& held, bool& ok) {
  const FileState state = LoadFileState(folder);
  std::set<std::string> folders;
  for (const FileStateEntry& entry : state.entries()) {
    // A damaged or hostile state file must never reach outside the game folder.
    if (!IsSafeRelativePath(entry.path)) continue;
    if (IsScreenshotPath(entry.path)) continue;
    // A folder on the way that is a junction or symbolic link (planted by
    // anyone who can write the game folder) leads outside it: what lies
    // behind it is not ours to delete.
    if (CrossesReparsePoint(folder, entry.path)) continue;
    const std::wstring full = JoinGamePath(folder, entry.path);
    AddParentFolders(entry.path, folders);  // each removed only when empty
    // The partial download is judged on its own: it may be there without the file.
    for (const std::wstring& path : {full, full + L".part"}) {
      if (IsProtectedOnDisk(folder, path)) continue;
      if (!DeleteFileRetrying(path, folder) && path == full) ok = false;
    }
  }

  const std::wstring stateFile = JoinGamePath(folder, kFileStateName);
  DeleteFileRetrying(stateFile, folder);
  DeleteFileRetrying(stateFile + L".tmp", folder);

  for (const std::string& relative : DeepestFirst(folders)) {
    // A linked folder (or one below a link) stays: removing it could reach
    // an empty folder elsewhere.
    if (CrossesReparsePoint(folder, relative + "/")) continue;
    RemoveDirectoryW(LongPath(JoinGamePath(folder, relative)).c_str());  // only when empty
  }

  const std::wstring copy = JoinPath(folder, kLauncherCopyName);
  DeleteFileRetrying(copy + L".new", folder);
  const std::wstring own = OwnExePath();
  if (!own.empty() && SameFile(own, copy)) {
    if (!StartDeferredSelfDelete(copy, folder)) ok = false;
  } else {
    DeleteFileRetrying(copy, folder);
    DeleteFileRetrying(copy + L".old", folder);
    held.RemoveIfEmpty();
  }
}

void RemoveShortcuts() {
  ScopedComInit com;
  for (REFKNOWNFOLDERID id : {FOLDERID_PublicDesktop, FOLDERID_Desktop}) {
    const std::wstring desktop = KnownFolderPath(id);
    if (!desktop.empty()) DeleteFileRetrying(JoinPath(desktop, kShortcutName));
  }
  for (REFKNOWNFOLDERID id : {FOLDERID_CommonPrograms, FOLDERID_Programs}) {
    const std::wstring programs = KnownFolderPath(id);
    if (programs.empty()) continue;
    const std::wstring menuFolder = JoinPath(programs, kStartMenuFolderName);
    DeleteFileRetrying(JoinPath(menuFolder, kShortcutName));
    RemoveDirectoryW(menuFolder.c_str());
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

bool RemoveRegistryEntries() {
  bool ok = true;
  const LSTATUS entry = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
  if (entry != ERROR_SUCCESS && entry != ERROR_FILE_NOT_FOUND) ok = false;
  RegDeleteTreeW(HKEY_CURRENT_USER, kLauncherSettingsKey);

  // Software\Norvane goes only when nothing else lives under it.
  UniqueRegKey parent;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvane", 0, KEY_READ, parent.put()) ==
      ERROR_SUCCESS) {
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool empty = RegQueryInfoKeyW(parent.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                        nullptr, &values, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS &&
                       subkeys == 0 && values == 0;
    parent.reset();
    if (empty) RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Norvane");
  }
  return ok;
}

}  // namespace

namespace {

// The entry's InstallLocation; empty when there is no entry.
std::wstring RegisteredLocation() {
  std::wstring location;
  ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"InstallLocation", location);
  return location;
}

}  // namespace

// The folder comes from the uninstall entry, never from where this copy
// happens to run or from the per-user setting: another program could have
// put either in front of an elevated delete.
int RunUninstallCommand() {
  const std::wstring location = RegisteredLocation();
  const UninstallFolderChoice choice = ChooseUninstallFolder(location, ReadInstallDir());
  if (choice.refused) {
    ShowMessageBox(nullptr, UninstallFolderMismatchText(location).c_str(), MB_OK | MB_ICONWARNING);
    return 1;
  }
  const std::wstring& folder = choice.folder;
  if (folder.empty()) {
    ShowMessageBox(nullptr, FromUtf8(kNotInstalledText).c_str(), MB_OK | MB_ICONINFORMATION);
    return 1;
  }

  if (ShowMessageBox(nullptr, UninstallConfirmText(folder).c_str(),
              MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
    return 0;
  }
  while (IsGameRunning()) {
    if (ShowMessageBox(nullptr, kGameRunningRetryText, MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY)
      return 1;
  }
  bool refusedLink = false;
  const bool ok = RemoveInstallation(folder, &refusedLink);
  if (ok) {
    ShowMessageBox(nullptr, kRemovedText, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (refusedLink) {
    ShowMessageBox(nullptr, UninstallForeignLinkText(folder).c_str(), MB_OK | MB_ICONWARNING);
    return 1;
  }
  ShowMessageBox(nullptr, kIncompleteCommandText, MB_OK | MB_ICONWARNING);
  return 1;
}

void UninstallJob() {
  const std::wstring location = RegisteredLocation();
  const UninstallFolderChoice choice = ChooseUninstallFolder(location, ReadInstallDir());
  if (choice.refused) {
    ReportError(ToUtf8(UninstallFolderMismatchText(location)));
    return;
  }
  const std::wstring& folder = choice.folder;
  if (folder.empty()) {
    ReportError(kNotInstalledText);
    return;
  }
  if (IsGameRunning()) {
    ReportError(kCloseGameFirstText);
    return;
  }
  bool refusedLink = false;
  const bool ok = RemoveInstallation(folder, &refusedLink);
  if (refusedLink) {
    // Nothing was removed and the launcher stays: the page says why.
    ReportError(ToUtf8(UninstallForeignLinkText(folder)));
    return;
  }
  if (HWND window = MainWindow()) PostMessageW(window, kWmUninstallDone, ok ? 1 : 0, 0);
}

void ShowUninstallResult(HWND owner, bool allRemoved) {
  if (allRemoved) {
    ShowMessageBox(owner, kRemovedText, MB_OK | MB_ICONINFORMATION);
  } else {
    ShowMessageBox(owner, kIncompleteJobText, MB_OK | MB_ICONWARNING);
  }
}

bool RemoveInstallation(std::wstring_view folderText, bool* refusedLink) {
  std::wstring folder = NormalizeFolder(folderText);
  if (folder.empty()) {
    const UninstallFolderChoice choice = ChooseUninstallFolder(RegisteredLocation(), ReadInstallDir());
    if (choice.refused) return false;  // the entry stays: it is what names the folder
    folder = choice.folder;
  }
  bool ok = true;
  if (!folder.empty() && IsFolder(folder)) {
    // Held (no one else may rename it) and removed through that handle at
    // the end; a folder that is a link another account made is not touched.
    HeldGameFolder held(folder, true);
    if (held.check() == GameFolderCheck::kForeignLink) {
      if (refusedLink) *refusedLink = true;
      return false;
    }
    RemoveGameFiles(folder, held, ok);
  }
  RemoveShortcuts();
  if (!RemoveRegistryEntries()) ok = false;
  return ok;
}

}  // namespace nv
