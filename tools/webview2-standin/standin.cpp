// A stand-in for the WebView2 runtime's EmbeddedBrowserWebView.dll, for
// development machines without WebView2. It implements the interfaces the
// launcher uses, raises every event on the thread that created the
// environment, and hands the "browser" to a driver on loopback TCP
// (NV_STANDIN_ADDRESS, "127.0.0.1:<port>") as JSON lines:
//
//   stand-in -> driver: {"ev":"hello"...}, {"ev":"call","m":<method>...} for
//     every call the host makes, {"ev":"navigated","uri"}, {"ev":"reply","id"...}
//   driver -> stand-in: {"op":"resource"|"message"|"navigate"|"newwindow"|
//     "processfailed"|"window"|"close","id":N,...}
//
// When the driver goes away the browser process counts as exited, as with a
// real runtime. Not part of the shipped launcher.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "json_lines.h"
#include "shell/webview2/webview2.h"

using namespace nv::wv2;
using standin::JsonObject;
using standin::JsonWriter;

namespace {

constexpr UINT kWmLine = WM_APP + 1;
constexpr UINT kWmDisconnected = WM_APP + 2;
constexpr UINT kWmTask = WM_APP + 3;

HINSTANCE dllInstance = nullptr;
HWND messageWindow = nullptr;
SOCKET driver = INVALID_SOCKET;
std::mutex sendMutex;
std::mutex taskMutex;
std::deque<std::function<void()>> tasks;
bool browserExited = false;

std::string Utf8(const wchar_t* text) {
  if (!text || !*text) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

LPWSTR CoTaskString(const std::wstring& text) {
  auto* out = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (out) std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return out;
}

void Send(const std::string& line) {
  std::lock_guard lock(sendMutex);
  if (driver == INVALID_SOCKET) return;
  std::size_t sent = 0;
  while (sent < line.size()) {
    const int n = send(driver, line.data() + sent, static_cast<int>(line.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

void SendCall(const char* method) { Send(JsonWriter().String("ev", "call").String("m", method).Line()); }

// Runs fn on the creating thread after the current call has returned, as
// WebView2 completes its asynchronous operations.
void Defer(std::function<void()> fn) {
  {
    std::lock_guard lock(taskMutex);
    tasks.push_back(std::move(fn));
  }
  PostMessageW(messageWindow, kWmTask, 0, 0);
}

// --- Reference counting shared by every object ------------------------------

template <typename Interface>
class Object : public Interface {
 public:
  virtual ~Object() = default;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  HRESULT Answer(REFIID riid, void** out, std::initializer_list<const IID*> iids) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    for (const IID* iid : iids) {
      if (IsEqualIID(riid, *iid)) {
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
      }
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> references_{1};
};

template <typename T>
struct Ref {
  T* p = nullptr;
  Ref() = default;
  explicit Ref(T* adopt) : p(adopt) {}
  Ref(const Ref& o) : p(o.p) {
    if (p) p->AddRef();
  }
  Ref& operator=(const Ref& o) {
    if (o.p) o.p->AddRef();
    if (p) p->Release();
    p = o.p;
    return *this;
  }
  ~Ref() {
    if (p) p->Release();
  }
  static Ref Share(T* borrowed) {
    if (borrowed) borrowed->AddRef();
    return Ref(borrowed);
  }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

#define NOT_USED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

// --- Event arguments -------------------------------------------------------

class WebMessageArgs final : public Object<ICoreWebView2WebMessageReceivedEventArgs> {
 public:
  WebMessageArgs(std::wstring source, std::wstring body, bool isString)
      : source_(std::move(source)), body_(std::move(body)), isString_(isString) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidWebMessageReceivedArgs});
  }
  HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* out) override { return Give(source_, out); }
  HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* out) override { return Give(body_, out); }
  HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* out) override {
    if (!out) return E_POINTER;
    if (!isString_) {
      *out = nullptr;
      return E_INVALIDARG;
    }
    return Give(body_, out);
  }

 private:
  static HRESULT Give(const std::wstring& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    *out = CoTaskString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  std::wstring source_, body_;
  bool isString_;
};

class NavigationArgs final : public Object<ICoreWebView2NavigationStartingEventArgs> {
 public:
  explicit NavigationArgs(std::wstring uri, bool user) : uri_(std::move(uri)), user_(user) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidNavigationStartingArgs});
  }
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = CoTaskString(uri_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* out) override {
    *out = user_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* out) override {
    *out = FALSE;
    return S_OK;
  }
  NOT_USED(get_RequestHeaders, ICoreWebView2HttpRequestHeaders**)
  HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* out) override {
    *out = cancel_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override {
    cancel_ = cancel;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* out) override {
    *out = 1;
    return S_OK;
  }
  bool cancelled() const { return cancel_ != FALSE; }

 private:
  std::wstring uri_;
  BOOL user_;
  BOOL cancel_ = FALSE;
};

