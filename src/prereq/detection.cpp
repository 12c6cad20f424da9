#include <windows.h>

#include "prereq/prerequisites.h"
#include "shell/webview2/webview2_loader.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/registry_value.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
constexpr wchar_t kWebView2ClientKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
// A version text is short; anything longer is not a version.
constexpr std::size_t kMaxVersionChars = 255;

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
    if (!IsRegularFile(JoinPath(folder, file))) return false;
  }
  return true;
}

// The loader finds the runtime, or else its updater has registered a
// version (the loader may not know every place a runtime installs to).
bool WebView2Present() {
  if (IsWebView2RuntimeAvailable()) return true;
  const struct {
    HKEY root;
    REGSAM view;
  } places[] = {{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                {HKEY_CURRENT_USER, 0}};
  for (const auto& place : places) {
    std::wstring pv;
    const RegistryStringRead read{.view = place.view, .expandable = true, .maxChars = kMaxVersionChars};
    if (ReadRegistryString(place.root, kWebView2ClientKey, L"pv", pv, read) && !pv.empty() && pv != L"0.0.0.0") {
      return true;
    }
  }
  return false;
}

}  // namespace

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
