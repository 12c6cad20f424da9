#include "shell/webview_host.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <deque>
#include <string>
#include <utility>

#include "bridge/dispatcher/command_dispatcher.h"
#include "bridge/main_window_handle.h"
#include "bridge/nv_api.h"
#include "bridge/window_messages.h"
#include "shell/shell_messages.h"
#include "shell/shell_rules.h"
#include "shell/webview2/webview2.h"
#include "shell/webview2/webview2_loader.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

using namespace wv2;

bool devToolsEnabled = false;
ComPtr<ICoreWebView2Environment> environment;
ComPtr<ICoreWebView2Controller> controller;
ComPtr<ICoreWebView2> webView;
std::deque<std::wstring> pendingCommands;
// Whether a kWmPageCommands post is on its way. A post that failed (a full
// message queue) is tried again with the next command rather than leaving
// every later command waiting for a message that never comes.
bool commandsPosted = false;

void ReportFailure(HRESULT result) {
  if (HWND window = MainWindow()) PostMessageW(window, kWmWebViewFailed, static_cast<WPARAM>(result), 0);
}

// One reference-counted callback object per handler interface, calling a
// plain function. It runs on the window thread, where WebView2 raises its
// events; nothing may throw out of it.
template <typename Interface, const IID& Iid, typename A, typename B>
class Callback final : public Interface {
 public:
  using Function = HRESULT (*)(A, B);
  explicit Callback(Function function) : function_(function) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, Iid)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Invoke(A a, B b) override {
    try {
      return function_(a, b);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  Function function_;
  std::atomic<ULONG> references_{1};
};

template <typename Interface, const IID& Iid, typename A, typename B>
ComPtr<Interface> MakeCallback(HRESULT (*function)(A, B)) {
  ComPtr<Interface> handler;
  *handler.put() = new Callback<Interface, Iid, A, B>(function);
  return handler;
}

std::wstring TakeString(LPWSTR text) {
  UniqueCoTaskMemString owner(text);
  return text ? std::wstring(text) : std::wstring();
}

HRESULT OnWebMessage(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
  if (!args) return S_OK;
  LPWSTR sourceText = nullptr;
  if (FAILED(args->get_Source(&sourceText))) return S_OK;
  const std::wstring source = TakeString(sourceText);
  LPWSTR messageText = nullptr;
  if (FAILED(args->TryGetWebMessageAsString(&messageText)) || !messageText) {
    TakeString(messageText);
    return S_OK;
  }
  std::wstring text = TakeString(messageText);
  if (!IsAcceptedPageMessage(source, text)) return S_OK;
  // Commands run after this event has returned: `close` destroys the window
  // and with it the controller that is raising the event.
  HWND window = MainWindow();
  if (!window) return S_OK;
  pendingCommands.push_back(std::move(text));
  if (!commandsPosted) commandsPosted = PostMessageW(window, kWmPageCommands, 0, 0) != FALSE;
  return S_OK;
}

HRESULT OnNavigationStarting(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
  if (!args) return S_OK;
  LPWSTR uriText = nullptr;
  if (FAILED(args->get_Uri(&uriText))) {
    TakeString(uriText);
    args->put_Cancel(TRUE);
    return S_OK;
  }
  const std::wstring uri = TakeString(uriText);
  switch (DecideNavigation(uri)) {
    case NavigationAction::kAllow:
      SetPageReady(false);
      break;
    case NavigationAction::kBlockAndOpenExternally:
      args->put_Cancel(TRUE);
      OpenExternal(uri);
      break;
    case NavigationAction::kBlock:
      args->put_Cancel(TRUE);
      break;
  }
  return S_OK;
}

HRESULT OnNewWindowRequested(ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
  if (!args) return S_OK;
  args->put_Handled(TRUE);
  LPWSTR uriText = nullptr;
  const HRESULT got = args->get_Uri(&uriText);
  const std::wstring uri = TakeString(uriText);
  if (SUCCEEDED(got) && IsWebAddress(uri)) OpenExternal(uri);
  return S_OK;
}

HRESULT OnProcessFailed(ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) {
  ProcessFailedKind kind = kBrowserProcessExited;
  if (!args || FAILED(args->get_ProcessFailedKind(&kind))) kind = kBrowserProcessExited;
  if (kind == kBrowserProcessExited) {
    ReportFailure(E_FAIL);
  } else if (webView) {
    webView->Reload();
  }
  return S_OK;
}

HRESULT OnWebResourceRequested(ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
  if (!args || !environment) return S_OK;
  ComPtr<ICoreWebView2WebResourceRequest> request;
  if (FAILED(args->get_Request(request.put())) || !request) return S_OK;
  LPWSTR uriText = nullptr;
  const HRESULT got = request->get_Uri(&uriText);
  const std::wstring uri = TakeString(uriText);
  if (FAILED(got) || !IsUnderPageOrigin(uri)) return S_OK;

  const std::optional<PageResource> resource = ResourceForUri(uri);
  ComPtr<IStream> stream;
  if (resource) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resource->id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (bytes) *stream.put() = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
  }
  ComPtr<ICoreWebView2WebResourceResponse> response;
  if (stream) {
    environment->CreateWebResourceResponse(stream.get(), 200, L"OK", ResourceHeaders(*resource).c_str(),
                                           response.put());
  } else {
    environment->CreateWebResourceResponse(nullptr, 404, L"Not Found", L"", response.put());
  }
  if (response) args->put_Response(response.get());
  return S_OK;
}