class NewWindowArgs final : public Object<ICoreWebView2NewWindowRequestedEventArgs> {
 public:
  explicit NewWindowArgs(std::wstring uri) : uri_(std::move(uri)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidNewWindowRequestedArgs});
  }
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = CoTaskString(uri_);
    return S_OK;
  }
  NOT_USED(put_NewWindow, ICoreWebView2*)
  NOT_USED(get_NewWindow, ICoreWebView2**)
  HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override {
    handled_ = handled;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Handled(BOOL* out) override {
    *out = handled_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* out) override {
    *out = TRUE;
    return S_OK;
  }
  NOT_USED(GetDeferral, ICoreWebView2Deferral**)
  NOT_USED(get_WindowFeatures, ICoreWebView2WindowFeatures**)
  bool handled() const { return handled_ != FALSE; }

 private:
  std::wstring uri_;
  BOOL handled_ = FALSE;
};

class ProcessFailedArgs final : public Object<ICoreWebView2ProcessFailedEventArgs> {
 public:
  explicit ProcessFailedArgs(ProcessFailedKind kind) : kind_(kind) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidProcessFailedArgs});
  }
  HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(ProcessFailedKind* out) override {
    *out = kind_;
    return S_OK;
  }

 private:
  ProcessFailedKind kind_;
};

class Request final : public Object<ICoreWebView2WebResourceRequest> {
 public:
  explicit Request(std::wstring uri) : uri_(std::move(uri)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidWebResourceRequest});
  }
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = CoTaskString(uri_);
    return S_OK;
  }
  NOT_USED(put_Uri, LPCWSTR)
  HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* out) override {
    *out = CoTaskString(L"GET");
    return S_OK;
  }
  NOT_USED(put_Method, LPCWSTR)
  HRESULT STDMETHODCALLTYPE get_Content(IStream** out) override {
    *out = nullptr;
    return S_OK;
  }
  NOT_USED(put_Content, IStream*)
  NOT_USED(get_Headers, ICoreWebView2HttpRequestHeaders**)

 private:
  std::wstring uri_;
};

class Response final : public Object<ICoreWebView2WebResourceResponse> {
 public:
  Response(IStream* content, int status, std::wstring reason, std::wstring headers)
      : status_(status), reason_(std::move(reason)), headers_(std::move(headers)) {
    content_ = Ref<IStream>::Share(content);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidWebResourceResponse});
  }
  HRESULT STDMETHODCALLTYPE get_Content(IStream** out) override {
    *out = content_.p;
    if (content_) content_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override {
    content_ = Ref<IStream>::Share(content);
    return S_OK;
  }
  NOT_USED(get_Headers, ICoreWebView2HttpResponseHeaders**)
  HRESULT STDMETHODCALLTYPE get_StatusCode(int* out) override {
    *out = status_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_StatusCode(int status) override {
    status_ = status;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* out) override {
    *out = CoTaskString(reason_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reason) override {
    reason_ = reason ? reason : L"";
    return S_OK;
  }

  // The reply to the driver: status, reason, headers and the whole body.
  std::string Describe(long long id) {
    std::string body;
    if (content_) {
      char buffer[16384];
      ULONG n = 0;
      while (SUCCEEDED(content_->Read(buffer, sizeof buffer, &n)) && n > 0) body.append(buffer, n);
    }
    return JsonWriter()
        .String("ev", "reply")
        .Number("id", id)
        .Bool("handled", true)
        .Number("status", status_)
        .String("reason", Utf8(reason_.c_str()))
        .String("headers", Utf8(headers_.c_str()))
        .Bool("hasContent", static_cast<bool>(content_))
        .String("body", standin::Base64(body))
        .Line();
  }

 private:
  Ref<IStream> content_;
  int status_;
  std::wstring reason_, headers_;
};

class ResourceArgs final : public Object<ICoreWebView2WebResourceRequestedEventArgs> {
 public:
  explicit ResourceArgs(std::wstring uri) : request_(new Request(std::move(uri))) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidWebResourceRequestedArgs});
  }
  HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** out) override {
    request_->AddRef();
    *out = request_.p;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** out) override {
    *out = response_.p;
    if (response_) response_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override {
    response_ = Ref<ICoreWebView2WebResourceResponse>::Share(response);
    return S_OK;
  }
  NOT_USED(GetDeferral, ICoreWebView2Deferral**)
  HRESULT STDMETHODCALLTYPE get_ResourceContext(WebResourceContext* out) override {
    *out = kWebResourceContextAll;
    return S_OK;
  }
  // Only responses this stand-in made can be described.
  Response* response() const { return static_cast<Response*>(response_.p); }

 private:
  Ref<Request> request_;
  Ref<ICoreWebView2WebResourceResponse> response_;
};

