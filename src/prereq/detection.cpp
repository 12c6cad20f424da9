#include <windows.h>

#include "prereq/prerequisites.h"
#include "shell/webview2/webview2_loader.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
constexpr wchar_t kWebView2ClientKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

bool VcRuntimeInView(REGSAM view) {
  UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVcRuntimeKey, 0, KEY_QUERY_VALUE | view, key.put()) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LSTATUS status = RegQueryValueExW(key.get(), L"Installed", nullptr, &type,
                                          reinterpret_cast<BYTE*>(&value), &size);
  return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value == 1;
}

// The 32-bit system folder: the game and its DirectX files are 32-bit.
std::wstring SystemFolder32() {
  wchar_t buffer[MAX_PATH];
  UINT n = GetSystemWow64DirectoryW(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = GetSystemDirectoryW(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"C:\\Windows\\System32";
  return std::wstring(buffer, n);
}

bool DirectXPresent() {
  const std::wstring folder = SystemFolder32();
  for (const wchar_t* file : {L"d3dx9_43.dll", L"d3dx9_42.dll", L"xinput1_3.dll"}) {
    if (!IsRegularFile(folder + L"\\" + file)) return false;
  }
  return true;
}

bool WebView2Present() {
  UniqueCoTaskMemString version;
  if (SUCCEEDED(GetAvailableCoreWebView2BrowserVersionString(nullptr, version.put())) &&
      version && version.get()[0] != L'\0') {
    return true;
  }
  const struct {
    HKEY root;
    REGSAM view;
  } places[] = {{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                {HKEY_CURRENT_USER, 0}};
  for (const auto& place : places) {
    std::wstring pv;
    if (ReadRegistryString(place.root, kWebView2ClientKey, L"pv", place.view, pv) && !pv.empty() &&
        pv != L"0.0.0.0") {
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* valueName, REGSAM view,
                        std::wstring& out) {
  out.clear();
  UniqueRegKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
    return false;
  // 512 zeroed bytes, 510 offered: the text always ends in a zero.
  wchar_t buffer[256] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer - sizeof(wchar_t);
  const LSTATUS status =
      RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  key.reset();
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  out = buffer;
  return true;
}

bool IsPrerequisiteInstalled(std::string_view id) {
  if (id == "vcredist") return VcRuntimeInView(KEY_WOW64_32KEY) || VcRuntimeInView(KEY_WOW64_64KEY);
  if (id == "directx") return DirectXPresent();
  if (id == "webview2") return WebView2Present();
  return false;
}

std::vector<PrerequisiteStatus> ListPrerequisites() {
  std::vector<PrerequisiteStatus> list;
  for (const Prerequisite& row : PrerequisiteTable())
    list.push_back({row.id, row.name, IsPrerequisiteInstalled(row.id)});
  return list;
}

}  // namespace nv
