#include "system/system_support.h"

#include <shobjidl.h>

#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/shell_files.h"
#include "system/uninstall_entry.h"

namespace nv::test {

bool FileExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint64_t SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring HelperPath() {
  const std::wstring own = OwnExePath();
  return own.substr(0, own.rfind(L'\\')) + L"\\system_helper.exe";
}

bool CopyHelperTo(const std::wstring& path) {
  return CopyFileW(HelperPath().c_str(), path.c_str(), FALSE) != 0;
}

int RunAndWait(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs) {
  std::wstring line = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return -1;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 99);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}

std::wstring RegValue::Text() const {
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

DWORD RegValue::Dword() const {
  DWORD value = 0;
  if (data.size() == sizeof value) memcpy(&value, data.data(), sizeof value);
  return value;
}

std::optional<RegValue> ReadRegValue(HKEY hive, const wchar_t* key, const wchar_t* name) {
  UniqueRegKey handle;
  if (RegOpenKeyExW(hive, key, 0, KEY_READ, handle.put()) != ERROR_SUCCESS) return std::nullopt;
  RegValue value;
  DWORD size = 0;
  if (RegQueryValueExW(handle.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  if (RegQueryValueExW(handle.get(), name, nullptr, &value.type, value.data.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

std::vector<std::wstring> RegValueNames(HKEY hive, const wchar_t* key) {
  std::vector<std::wstring> names;
  UniqueRegKey handle;
  if (RegOpenKeyExW(hive, key, 0, KEY_READ, handle.put()) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumValueW(handle.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

bool RegKeyExists(HKEY hive, const wchar_t* key) {
  UniqueRegKey handle;
  return RegOpenKeyExW(hive, key, 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

void SetRegValue(HKEY hive, const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
                 DWORD size) {
  UniqueRegKey handle;
  if (RegCreateKeyExW(hive, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.put(), nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(handle.get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

void ClearLauncherRegistry() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norvane");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Norvane");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
}

std::optional<ShortcutInfo> ReadShortcut(const std::wstring& linkPath) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())))
    return std::nullopt;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return std::nullopt;
  if (FAILED(file->Load(linkPath.c_str(), STGM_READ))) return std::nullopt;
  ShortcutInfo info;
  wchar_t buffer[1024] = {};
  if (SUCCEEDED(link->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH))) info.target = buffer;
  buffer[0] = 0;
  if (SUCCEEDED(link->GetWorkingDirectory(buffer, 1024))) info.workingDir = buffer;
  buffer[0] = 0;
  if (SUCCEEDED(link->GetIconLocation(buffer, 1024, &info.iconIndex))) info.iconPath = buffer;
  buffer[0] = 0;
  if (SUCCEEDED(link->GetDescription(buffer, 1024))) info.description = buffer;
  return info;
}

bool WriteState(const std::wstring& folder,
                const std::vector<std::pair<std::string, std::int64_t>>& files,
                const std::string& version) {
  FileState state;
  state.version = version;
  for (const auto& [path, size] : files) RecordFileState(state, path, size, 1, std::string(64, 'a'));
  return SaveFileState(folder, state);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace nv::test
