#include "web_view.h"

#include "event_args.h"

namespace standin {

Ref<WebView> activeWebView;
HWND parentWindow = nullptr;

namespace {

// A resource filter: '*' any run of characters, '?' one.
bool MatchesFilter(const wchar_t* pattern, const wchar_t* text) {
  if (*pattern == L'\0') return *text == L'\0';
  if (*pattern == L'*') return MatchesFilter(pattern + 1, text) || (*text && MatchesFilter(pattern, text + 1));
  if (*text == L'\0') return false;
  return (*pattern == L'?' || *pattern == *text) && MatchesFilter(pattern + 1, text + 1);
}

}  // namespace

HRESULT STDMETHODCALLTYPE WebView::Navigate(LPCWSTR uri) {
  if (!uri) return E_INVALIDARG;
  Send(JsonWriter().String("ev", "call").String("m", "Navigate").String("uri", Utf8(uri)).Line());
  Ref<WebView> self = Ref<WebView>::Share(this);
  std::wstring target = uri;
  Defer([self, target] { self->StartNavigation(target, false, -1); });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE WebView::Reload() {
  SendCall("Reload");
  Ref<WebView> self = Ref<WebView>::Share(this);
  Defer([self] { self->StartNavigation(self->source_, false, -1); });
  return S_OK;
}

void WebView::StartNavigation(const std::wstring& uri, bool user, long long id) {
  if (closed_) return;
  Ref<NavigationArgs> args(new NavigationArgs(uri, user));
  navigationStarting_.Raise(this, args.p);
  const bool cancelled = args->cancelled();
  if (!cancelled) {
    source_ = uri;
    Send(JsonWriter().String("ev", "navigated").String("uri", Utf8(uri.c_str())).Line());
  }
  if (id >= 0) Send(JsonWriter().String("ev", "reply").Number("id", id).Bool("cancel", cancelled).Line());
}

void WebView::RaiseMessage(long long id, const std::wstring& source, const std::wstring& body, bool isString) {
  if (!closed_) {
    Ref<WebMessageArgs> args(new WebMessageArgs(source, body, isString));
    webMessage_.Raise(this, args.p);
  }
  Send(JsonWriter().String("ev", "reply").Number("id", id).Line());
}

void WebView::RaiseNewWindow(long long id, const std::wstring& uri) {
  Ref<NewWindowArgs> args(new NewWindowArgs(uri));
  if (!closed_) newWindow_.Raise(this, args.p);
  Send(JsonWriter().String("ev", "reply").Number("id", id).Bool("handled", args->handled()).Line());
}

void WebView::RaiseProcessFailed(ProcessFailedKind kind) {
  if (closed_) return;
  Ref<ProcessFailedArgs> args(new ProcessFailedArgs(kind));
  processFailed_.Raise(this, args.p);
}

void WebView::RaiseResource(long long id, const std::wstring& uri) {
  bool filtered = false;
  for (const std::wstring& filter : filters_) filtered = filtered || MatchesFilter(filter.c_str(), uri.c_str());
  Ref<ResourceArgs> args(new ResourceArgs(uri));
  if (filtered && !closed_) webResource_.Raise(this, args.p);
  if (Response* response = args->response()) {
    Send(response->Describe(id));
  } else {
    Send(JsonWriter().String("ev", "reply").Number("id", id).Bool("handled", false).Line());
  }
}

void WebView::Close() {
  closed_ = true;
  navigationStarting_.list.clear();
  webMessage_.list.clear();
  newWindow_.list.clear();
  processFailed_.list.clear();
  webResource_.list.clear();
}

HRESULT STDMETHODCALLTYPE Controller::Close() {
  SendCall("Close");
  webView_->Close();
  if (activeWebView.p == webView_.p) activeWebView = Ref<WebView>();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Environment::CreateCoreWebView2Controller(
    HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
  if (!handler || !IsWindow(parent)) return E_INVALIDARG;
  SendCall("CreateCoreWebView2Controller");
  auto done = Ref<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Share(handler);
  Defer([parent, done] {
    if (BrowserExited()) {
      done->Invoke(E_FAIL, nullptr);
      return;
    }
    Ref<Controller> controller(new Controller(parent));
    activeWebView = controller->webView();
    parentWindow = parent;
    done->Invoke(S_OK, controller.p);
  });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Environment::CreateWebResourceResponse(IStream* content, int status, LPCWSTR reason,
                                                                LPCWSTR headers,
                                                                ICoreWebView2WebResourceResponse** out) {
  if (!out) return E_POINTER;
  *out = new Response(content, status, reason ? reason : L"", headers ? headers : L"");
  return S_OK;
}

}  // namespace standin
