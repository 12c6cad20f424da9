// The objects the launcher drives: the environment that makes a controller,
// the controller that places the view in the launcher's window, the web view
// with its settings and events, and what the driver's requests raise on it.
// The interfaces' method order is their vtable order: every method a real
// runtime has is declared, in place, even the ones the launcher never calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "com_object.h"
#include "driver_link.h"
#include "json_lines.h"

namespace standin {

class Settings final : public Object<ICoreWebView2Settings6> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidSettings, &kIidSettings2, &kIidSettings3, &kIidSettings4, &kIidSettings5,
                              &kIidSettings6});
  }
// A switch the host reads and sets; the driver hears of every setting.
#define SETTING(Name, initial)                                        \
  PROPERTY_GET(get_##Name, BOOL, Name##_)                              \
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

// An event the host subscribes to, add_ and remove_ in their slots; the
// driver hears of every subscription.
#define EVENT(Name, Handler, handlers)                                                     \
  HRESULT STDMETHODCALLTYPE add_##Name(Handler* h, EventRegistrationToken* t) override { \
    SendCall("add_" #Name);                                                               \
    return handlers.Add(h, t, nextToken_);                                                \
  }                                                                                       \
  HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken t) override { return handlers.Remove(t); }

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
  PROPERTY_GET(get_Source, LPWSTR, CoTaskString(source_))
  HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
  NOT_USED(NavigateToString, LPCWSTR)
  EVENT(NavigationStarting, ICoreWebView2NavigationStartingEventHandler, navigationStarting_)
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
  EVENT(ProcessFailed, ICoreWebView2ProcessFailedEventHandler, processFailed_)
  NOT_USED(AddScriptToExecuteOnDocumentCreated, LPCWSTR,
           ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*)
  NOT_USED(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR)
  NOT_USED(ExecuteScript, LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*)
  NOT_USED(CapturePreview, CapturePreviewImageFormat, IStream*, ICoreWebView2CapturePreviewCompletedHandler*)
  HRESULT STDMETHODCALLTYPE Reload() override;
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
  EVENT(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler, webMessage_)
  NOT_USED(CallDevToolsProtocolMethod, LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*)
  PROPERTY_GET(get_BrowserProcessId, UINT32, GetCurrentProcessId())
  PROPERTY_GET(get_CanGoBack, BOOL, FALSE)
  PROPERTY_GET(get_CanGoForward, BOOL, FALSE)
  NOT_USED(GoBack)
  NOT_USED(GoForward)
  NOT_USED(GetDevToolsProtocolEventReceiver, LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**)
  NOT_USED(Stop)
  EVENT(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler, newWindow_)
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
  EVENT(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler, webResource_)
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

  // A navigation the page starts (id >= 0: the driver's, answered with
  // whether the host cancelled it), or the host's own Navigate and Reload.
  void StartNavigation(const std::wstring& uri, bool user, long long id);
  void RaiseMessage(long long id, const std::wstring& source, const std::wstring& body, bool isString);
  void RaiseNewWindow(long long id, const std::wstring& uri);
  void RaiseProcessFailed(ProcessFailedKind kind);
  // WebResourceRequested when one of the host's filters matches; the reply
  // carries the response the host put on the arguments.
  void RaiseResource(long long id, const std::wstring& uri);
  // The controller was closed: no event reaches the host any more.
  void Close();

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

#undef EVENT

// The one web view of this process and the window it sits in, for the
// driver's requests; set when the host's controller is made.
extern Ref<WebView> activeWebView;
extern HWND parentWindow;

class Controller final : public Object<ICoreWebView2Controller2> {
 public:
  explicit Controller(HWND parent) : parent_(parent), webView_(new WebView()) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidController, &kIidController2});
  }
  PROPERTY_GET(get_IsVisible, BOOL, visible_)
  HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) override {
    visible_ = visible;
    Send(JsonWriter().String("ev", "call").String("m", "put_IsVisible").Bool("value", visible != FALSE).Line());
    return S_OK;
  }
  PROPERTY_GET(get_Bounds, RECT, bounds_)
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
  PROPERTY_GET(get_ZoomFactor, double, 1.0)
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
  PROPERTY_GET(get_ParentWindow, HWND, parent_)
  NOT_USED(put_ParentWindow, HWND)
  HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override {
    SendCall("NotifyParentWindowPositionChanged");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override;
  HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** out) override {
    webView_->AddRef();
    *out = webView_.p;
    return S_OK;
  }
  PROPERTY_GET(get_DefaultBackgroundColor, Color, background_)
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
      HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
  HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int status, LPCWSTR reason,
                                                      LPCWSTR headers,
                                                      ICoreWebView2WebResourceResponse** out) override;
  PROPERTY_GET(get_BrowserVersionString, LPWSTR, CoTaskString(L"120.0.0.0"))
  NOT_USED(add_NewBrowserVersionAvailable, ICoreWebView2NewBrowserVersionAvailableEventHandler*,
           EventRegistrationToken*)
  NOT_USED(remove_NewBrowserVersionAvailable, EventRegistrationToken)
};

}  // namespace standin
