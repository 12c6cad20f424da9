// A stand-in for the WebView2 runtime's EmbeddedBrowserWebView.dll, for
// development machines without WebView2. It implements the interfaces the
// launcher uses (web_view.h, event_args.h) and hands the "browser" to a
// driver on loopback TCP (driver_link.h). Not part of the shipped launcher.
#include <windows.h>

#include "driver_link.h"
#include "web_view.h"

using namespace standin;

namespace {

HINSTANCE dllInstance = nullptr;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) dllInstance = instance;
  return TRUE;
}

__declspec(dllexport) HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    BOOL, INT32 runtimeType, PCWSTR userDataFolder, IUnknown*,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  if (!handler) return E_POINTER;
  const HRESULT linked = OpenDriverLink(dllInstance, runtimeType, userDataFolder);
  if (FAILED(linked)) return linked;
  const bool connected = DriverConnected();
  auto done = Ref<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Share(handler);
  Defer([done, connected] {
    if (!connected) {
      // No browser to start.
      done->Invoke(E_FAIL, nullptr);
      return;
    }
    Ref<Environment> environment(new Environment());
    done->Invoke(S_OK, environment.p);
  });
  return S_OK;
}

__declspec(dllexport) HRESULT STDMETHODCALLTYPE DllCanUnloadNow() { return S_FALSE; }

}  // extern "C"
