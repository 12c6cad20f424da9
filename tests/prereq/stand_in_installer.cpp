// A stand-in for a Microsoft runtime installer, driven by environment
// variables that the test process sets before it starts the installer:
//   NV_STANDIN_EXIT    exit code (default 0)
//   NV_STANDIN_SLEEP   milliseconds to wait before exiting
//   NV_STANDIN_RECORD  file to write "<command line>\n<working folder>\n<show>" to
//   NV_STANDIN_VC      "1": write the Visual C++ runtime key (64-bit view)
#include <windows.h>

#include <cstdlib>
#include <string>

#include "sync/fs/unique_handle.h"

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

void Record(const std::wstring& path) {
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const std::wstring text = std::wstring(GetCommandLineW()) + L"\n" + cwd + L"\n" +
                            std::to_wstring((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1);
  nv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
}

}  // namespace

int wmain() {
  if (const std::wstring record = Env(L"NV_STANDIN_RECORD"); !record.empty()) Record(record);
  if (Env(L"NV_STANDIN_VC") == L"1") {
    nv::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86", 0,
                        nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
      const DWORD one = 1;
      RegSetValueExW(key.get(), L"Installed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    }
  }
  if (const std::wstring sleep = Env(L"NV_STANDIN_SLEEP"); !sleep.empty()) Sleep(std::wcstoul(sleep.c_str(), nullptr, 10));
  const std::wstring code = Env(L"NV_STANDIN_EXIT");
  return code.empty() ? 0 : static_cast<int>(std::wcstoul(code.c_str(), nullptr, 10));
}
