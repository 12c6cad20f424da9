#include "shell/webview2/webview2_loader.h"

#include <atomic>
#include <string>
#include <vector>

#include "shell/webview2/webview2_loader_testing.h"
#include "shell/webview2/webview2_version.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/registry_value.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr wchar_t kStableClientState[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

// The runtime DLL follows the architecture of this process, not of Windows.
#if defined(__aarch64__) || defined(_M_ARM64)
constexpr wchar_t kRuntimeDll[] = L"EBWebView\\arm64\\EmbeddedBrowserWebView.dll";
#elif defined(__x86_64__) || defined(_M_X64)
constexpr wchar_t kRuntimeDll[] = L"EBWebView\\x64\\EmbeddedBrowserWebView.dll";
#else
constexpr wchar_t kRuntimeDll[] = L"EBWebView\\x86\\EmbeddedBrowserWebView.dll";
#endif
// Room for any runtime folder the updater writes there.
constexpr std::size_t kMaxRuntimeFolderChars = MAX_PATH * 2 - 2;

#ifdef NV_TEST_SEAMS
std::atomic<bool> shippedLookupForTesting{false};
RuntimeLookup CurrentLookup() {
  return shippedLookupForTesting.load() ? kShippedRuntimeLookup : kTestRuntimeLookup;
}
#else
constexpr RuntimeLookup CurrentLookup() { return kShippedRuntimeLookup; }
#endif

HRESULT ReturnVersion(const std::wstring& version, LPWSTR* versionInfo) {
  const std::size_t bytes = (version.size() + 1) * sizeof(wchar_t);
  auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (!text) return E_OUTOFMEMORY;
  std::copy(version.c_str(), version.c_str() + version.size() + 1, text);
  *versionInfo = text;
  return S_OK;
}

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD n = GetEnvironmentVariableW(name, value.data(), needed);
  value.resize(n < needed ? n : 0);
  return value;
}

std::wstring FileProductVersion(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return {};
  wchar_t* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                      reinterpret_cast<void**>(&text), &length) ||
      !text || length == 0) {
    return {};
  }
  return std::wstring(text, wcsnlen(text, length));
}

// The stable runtime's version folder from its updater's registry entry.
std::wstring InstalledRuntimeVersion(HKEY root, std::wstring* folderOut) {
  std::wstring path;
  if (!ReadRegistryString(root, kStableClientState, L"EBWebView", path,
                          {.view = KEY_WOW64_32KEY, .maxChars = kMaxRuntimeFolderChars})) {
    return {};
  }
  const auto version = UsableRuntimeVersion(path);
  if (!version || !IsRegularFile(JoinPath(path, kRuntimeDll))) return {};
  if (folderOut) *folderOut = path;
  return std::wstring(*version);
}

// The runtime folder named by the override, else by the caller; empty when
// the installed runtime is to be searched.
std::wstring FixedRuntimeFolder(PCWSTR browserExecutableFolder) {
  std::wstring folder;
  if (CurrentLookup().environmentFolder) folder = EnvironmentValue(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER");
  if (folder.empty() && browserExecutableFolder) folder = browserExecutableFolder;
  return folder;
}

// The installed runtime's version folder, machine-wide installs first.
std::wstring InstalledRuntimeFolder(std::wstring* version) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    if (root == HKEY_CURRENT_USER && !CurrentLookup().perUserInstall) break;
    std::wstring folder;
    const std::wstring found = InstalledRuntimeVersion(root, &folder);
    if (!found.empty()) {
      if (version) *version = found;
      return folder;
    }
  }
  return {};
}

}  // namespace

#ifdef NV_TEST_SEAMS
void SetShippedRuntimeLookupForTesting(bool shipped) { shippedLookupForTesting = shipped; }
#else
// The shipped build has no other lookup to switch between.
void SetShippedRuntimeLookupForTesting(bool) {}
#endif

HRESULT GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                     LPWSTR* versionInfo) {
  if (!versionInfo) return E_POINTER;
  *versionInfo = nullptr;

  const std::wstring fixedFolder = FixedRuntimeFolder(browserExecutableFolder);
  if (!fixedFolder.empty()) {
    const std::wstring dll = JoinPath(fixedFolder, kRuntimeDll);
    if (!IsRegularFile(dll)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const std::wstring version = FileProductVersion(dll);
    if (version.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return ReturnVersion(version, versionInfo);
  }

  std::wstring version;
  if (InstalledRuntimeFolder(&version).empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  return ReturnVersion(version, versionInfo);
}

bool IsWebView2RuntimeAvailable() {
  UniqueCoTaskMemString version;
  return SUCCEEDED(GetAvailableCoreWebView2BrowserVersionString(nullptr, version.put())) && version &&
         version.get()[0] != L'\0';
}

HRESULT CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, IUnknown* environmentOptions,
    wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  if (!handler) return E_POINTER;
  const std::wstring fixedFolder = FixedRuntimeFolder(browserExecutableFolder);
  const std::wstring folder = fixedFolder.empty() ? InstalledRuntimeFolder(nullptr) : fixedFolder;
  if (folder.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const std::wstring dll = JoinPath(folder, kRuntimeDll);
  if (!IsRegularFile(dll)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

  // The runtime's own folder for its dependencies, then System32; never the
  // launcher's folder or PATH.
  HMODULE module =
      LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  // The casts hide the calling convention from the compiler: both types carry
  // STDMETHODCALLTYPE, which only the 32-bit build can get wrong.
  const auto create = reinterpret_cast<wv2::CreateWebViewEnvironmentWithOptionsInternalFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "CreateWebViewEnvironmentWithOptionsInternal")));
  const auto canUnload =
      reinterpret_cast<wv2::DllCanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  if (!create) {
    FreeLibrary(module);
    return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  const HRESULT result = create(TRUE, fixedFolder.empty() ? 0 : 1,
                                userDataFolder ? userDataFolder : L"", environmentOptions, handler);
  // The runtime keeps itself loaded while it has objects alive.
  if (canUnload && canUnload() == S_OK) FreeLibrary(module);
  return result;
}

}  // namespace nv