void ApplySettings() {
  ComPtr<ICoreWebView2Settings> settings;
  if (FAILED(webView->get_Settings(settings.put())) || !settings) return;
  settings->put_AreDefaultContextMenusEnabled(devToolsEnabled ? TRUE : FALSE);
  settings->put_AreDevToolsEnabled(devToolsEnabled ? TRUE : FALSE);
  settings->put_IsStatusBarEnabled(FALSE);
  settings->put_IsZoomControlEnabled(FALSE);
  if (!devToolsEnabled) {
    ComPtr<ICoreWebView2Settings3> settings3;
    if (SUCCEEDED(settings->QueryInterface(kIidSettings3, settings3.put_void())) && settings3)
      settings3->put_AreBrowserAcceleratorKeysEnabled(FALSE);
  }
  ComPtr<ICoreWebView2Settings5> settings5;
  if (SUCCEEDED(settings->QueryInterface(kIidSettings5, settings5.put_void())) && settings5)
    settings5->put_IsPinchZoomEnabled(FALSE);
  ComPtr<ICoreWebView2Settings6> settings6;
  if (SUCCEEDED(settings->QueryInterface(kIidSettings6, settings6.put_void())) && settings6)
    settings6->put_IsSwipeNavigationEnabled(FALSE);
}

void RegisterHandlers() {
  EventRegistrationToken token{};
  webView->add_WebMessageReceived(MakeCallback<ICoreWebView2WebMessageReceivedEventHandler, kIidWebMessageReceivedHandler>(&OnWebMessage).get(), &token);
  webView->add_NavigationStarting(MakeCallback<ICoreWebView2NavigationStartingEventHandler, kIidNavigationStartingHandler>(&OnNavigationStarting).get(), &token);
  webView->add_NewWindowRequested(MakeCallback<ICoreWebView2NewWindowRequestedEventHandler, kIidNewWindowRequestedHandler>(&OnNewWindowRequested).get(), &token);
  webView->add_ProcessFailed(MakeCallback<ICoreWebView2ProcessFailedEventHandler, kIidProcessFailedHandler>(&OnProcessFailed).get(), &token);
  webView->AddWebResourceRequestedFilter(kResourceFilter, kWebResourceContextAll);
  webView->add_WebResourceRequested(MakeCallback<ICoreWebView2WebResourceRequestedEventHandler, kIidWebResourceRequestedHandler>(&OnWebResourceRequested).get(), &token);
}

HRESULT OnControllerCompleted(HRESULT result, ICoreWebView2Controller* created) {
  if (!created) {
    ReportFailure(FAILED(result) ? result : E_FAIL);
    return S_OK;
  }
  if (FAILED(result)) {
    created->Close();
    ReportFailure(result);
    return S_OK;
  }
  HWND window = MainWindow();
  if (!window) {
    created->Close();
    return S_OK;
  }
  created->AddRef();
  controller.reset(created);
  if (FAILED(controller->get_CoreWebView2(webView.put())) || !webView) {
    ReportFailure(E_FAIL);
    return S_OK;
  }
  ComPtr<ICoreWebView2Controller2> controller2;
  if (SUCCEEDED(controller->QueryInterface(kIidController2, controller2.put_void())) && controller2)
    controller2->put_DefaultBackgroundColor(Color{255, 5, 9, 15});
  ResizeWebView(window);
  ApplySettings();
  RegisterHandlers();
  SetPageSink([](const std::string& json) {
    if (webView) webView->PostWebMessageAsJson(FromUtf8(json).c_str());
  });
  webView->Navigate(kPageAddress);
  return S_OK;
}

HRESULT OnEnvironmentCompleted(HRESULT result, ICoreWebView2Environment* created) {
  HWND window = MainWindow();
  if (FAILED(result) || !created || !window) {
    ReportFailure(FAILED(result) ? result : E_FAIL);
    return S_OK;
  }
  created->AddRef();
  environment.reset(created);
  const HRESULT started =
      environment->CreateCoreWebView2Controller(window, MakeCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, kIidControllerCompletedHandler>(&OnControllerCompleted).get());
  if (FAILED(started)) ReportFailure(started);
  return S_OK;
}

}  // namespace

void SetDevToolsEnabled(bool enabled) { devToolsEnabled = enabled; }

void CreateWebViewEnvironment() {
  std::wstring userDataFolder;
  UniqueCoTaskMemString localAppData;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, localAppData.put())) && localAppData) {
    userDataFolder = std::wstring(localAppData.get()) + L"\\Norvane\\WebView2\\Launcher";
    SHCreateDirectoryExW(nullptr, userDataFolder.c_str(), nullptr);  // an existing folder is fine
  }
  const HRESULT started = CreateCoreWebView2EnvironmentWithOptions(
      nullptr, userDataFolder.empty() ? nullptr : userDataFolder.c_str(), nullptr,
      MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, kIidEnvironmentCompletedHandler>(&OnEnvironmentCompleted).get());
  if (FAILED(started)) ReportFailure(started);
}

void ResizeWebView(HWND window) {
  if (!controller) return;
  RECT bounds{};
  GetClientRect(window, &bounds);
  controller->put_Bounds(bounds);
}

void NotifyWebViewMoved() {
  if (controller) controller->NotifyParentWindowPositionChanged();
}

void FocusWebView() {
  if (controller) controller->MoveFocus(kMoveFocusProgrammatic);
}

void CloseWebView() {
  SetPageSink(nullptr);
  pendingCommands.clear();
  commandsPosted = false;
  if (controller) controller->Close();
  webView.reset();
  controller.reset();
  environment.reset();
}

void DispatchPendingPageCommands() {
  commandsPosted = false;
  // A command may destroy the window (close), which clears the queue.
  while (!pendingCommands.empty()) {
    const std::wstring text = std::move(pendingCommands.front());
    pendingCommands.pop_front();
    DispatchCommand(text);
  }
}

}  // namespace nv