// --- Settings ----------------------------------------------------------------

class Settings final : public Object<ICoreWebView2Settings6> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidSettings, &kIidSettings2, &kIidSettings3, &kIidSettings4, &kIidSettings5,
                              &kIidSettings6});
  }
#define SETTING(Name, initial)                                        \
  HRESULT STDMETHODCALLTYPE get_##Name(BOOL* out) override {          \
    *out = Name##_;                                                    \
    return S_OK;                                                       \
  }                                                                    \
  HRESULT STDMETHODCALLTYPE put_##Name(BOOL value) override {         \
    Name##_ = value;                                                   \
    Send(JsonWriter()                                                  \
             .String("ev", "call")                                     \
             .String("m", "setting")                                   \
             .String("name", #Name)                                    \
             .Bool("value", value != FALSE)                            \
             .Line());                                                 \
    return S_OK;                                                       \
  }                                                                    \
  BOOL Name##_ = initial;
  SETTING(IsScriptEnabled, TRUE)
  SETTING(IsWebMessageEnabled, TRUE)
  SETTING(AreDefaultScriptDialogsEnabled, TRUE)
  SETTING(IsStatusBarEnabled, TRUE)
  SETTING(AreDevToolsEnabled, TRUE)
  SETTING(AreDefaultContextMenusEnabled, TRUE)
  SETTING(AreHostObjectsAllowed, TRUE)
  SETTING(IsZoomControlEnabled, TRUE)
  SETTING(IsBuiltInErrorPageEnabled, TRUE)
  NOT_USED(get_UserAgent, LPWSTR*)
  NOT_USED(put_UserAgent, LPCWSTR)
  SETTING(AreBrowserAcceleratorKeysEnabled, TRUE)
  SETTING(IsPasswordAutosaveEnabled, FALSE)
  SETTING(IsGeneralAutofillEnabled, TRUE)
  SETTING(IsPinchZoomEnabled, TRUE)
  SETTING(IsSwipeNavigationEnabled, TRUE)
#undef SETTING
};

// --- The web view -------------------------------------------------------------

template <typename Handler>
struct Handlers {
  std::vector<std::pair<__int64, Ref<Handler>>> list;
  HRESULT Add(Handler* handler, EventRegistrationToken* token, __int64& next) {
    if (!handler) return E_INVALIDARG;
    list.emplace_back(++next, Ref<Handler>::Share(handler));
    if (token) token->value = next;
    return S_OK;
  }
  HRESULT Remove(EventRegistrationToken token) {
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->first == token.value) {
        list.erase(it);
        return S_OK;
      }
    }
    return S_OK;
  }
  template <typename Sender, typename Args>
  void Raise(Sender* sender, Args* args) {
    const auto copy = list;  // a handler may remove itself
    for (const auto& entry : copy) entry.second->Invoke(sender, args);
  }
};

bool MatchesFilter(const wchar_t* pattern, const wchar_t* text) {
  if (*pattern == L'\0') return *text == L'\0';
  if (*pattern == L'*') return MatchesFilter(pattern + 1, text) || (*text && MatchesFilter(pattern, text + 1));
  if (*text == L'\0') return false;
  return (*pattern == L'?' || *pattern == *text) && MatchesFilter(pattern + 1, text + 1);
}

