// Our loader's runtime lookup against the test prefix, which has no runtime
// until a test lays one out.
#include <gtest/gtest.h>

#include <windows.h>

#include "prereq/prerequisites.h"
#include "shell/webview2/webview2_loader.h"
#include "shell/webview2/webview2_loader_testing.h"
#include "support/registry_cleanup.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {
namespace {

constexpr wchar_t kClientState[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kArchDll[] = L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";

// A runtime version folder holding the DLL the loader looks for.
std::wstring LayOutRuntime(const test::TempFolder& root, const std::wstring& version) {
  const std::wstring folder = root / (L"Application\\" + version);
  EXPECT_TRUE(CreateParentDirectories(folder + kArchDll));
  EXPECT_TRUE(test::WriteTestFile(folder + kArchDll, "MZ"));
  return folder;
}

HRESULT QueryVersion(std::wstring& version) {
  UniqueCoTaskMemString text;
  const HRESULT hr = GetAvailableCoreWebView2BrowserVersionString(nullptr, text.put());
  version = text ? text.get() : L"<null>";
  return hr;
}

TEST(WebView2Loader, NoRuntimeMeansFileNotFoundAndNull) {
  test::ScopedRegistryKey machine(HKEY_LOCAL_MACHINE, kClientState, KEY_WOW64_32KEY);
  test::ScopedRegistryKey user(HKEY_CURRENT_USER, kClientState, KEY_WOW64_32KEY);
  std::wstring version;
  EXPECT_EQ(QueryVersion(version), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(version, L"<null>");
  EXPECT_EQ(GetAvailableCoreWebView2BrowserVersionString(nullptr, nullptr), E_POINTER);
}

TEST(WebView2Loader, InstalledRuntimeFromEitherHive) {
  test::TempFolder root;
  test::ScopedRegistryKey machine(HKEY_LOCAL_MACHINE, kClientState, KEY_WOW64_32KEY);
  test::ScopedRegistryKey user(HKEY_CURRENT_USER, kClientState, KEY_WOW64_32KEY);

  ASSERT_TRUE(user.SetString(L"EBWebView", LayOutRuntime(root, L"131.0.2903.146")));
  std::wstring version;
  EXPECT_EQ(QueryVersion(version), S_OK);
  EXPECT_EQ(version, L"131.0.2903.146");
  EXPECT_TRUE(IsPrerequisiteInstalled("webview2"));

  // The machine-wide install is found first.
  ASSERT_TRUE(machine.SetString(L"EBWebView", LayOutRuntime(root, L"140.0.1.0")));
  EXPECT_EQ(QueryVersion(version), S_OK);
  EXPECT_EQ(version, L"140.0.1.0");
}

TEST(WebView2Loader, TooOldOrIncompleteRuntimesDoNotCount) {
  test::TempFolder root;
  test::ScopedRegistryKey machine(HKEY_LOCAL_MACHINE, kClientState, KEY_WOW64_32KEY);
  test::ScopedRegistryKey user(HKEY_CURRENT_USER, kClientState, KEY_WOW64_32KEY);
  ASSERT_TRUE(machine.SetString(L"EBWebView", LayOutRuntime(root, L"85.0.564.0")));
  ASSERT_TRUE(user.SetString(L"EBWebView", root / L"Application\\120.0.0.0"));  // no DLL there
  std::wstring version;
  EXPECT_EQ(QueryVersion(version), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST(WebView2Loader, TheFixedFolderVariableReplacesTheInstalledRuntime) {
  test::TempFolder root;
  test::ScopedRegistryKey user(HKEY_CURRENT_USER, kClientState, KEY_WOW64_32KEY);
  ASSERT_TRUE(user.SetString(L"EBWebView", LayOutRuntime(root, L"131.0.2903.146")));
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", (root / L"fixed").c_str());
  std::wstring version;
  const HRESULT hr = QueryVersion(version);
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", nullptr);
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));  // the fixed folder has no runtime
  EXPECT_EQ(version, L"<null>");
}


// Records the environment creation's result and the thread it arrived on.
class EnvironmentHandler final : public wv2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE Invoke(HRESULT result, wv2::ICoreWebView2Environment* environment) override {
    ++calls;
    this->result = result;
    gotEnvironment = environment != nullptr;
    thread = GetCurrentThreadId();
    return S_OK;
  }
  ULONG references = 1;
  int calls = 0;
  HRESULT result = S_OK;
  bool gotEnvironment = false;
  DWORD thread = 0;
};

// The stand-in runtime the build lays out beside the tests.
std::wstring StandInRuntimeFolder() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  for (int up = 0; up < 3; ++up) path.resize(path.find_last_of(L'\\'));  // tests\shell\shell_tests.exe
  return path + L"\\webview2-standin";
}

// The shipped build loads into an elevated process only what an
// administrator installed: the variable naming the stand-in and a per-user
// install are both ignored, the machine-wide install is found.
TEST(WebView2Loader, TheShippedLookupIgnoresTheVariableAndThePerUserInstall) {
  test::TempFolder root;
  test::ScopedRegistryKey machine(HKEY_LOCAL_MACHINE, kClientState, KEY_WOW64_32KEY);
  test::ScopedRegistryKey user(HKEY_CURRENT_USER, kClientState, KEY_WOW64_32KEY);
  ASSERT_TRUE(user.SetString(L"EBWebView", LayOutRuntime(root, L"131.0.2903.146")));
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", StandInRuntimeFolder().c_str());
  SetShippedRuntimeLookupForTesting(true);
  std::wstring version;
  const HRESULT hr = QueryVersion(version);
  EnvironmentHandler handler;
  const HRESULT created = CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, &handler);
  EXPECT_TRUE(machine.SetString(L"EBWebView", LayOutRuntime(root, L"140.0.1.0")));
  std::wstring machineVersion;
  const HRESULT machineHr = QueryVersion(machineVersion);
  SetShippedRuntimeLookupForTesting(false);
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", nullptr);
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(version, L"<null>");
  EXPECT_EQ(created, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(handler.calls, 0);
  EXPECT_EQ(machineHr, S_OK);
  EXPECT_EQ(machineVersion, L"140.0.1.0");
}

TEST(WebView2Loader, EnvironmentCreationLoadsTheRuntimeDllAndAnswersOnThisThread) {
  EnvironmentHandler handler;
  EXPECT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, nullptr), E_POINTER);

  test::TempFolder empty;
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", empty.path().c_str());
  EXPECT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, &handler),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  // The stand-in without a driver to talk to: no browser can start, and the
  // handler hears so asynchronously, on this thread.
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", StandInRuntimeFolder().c_str());
  SetEnvironmentVariableW(L"NV_STANDIN_ADDRESS", nullptr);
  EXPECT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, (empty / L"data").c_str(), nullptr, &handler), S_OK);
  EXPECT_EQ(handler.calls, 0);
  MSG msg;
  for (int i = 0; i < 100 && handler.calls == 0; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", nullptr);
  EXPECT_EQ(handler.calls, 1);
  EXPECT_EQ(handler.result, E_FAIL);
  EXPECT_FALSE(handler.gotEnvironment);
  EXPECT_EQ(handler.thread, GetCurrentThreadId());
  EXPECT_EQ(handler.references, 1u) << "the runtime released its reference";
}

}  // namespace
}  // namespace nv