class WebView final : public Object<ICoreWebView2> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidWebView});
  }
  HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** out) override {
    settings_->AddRef();
    *out = settings_.p;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* out) override {
    *out = CoTaskString(source_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override {
    if (!uri) return E_INVALIDARG;
    Send(JsonWriter().String("ev", "call").String("m", "Navigate").String("uri", Utf8(uri)).Line());
    Ref<WebView> self = Ref<WebView>::Share(this);
    std::wstring target = uri;
    Defer([self, target] { self->StartNavigation(target, false, -1); });
    return S_OK;
  }
  NOT_USED(NavigateToString, LPCWSTR)
  HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* h,
                                                   EventRegistrationToken* t) override {
    SendCall("add_NavigationStarting");
    return navigationStarting_.Add(h, t, nextToken_);
  }
  HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken t) override {
    return navigationStarting_.Remove(t);
  }
  NOT_USED(add_ContentLoading, ICoreWebView2ContentLoadingEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_ContentLoading, EventRegistrationToken)
  NOT_USED(add_SourceChanged, ICoreWebView2SourceChangedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_SourceChanged, EventRegistrationToken)
  NOT_USED(add_HistoryChanged, ICoreWebView2HistoryChangedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_HistoryChanged, EventRegistrationToken)
  NOT_USED(add_NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_NavigationCompleted, EventRegistrationToken)
  NOT_USED(add_FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_FrameNavigationStarting, EventRegistrationToken)
  NOT_USED(add_FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_FrameNavigationCompleted, EventRegistrationToken)
  NOT_USED(add_ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_ScriptDialogOpening, EventRegistrationToken)
  NOT_USED(add_PermissionRequested, ICoreWebView2PermissionRequestedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_PermissionRequested, EventRegistrationToken)
  HRESULT STDMETHODCALLTYPE add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* h,
                                              EventRegistrationToken* t) override {
    SendCall("add_ProcessFailed");
    return processFailed_.Add(h, t, nextToken_);
  }
  HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken t) override { return processFailed_.Remove(t); }
  NOT_USED(AddScriptToExecuteOnDocumentCreated, LPCWSTR,
           ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*)
  NOT_USED(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR)
  NOT_USED(ExecuteScript, LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*)
  NOT_USED(CapturePreview, CapturePreviewImageFormat, IStream*, ICoreWebView2CapturePreviewCompletedHandler*)
  HRESULT STDMETHODCALLTYPE Reload() override {
    SendCall("Reload");
    Ref<WebView> self = Ref<WebView>::Share(this);
    Defer([self] { self->StartNavigation(self->source_, false, -1); });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR json) override {
    if (!json) return E_INVALIDARG;
    Send(JsonWriter().String("ev", "call").String("m", "PostWebMessageAsJson").String("json", Utf8(json)).Line());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR text) override {
    if (!text) return E_INVALIDARG;
    Send(JsonWriter().String("ev", "call").String("m", "PostWebMessageAsString").String("text", Utf8(text)).Line());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* h,
                                                   EventRegistrationToken* t) override {
    SendCall("add_WebMessageReceived");
    return webMessage_.Add(h, t, nextToken_);
  }
  HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken t) override {
    return webMessage_.Remove(t);
  }
  NOT_USED(CallDevToolsProtocolMethod, LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*)
  HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* out) override {
    *out = GetCurrentProcessId();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* out) override {
    *out = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* out) override {
    *out = FALSE;
    return S_OK;
  }
  NOT_USED(GoBack)
  NOT_USED(GoForward)
  NOT_USED(GetDevToolsProtocolEventReceiver, LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**)
  NOT_USED(Stop)
  HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* h,
                                                   EventRegistrationToken* t) override {
    SendCall("add_NewWindowRequested");
    return newWindow_.Add(h, t, nextToken_);
  }
  HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken t) override {
    return newWindow_.Remove(t);
  }
  NOT_USED(add_DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_DocumentTitleChanged, EventRegistrationToken)
  NOT_USED(get_DocumentTitle, LPWSTR*)
  NOT_USED(AddHostObjectToScript, LPCWSTR, VARIANT*)
  NOT_USED(RemoveHostObjectFromScript, LPCWSTR)
  NOT_USED(OpenDevToolsWindow)
  NOT_USED(add_ContainsFullScreenElementChanged, ICoreWebView2ContainsFullScreenElementChangedEventHandler*,
           EventRegistrationToken*)
  NOT_USED(remove_ContainsFullScreenElementChanged, EventRegistrationToken)
  NOT_USED(get_ContainsFullScreenElement, BOOL*)
  HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* h,
                                                     EventRegistrationToken* t) override {
    SendCall("add_WebResourceRequested");
    return webResource_.Add(h, t, nextToken_);
  }
  HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken t) override {
    return webResource_.Remove(t);
  }
  HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri, WebResourceContext context) override {
    if (!uri) return E_INVALIDARG;
    filters_.push_back(uri);
    Send(JsonWriter()
             .String("ev", "call")
             .String("m", "AddWebResourceRequestedFilter")
             .String("uri", Utf8(uri))
             .Number("context", context)
             .Line());
    return S_OK;
  }
  NOT_USED(RemoveWebResourceRequestedFilter, LPCWSTR, WebResourceContext)
  NOT_USED(add_WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_WindowCloseRequested, EventRegistrationToken)

  // --- What the driver asks for ---------------------------------------------

  void StartNavigation(const std::wstring& uri, bool user, long long id) {
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

  void RaiseMessage(long long id, const std::wstring& source, const std::wstring& body, bool isString) {
    if (!closed_) {
      Ref<WebMessageArgs> args(new WebMessageArgs(source, body, isString));
      webMessage_.Raise(this, args.p);
    }
    Send(JsonWriter().String("ev", "reply").Number("id", id).Line());
  }

  void RaiseNewWindow(long long id, const std::wstring& uri) {
    Ref<NewWindowArgs> args(new NewWindowArgs(uri));
    if (!closed_) newWindow_.Raise(this, args.p);
    Send(JsonWriter().String("ev", "reply").Number("id", id).Bool("handled", args->handled()).Line());
  }

  void RaiseProcessFailed(ProcessFailedKind kind) {
    if (closed_) return;
    Ref<ProcessFailedArgs> args(new ProcessFailedArgs(kind));
    processFailed_.Raise(this, args.p);
  }

  void RaiseResource(long long id, const std::wstring& uri) {
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

  void Close() {
    closed_ = true;
    navigationStarting_.list.clear();
    webMessage_.list.clear();
    newWindow_.list.clear();
    processFailed_.list.clear();
    webResource_.list.clear();
  }

 private:
  Ref<Settings> settings_{new Settings()};
  std::wstring source_ = L"about:blank";
  std::vector<std::wstring> filters_;
  __int64 nextToken_ = 0;
  bool closed_ = false;
  Handlers<ICoreWebView2NavigationStartingEventHandler> navigationStarting_;
  Handlers<ICoreWebView2WebMessageReceivedEventHandler> webMessage_;
  Handlers<ICoreWebView2NewWindowRequestedEventHandler> newWindow_;
  Handlers<ICoreWebView2ProcessFailedEventHandler> processFailed_;
  Handlers<ICoreWebView2WebResourceRequestedEventHandler> webResource_;
};

// The one web view of this process, for the driver's requests.
Ref<WebView> activeWebView;
HWND parentWindow = nullptr;

class Controller final : public Object<ICoreWebView2Controller2> {
 public:
  explicit Controller(HWND parent) : parent_(parent), webView_(new WebView()) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidController, &kIidController2});
  }
  HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* out) override {
    *out = visible_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) override {
    visible_ = visible;
    Send(JsonWriter().String("ev", "call").String("m", "put_IsVisible").Bool("value", visible != FALSE).Line());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Bounds(RECT* out) override {
    *out = bounds_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override {
    bounds_ = bounds;
    Send(JsonWriter()
             .String("ev", "call")
             .String("m", "put_Bounds")
             .Number("left", bounds.left)
             .Number("top", bounds.top)
             .Number("right", bounds.right)
             .Number("bottom", bounds.bottom)
             .Line());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* out) override {
    *out = 1.0;
    return S_OK;
  }
  NOT_USED(put_ZoomFactor, double)
  NOT_USED(add_ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_ZoomFactorChanged, EventRegistrationToken)
  NOT_USED(SetBoundsAndZoomFactor, RECT, double)
  HRESULT STDMETHODCALLTYPE MoveFocus(MoveFocusReason reason) override {
    Send(JsonWriter().String("ev", "call").String("m", "MoveFocus").Number("reason", reason).Line());
    return S_OK;
  }
  NOT_USED(add_MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_MoveFocusRequested, EventRegistrationToken)
  NOT_USED(add_GotFocus, ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_GotFocus, EventRegistrationToken)
  NOT_USED(add_LostFocus, ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_LostFocus, EventRegistrationToken)
  NOT_USED(add_AcceleratorKeyPressed, ICoreWebView2AcceleratorKeyPressedEventHandler*, EventRegistrationToken*)
  NOT_USED(remove_AcceleratorKeyPressed, EventRegistrationToken)
  HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* out) override {
    *out = parent_;
    return S_OK;
  }
  NOT_USED(put_ParentWindow, HWND)
  HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override {
    SendCall("NotifyParentWindowPositionChanged");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    SendCall("Close");
    webView_->Close();
    if (activeWebView.p == webView_.p) activeWebView = Ref<WebView>();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** out) override {
    webView_->AddRef();
    *out = webView_.p;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_DefaultBackgroundColor(Color* out) override {
    *out = background_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_DefaultBackgroundColor(Color color) override {
    if (color.A != 0 && color.A != 255) return E_INVALIDARG;
    background_ = color;
    Send(JsonWriter()
             .String("ev", "call")
             .String("m", "put_DefaultBackgroundColor")
             .Number("a", color.A)
             .Number("r", color.R)
             .Number("g", color.G)
             .Number("b", color.B)
             .Line());
    return S_OK;
  }
  Ref<WebView> webView() const { return webView_; }

 private:
  HWND parent_;
  Ref<WebView> webView_;
  BOOL visible_ = TRUE;
  RECT bounds_{};
  Color background_{255, 255, 255, 255};
};

class Environment final : public Object<ICoreWebView2Environment> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidEnvironment});
  }
  HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
      HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override {
    if (!handler || !IsWindow(parent)) return E_INVALIDARG;
    SendCall("CreateCoreWebView2Controller");
    auto done = Ref<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Share(handler);
    Defer([parent, done] {
      if (browserExited) {
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
  HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int status, LPCWSTR reason,
                                                      LPCWSTR headers,
                                                      ICoreWebView2WebResourceResponse** out) override {
    if (!out) return E_POINTER;
    *out = new Response(content, status, reason ? reason : L"", headers ? headers : L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* out) override {
    *out = CoTaskString(L"120.0.0.0");
    return S_OK;
  }
  NOT_USED(add_NewBrowserVersionAvailable, ICoreWebView2NewBrowserVersionAvailableEventHandler*,
           EventRegistrationToken*)
  NOT_USED(remove_NewBrowserVersionAvailable, EventRegistrationToken)
};

#undef NOT_USED

std::wstring Text(const JsonObject& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->second.kind == standin::JsonValue::kString ? Wide(it->second.text)
                                                                              : std::wstring();
}

long long Number(const JsonObject& object, const char* key, long long fallback) {
  const auto it = object.find(key);
  return it != object.end() && it->second.kind == standin::JsonValue::kNumber
             ? static_cast<long long>(it->second.number)
             : fallback;
}

void ReplyWindow(long long id) {
  RECT rect{};
  const bool exists = parentWindow && IsWindow(parentWindow);
  wchar_t title[256] = {};
  if (exists) {
    GetWindowRect(parentWindow, &rect);
    GetWindowTextW(parentWindow, title, 256);
  }
  Send(JsonWriter()
           .String("ev", "reply")
           .Number("id", id)
           .Bool("exists", exists)
           .Bool("visible", exists && IsWindowVisible(parentWindow))
           .Bool("iconic", exists && IsIconic(parentWindow))
           .Number("x", rect.left)
           .Number("y", rect.top)
           .Number("width", rect.right - rect.left)
           .Number("height", rect.bottom - rect.top)
           .String("title", Utf8(title))
           .Line());
}

void HandleLine(const std::string& line) {
  const auto object = standin::ParseJsonObject(line);
  if (!object) return;
  const std::wstring op = Text(*object, "op");
  const long long id = Number(*object, "id", 0);
  Ref<WebView> view = activeWebView;
  if (op == L"window") {
    ReplyWindow(id);
    return;
  }
  if (op == L"close") {
    // The window's close button, Alt+F4 or the taskbar: WM_CLOSE.
    if (parentWindow) PostMessageW(parentWindow, WM_CLOSE, 0, 0);
    Send(JsonWriter().String("ev", "reply").Number("id", id).Line());
    return;
  }
  if (!view) {
    Send(JsonWriter().String("ev", "reply").Number("id", id).String("error", "no web view").Line());
    return;
  }
  if (op == L"resource") {
    view->RaiseResource(id, Text(*object, "uri"));
  } else if (op == L"message") {
    const auto isString = object->find("string");
    if (isString != object->end()) {
      view->RaiseMessage(id, Text(*object, "source"), Wide(isString->second.text), true);
    } else {
      view->RaiseMessage(id, Text(*object, "source"), Text(*object, "json"), false);
    }
  } else if (op == L"navigate") {
    view->StartNavigation(Text(*object, "uri"), true, id);
  } else if (op == L"newwindow") {
    view->RaiseNewWindow(id, Text(*object, "uri"));
  } else if (op == L"processfailed") {
    view->RaiseProcessFailed(static_cast<ProcessFailedKind>(Number(*object, "kind", 1)));
    Send(JsonWriter().String("ev", "reply").Number("id", id).Line());
  } else {
    Send(JsonWriter().String("ev", "reply").Number("id", id).String("error", "unknown op").Line());
  }
}

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kWmLine: {
      std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
      HandleLine(*line);
      return 0;
    }
    case kWmDisconnected: {
      // The driver is the browser process: without it the browser has exited.
      browserExited = true;
      if (Ref<WebView> view = activeWebView) view->RaiseProcessFailed(kBrowserProcessExited);
      return 0;
    }
    case kWmTask: {
      for (;;) {
        std::function<void()> task;
        {
          std::lock_guard lock(taskMutex);
          if (tasks.empty()) break;
          task = std::move(tasks.front());
          tasks.pop_front();
        }
        task();
      }
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ReaderThread(SOCKET socket, HWND window) {
  std::string pending;
  char buffer[65536];
  for (;;) {
    const int n = recv(socket, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    pending.append(buffer, n);
    std::size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
      auto* line = new std::string(pending.substr(0, newline));
      pending.erase(0, newline + 1);
      if (!PostMessageW(window, kWmLine, 0, reinterpret_cast<LPARAM>(line))) delete line;
    }
  }
  PostMessageW(window, kWmDisconnected, 0, 0);
}

// "127.0.0.1:<port>" only: the stand-in never talks to another machine.
SOCKET ConnectToDriver() {
  char address[64] = {};
  const DWORD n = GetEnvironmentVariableA("NV_STANDIN_ADDRESS", address, sizeof address);
  if (n == 0 || n >= sizeof address) return INVALID_SOCKET;
  const char* colon = std::strrchr(address, ':');
  if (!colon || std::strncmp(address, "127.0.0.1", colon - address) != 0) return INVALID_SOCKET;
  const int port = std::atoi(colon + 1);
  if (port <= 0 || port > 65535) return INVALID_SOCKET;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return INVALID_SOCKET;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port));
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

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
  if (!messageWindow) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &MessageWindowProc;
    windowClass.hInstance = dllInstance;
    windowClass.lpszClassName = L"NorvaneWebView2StandIn";
    RegisterClassExW(&windowClass);
    messageWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    dllInstance, nullptr);
    if (!messageWindow) return HRESULT_FROM_WIN32(GetLastError());
  }
  if (driver == INVALID_SOCKET) {
    driver = ConnectToDriver();
    if (driver != INVALID_SOCKET) {
      std::thread(ReaderThread, driver, messageWindow).detach();
      Send(JsonWriter()
               .String("ev", "hello")
               .Number("pid", GetCurrentProcessId())
               .Number("runtimeType", runtimeType)
               .String("userDataFolder", Utf8(userDataFolder))
               .Line());
    }
  }
  const bool connected = driver != INVALID_SOCKET;
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
