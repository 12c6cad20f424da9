// Our own declarations of the WebView2 COM interfaces the launcher calls or
// implements (mingw ships no WebView2 header).
//
// The binary interface is each method's vtable slot and parameter types, so:
// single inheritance, pure virtual methods in slot order, STDMETHODCALLTYPE on
// every one (x86 passes `this` on the stack and the callee pops), no virtual
// destructor (it would add slots), no overloaded names. Methods we never call
// keep their place with their real parameter types. Derived interfaces
// (Controller2, Settings2..6) are reached only through QueryInterface.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <unknwn.h>

namespace nv::wv2 {

// Value types passed by value: their size is part of the ABI.
struct EventRegistrationToken {
  __int64 value;
};
struct Color {
  BYTE A;
  BYTE R;
  BYTE G;
  BYTE B;
};
static_assert(sizeof(EventRegistrationToken) == 8);
static_assert(sizeof(Color) == 4);
static_assert(sizeof(RECT) == 16);

// Enums are 32-bit ints.
using WebResourceContext = INT32;
inline constexpr WebResourceContext kWebResourceContextAll = 0;
using ProcessFailedKind = INT32;
inline constexpr ProcessFailedKind kBrowserProcessExited = 0;
inline constexpr ProcessFailedKind kRenderProcessExited = 1;
inline constexpr ProcessFailedKind kRenderProcessUnresponsive = 2;
using MoveFocusReason = INT32;
inline constexpr MoveFocusReason kMoveFocusProgrammatic = 0;
using CapturePreviewImageFormat = INT32;

// Interfaces that appear only as parameters of methods we never call.
struct ICoreWebView2NewBrowserVersionAvailableEventHandler;
struct ICoreWebView2ZoomFactorChangedEventHandler;
struct ICoreWebView2MoveFocusRequestedEventHandler;
struct ICoreWebView2FocusChangedEventHandler;
struct ICoreWebView2AcceleratorKeyPressedEventHandler;
struct ICoreWebView2ContentLoadingEventHandler;
struct ICoreWebView2SourceChangedEventHandler;
struct ICoreWebView2HistoryChangedEventHandler;
struct ICoreWebView2NavigationCompletedEventHandler;
struct ICoreWebView2ScriptDialogOpeningEventHandler;
struct ICoreWebView2PermissionRequestedEventHandler;
struct ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler;
struct ICoreWebView2ExecuteScriptCompletedHandler;
struct ICoreWebView2CapturePreviewCompletedHandler;
struct ICoreWebView2CallDevToolsProtocolMethodCompletedHandler;
struct ICoreWebView2DevToolsProtocolEventReceiver;
struct ICoreWebView2DocumentTitleChangedEventHandler;
struct ICoreWebView2ContainsFullScreenElementChangedEventHandler;
struct ICoreWebView2WindowCloseRequestedEventHandler;
struct ICoreWebView2HttpRequestHeaders;
struct ICoreWebView2HttpResponseHeaders;
struct ICoreWebView2Deferral;
struct ICoreWebView2WindowFeatures;

struct ICoreWebView2;
struct ICoreWebView2Controller;
struct ICoreWebView2Environment;
struct ICoreWebView2Settings;
struct ICoreWebView2WebResourceResponse;
struct ICoreWebView2WebResourceRequest;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2ProcessFailedEventArgs;
struct ICoreWebView2WebResourceRequestedEventArgs;

#define NV_WV2_METHOD(name) virtual HRESULT STDMETHODCALLTYPE name

// --- Handlers we implement: IUnknown + Invoke at slot 3 ---------------------

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(HRESULT errorCode, ICoreWebView2Environment* createdEnvironment) = 0;
};
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(HRESULT errorCode, ICoreWebView2Controller* createdController) = 0;
};
struct ICoreWebView2WebMessageReceivedEventHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) = 0;
};
struct ICoreWebView2NavigationStartingEventHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args) = 0;
};
struct ICoreWebView2NewWindowRequestedEventHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(ICoreWebView2* sender, ICoreWebView2NewWindowRequestedEventArgs* args) = 0;
};
struct ICoreWebView2ProcessFailedEventHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(ICoreWebView2* sender, ICoreWebView2ProcessFailedEventArgs* args) = 0;
};
struct ICoreWebView2WebResourceRequestedEventHandler : IUnknown {
  NV_WV2_METHOD(Invoke)(ICoreWebView2* sender, ICoreWebView2WebResourceRequestedEventArgs* args) = 0;
};

// --- Environment (8 slots) ---------------------------------------------------

struct ICoreWebView2Environment : IUnknown {
  NV_WV2_METHOD(CreateCoreWebView2Controller)(HWND parentWindow,
                                              ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;
  NV_WV2_METHOD(CreateWebResourceResponse)(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                           LPCWSTR headers, ICoreWebView2WebResourceResponse** response) = 0;
  NV_WV2_METHOD(get_BrowserVersionString)(LPWSTR* versionInfo) = 0;
  NV_WV2_METHOD(add_NewBrowserVersionAvailable)(ICoreWebView2NewBrowserVersionAvailableEventHandler* eventHandler,
                                                EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_NewBrowserVersionAvailable)(EventRegistrationToken token) = 0;
};

// --- Controller (26 slots) and Controller2 (28) -----------------------------

struct ICoreWebView2Controller : IUnknown {
  NV_WV2_METHOD(get_IsVisible)(BOOL* isVisible) = 0;
  NV_WV2_METHOD(put_IsVisible)(BOOL isVisible) = 0;
  NV_WV2_METHOD(get_Bounds)(RECT* bounds) = 0;
  NV_WV2_METHOD(put_Bounds)(RECT bounds) = 0;
  NV_WV2_METHOD(get_ZoomFactor)(double* zoomFactor) = 0;
  NV_WV2_METHOD(put_ZoomFactor)(double zoomFactor) = 0;
  NV_WV2_METHOD(add_ZoomFactorChanged)(ICoreWebView2ZoomFactorChangedEventHandler* eventHandler,
                                       EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_ZoomFactorChanged)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(SetBoundsAndZoomFactor)(RECT bounds, double zoomFactor) = 0;
  NV_WV2_METHOD(MoveFocus)(MoveFocusReason reason) = 0;
  NV_WV2_METHOD(add_MoveFocusRequested)(ICoreWebView2MoveFocusRequestedEventHandler* eventHandler,
                                        EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_MoveFocusRequested)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_GotFocus)(ICoreWebView2FocusChangedEventHandler* eventHandler,
                              EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_GotFocus)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_LostFocus)(ICoreWebView2FocusChangedEventHandler* eventHandler,
                               EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_LostFocus)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_AcceleratorKeyPressed)(ICoreWebView2AcceleratorKeyPressedEventHandler* eventHandler,
                                           EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_AcceleratorKeyPressed)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(get_ParentWindow)(HWND* parentWindow) = 0;
  NV_WV2_METHOD(put_ParentWindow)(HWND parentWindow) = 0;
  NV_WV2_METHOD(NotifyParentWindowPositionChanged)() = 0;
  NV_WV2_METHOD(Close)() = 0;
  NV_WV2_METHOD(get_CoreWebView2)(ICoreWebView2** coreWebView2) = 0;
};

struct ICoreWebView2Controller2 : ICoreWebView2Controller {
  NV_WV2_METHOD(get_DefaultBackgroundColor)(Color* backgroundColor) = 0;
  NV_WV2_METHOD(put_DefaultBackgroundColor)(Color backgroundColor) = 0;
};

// --- ICoreWebView2 (61 slots) ------------------------------------------------

struct ICoreWebView2 : IUnknown {
  NV_WV2_METHOD(get_Settings)(ICoreWebView2Settings** settings) = 0;
  NV_WV2_METHOD(get_Source)(LPWSTR* uri) = 0;
  NV_WV2_METHOD(Navigate)(LPCWSTR uri) = 0;
  NV_WV2_METHOD(NavigateToString)(LPCWSTR htmlContent) = 0;
  NV_WV2_METHOD(add_NavigationStarting)(ICoreWebView2NavigationStartingEventHandler* eventHandler,
                                        EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_NavigationStarting)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_ContentLoading)(ICoreWebView2ContentLoadingEventHandler* eventHandler,
                                    EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_ContentLoading)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_SourceChanged)(ICoreWebView2SourceChangedEventHandler* eventHandler,
                                   EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_SourceChanged)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_HistoryChanged)(ICoreWebView2HistoryChangedEventHandler* eventHandler,
                                    EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_HistoryChanged)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_NavigationCompleted)(ICoreWebView2NavigationCompletedEventHandler* eventHandler,
                                         EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_NavigationCompleted)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_FrameNavigationStarting)(ICoreWebView2NavigationStartingEventHandler* eventHandler,
                                             EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_FrameNavigationStarting)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_FrameNavigationCompleted)(ICoreWebView2NavigationCompletedEventHandler* eventHandler,
                                              EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_FrameNavigationCompleted)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_ScriptDialogOpening)(ICoreWebView2ScriptDialogOpeningEventHandler* eventHandler,
                                         EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_ScriptDialogOpening)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_PermissionRequested)(ICoreWebView2PermissionRequestedEventHandler* eventHandler,
                                         EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_PermissionRequested)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_ProcessFailed)(ICoreWebView2ProcessFailedEventHandler* eventHandler,
                                   EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_ProcessFailed)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(AddScriptToExecuteOnDocumentCreated)(
      LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) = 0;
  NV_WV2_METHOD(RemoveScriptToExecuteOnDocumentCreated)(LPCWSTR id) = 0;
  NV_WV2_METHOD(ExecuteScript)(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) = 0;
  NV_WV2_METHOD(CapturePreview)(CapturePreviewImageFormat imageFormat, IStream* imageStream,
                                ICoreWebView2CapturePreviewCompletedHandler* handler) = 0;
  NV_WV2_METHOD(Reload)() = 0;
  NV_WV2_METHOD(PostWebMessageAsJson)(LPCWSTR webMessageAsJson) = 0;
  NV_WV2_METHOD(PostWebMessageAsString)(LPCWSTR webMessageAsString) = 0;
  NV_WV2_METHOD(add_WebMessageReceived)(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                        EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_WebMessageReceived)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(CallDevToolsProtocolMethod)(LPCWSTR methodName, LPCWSTR parametersAsJson,
                                            ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* handler) = 0;
  NV_WV2_METHOD(get_BrowserProcessId)(UINT32* value) = 0;
  NV_WV2_METHOD(get_CanGoBack)(BOOL* canGoBack) = 0;
  NV_WV2_METHOD(get_CanGoForward)(BOOL* canGoForward) = 0;
  NV_WV2_METHOD(GoBack)() = 0;
  NV_WV2_METHOD(GoForward)() = 0;
  NV_WV2_METHOD(GetDevToolsProtocolEventReceiver)(LPCWSTR eventName,
                                                  ICoreWebView2DevToolsProtocolEventReceiver** receiver) = 0;
  NV_WV2_METHOD(Stop)() = 0;
  NV_WV2_METHOD(add_NewWindowRequested)(ICoreWebView2NewWindowRequestedEventHandler* eventHandler,
                                        EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_NewWindowRequested)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(add_DocumentTitleChanged)(ICoreWebView2DocumentTitleChangedEventHandler* eventHandler,
                                          EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_DocumentTitleChanged)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(get_DocumentTitle)(LPWSTR* title) = 0;
  NV_WV2_METHOD(AddHostObjectToScript)(LPCWSTR name, VARIANT* object) = 0;
  NV_WV2_METHOD(RemoveHostObjectFromScript)(LPCWSTR name) = 0;
  NV_WV2_METHOD(OpenDevToolsWindow)() = 0;
  NV_WV2_METHOD(add_ContainsFullScreenElementChanged)(
      ICoreWebView2ContainsFullScreenElementChangedEventHandler* eventHandler, EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_ContainsFullScreenElementChanged)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(get_ContainsFullScreenElement)(BOOL* containsFullScreenElement) = 0;
  NV_WV2_METHOD(add_WebResourceRequested)(ICoreWebView2WebResourceRequestedEventHandler* eventHandler,
                                          EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_WebResourceRequested)(EventRegistrationToken token) = 0;
  NV_WV2_METHOD(AddWebResourceRequestedFilter)(LPCWSTR uri, WebResourceContext resourceContext) = 0;
  NV_WV2_METHOD(RemoveWebResourceRequestedFilter)(LPCWSTR uri, WebResourceContext resourceContext) = 0;
  NV_WV2_METHOD(add_WindowCloseRequested)(ICoreWebView2WindowCloseRequestedEventHandler* eventHandler,
                                          EventRegistrationToken* token) = 0;
  NV_WV2_METHOD(remove_WindowCloseRequested)(EventRegistrationToken token) = 0;
};

// --- Settings chain: 21, 23, 25, 29, 31, 33 slots ---------------------------

struct ICoreWebView2Settings : IUnknown {
  NV_WV2_METHOD(get_IsScriptEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsScriptEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_IsWebMessageEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsWebMessageEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_AreDefaultScriptDialogsEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_AreDefaultScriptDialogsEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_IsStatusBarEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsStatusBarEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_AreDevToolsEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_AreDevToolsEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_AreDefaultContextMenusEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_AreDefaultContextMenusEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_AreHostObjectsAllowed)(BOOL* value) = 0;
  NV_WV2_METHOD(put_AreHostObjectsAllowed)(BOOL value) = 0;
  NV_WV2_METHOD(get_IsZoomControlEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsZoomControlEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_IsBuiltInErrorPageEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsBuiltInErrorPageEnabled)(BOOL value) = 0;
};
struct ICoreWebView2Settings2 : ICoreWebView2Settings {
  NV_WV2_METHOD(get_UserAgent)(LPWSTR* userAgent) = 0;
  NV_WV2_METHOD(put_UserAgent)(LPCWSTR userAgent) = 0;
};
struct ICoreWebView2Settings3 : ICoreWebView2Settings2 {
  NV_WV2_METHOD(get_AreBrowserAcceleratorKeysEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_AreBrowserAcceleratorKeysEnabled)(BOOL value) = 0;
};
struct ICoreWebView2Settings4 : ICoreWebView2Settings3 {
  NV_WV2_METHOD(get_IsPasswordAutosaveEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsPasswordAutosaveEnabled)(BOOL value) = 0;
  NV_WV2_METHOD(get_IsGeneralAutofillEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsGeneralAutofillEnabled)(BOOL value) = 0;
};
struct ICoreWebView2Settings5 : ICoreWebView2Settings4 {
  NV_WV2_METHOD(get_IsPinchZoomEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsPinchZoomEnabled)(BOOL value) = 0;
};
struct ICoreWebView2Settings6 : ICoreWebView2Settings5 {
  NV_WV2_METHOD(get_IsSwipeNavigationEnabled)(BOOL* value) = 0;
  NV_WV2_METHOD(put_IsSwipeNavigationEnabled)(BOOL value) = 0;
};

// --- Event arguments, request and response ----------------------------------

struct ICoreWebView2WebMessageReceivedEventArgs : IUnknown {
  NV_WV2_METHOD(get_Source)(LPWSTR* source) = 0;
  NV_WV2_METHOD(get_WebMessageAsJson)(LPWSTR* webMessageAsJson) = 0;
  NV_WV2_METHOD(TryGetWebMessageAsString)(LPWSTR* webMessageAsString) = 0;
};

struct ICoreWebView2NavigationStartingEventArgs : IUnknown {
  NV_WV2_METHOD(get_Uri)(LPWSTR* uri) = 0;
  NV_WV2_METHOD(get_IsUserInitiated)(BOOL* isUserInitiated) = 0;
  NV_WV2_METHOD(get_IsRedirected)(BOOL* isRedirected) = 0;
  NV_WV2_METHOD(get_RequestHeaders)(ICoreWebView2HttpRequestHeaders** requestHeaders) = 0;
  NV_WV2_METHOD(get_Cancel)(BOOL* cancel) = 0;
  NV_WV2_METHOD(put_Cancel)(BOOL cancel) = 0;
  NV_WV2_METHOD(get_NavigationId)(UINT64* navigationId) = 0;
};

// put_ comes before get_ in this interface.
struct ICoreWebView2NewWindowRequestedEventArgs : IUnknown {
  NV_WV2_METHOD(get_Uri)(LPWSTR* uri) = 0;
  NV_WV2_METHOD(put_NewWindow)(ICoreWebView2* newWindow) = 0;
  NV_WV2_METHOD(get_NewWindow)(ICoreWebView2** newWindow) = 0;
  NV_WV2_METHOD(put_Handled)(BOOL handled) = 0;
  NV_WV2_METHOD(get_Handled)(BOOL* handled) = 0;
  NV_WV2_METHOD(get_IsUserInitiated)(BOOL* isUserInitiated) = 0;
  NV_WV2_METHOD(GetDeferral)(ICoreWebView2Deferral** deferral) = 0;
  NV_WV2_METHOD(get_WindowFeatures)(ICoreWebView2WindowFeatures** value) = 0;
};

struct ICoreWebView2ProcessFailedEventArgs : IUnknown {
  NV_WV2_METHOD(get_ProcessFailedKind)(ProcessFailedKind* processFailedKind) = 0;
};

struct ICoreWebView2WebResourceRequestedEventArgs : IUnknown {
  NV_WV2_METHOD(get_Request)(ICoreWebView2WebResourceRequest** request) = 0;
  NV_WV2_METHOD(get_Response)(ICoreWebView2WebResourceResponse** response) = 0;
  NV_WV2_METHOD(put_Response)(ICoreWebView2WebResourceResponse* response) = 0;
  NV_WV2_METHOD(GetDeferral)(ICoreWebView2Deferral** deferral) = 0;
  NV_WV2_METHOD(get_ResourceContext)(WebResourceContext* context) = 0;
};

struct ICoreWebView2WebResourceRequest : IUnknown {
  NV_WV2_METHOD(get_Uri)(LPWSTR* uri) = 0;
  NV_WV2_METHOD(put_Uri)(LPCWSTR uri) = 0;
  NV_WV2_METHOD(get_Method)(LPWSTR* method) = 0;
  NV_WV2_METHOD(put_Method)(LPCWSTR method) = 0;
  NV_WV2_METHOD(get_Content)(IStream** content) = 0;
  NV_WV2_METHOD(put_Content)(IStream* content) = 0;
  NV_WV2_METHOD(get_Headers)(ICoreWebView2HttpRequestHeaders** headers) = 0;
};

struct ICoreWebView2WebResourceResponse : IUnknown {
  NV_WV2_METHOD(get_Content)(IStream** content) = 0;
  NV_WV2_METHOD(put_Content)(IStream* content) = 0;
  NV_WV2_METHOD(get_Headers)(ICoreWebView2HttpResponseHeaders** headers) = 0;
  NV_WV2_METHOD(get_StatusCode)(int* statusCode) = 0;
  NV_WV2_METHOD(put_StatusCode)(int statusCode) = 0;
  NV_WV2_METHOD(get_ReasonPhrase)(LPWSTR* reasonPhrase) = 0;
  NV_WV2_METHOD(put_ReasonPhrase)(LPCWSTR reasonPhrase) = 0;
};

#undef NV_WV2_METHOD

// --- Interface ids -----------------------------------------------------------

inline constexpr IID kIidEnvironment = {0xB96D755E, 0x0319, 0x4E92, {0xA2, 0x96, 0x23, 0x43, 0x6F, 0x46, 0xA1, 0xFC}};
inline constexpr IID kIidEnvironmentCompletedHandler = {
    0x4E8A3389, 0xC9D8, 0x4BD2, {0xB6, 0xB5, 0x12, 0x4F, 0xEE, 0x6C, 0xC1, 0x4D}};
inline constexpr IID kIidControllerCompletedHandler = {
    0x6C4819F3, 0xC9B7, 0x4260, {0x81, 0x27, 0xC9, 0xF5, 0xBD, 0xE7, 0xF6, 0x8C}};
inline constexpr IID kIidController = {0x4D00C0D1, 0x9434, 0x4EB6, {0x80, 0x78, 0x86, 0x97, 0xA5, 0x60, 0x33, 0x4F}};
inline constexpr IID kIidController2 = {0xC979903E, 0xD4CA, 0x4228, {0x92, 0xEB, 0x47, 0xEE, 0x3F, 0xA9, 0x6E, 0xAB}};
inline constexpr IID kIidWebView = {0x76ECEACB, 0x0462, 0x4D94, {0xAC, 0x83, 0x42, 0x3A, 0x67, 0x93, 0x77, 0x5E}};
inline constexpr IID kIidSettings = {0xE562E4F0, 0xD7FA, 0x43AC, {0x8D, 0x71, 0xC0, 0x51, 0x50, 0x49, 0x9F, 0x00}};
inline constexpr IID kIidSettings2 = {0xEE9A0F68, 0xF46C, 0x4E32, {0xAC, 0x23, 0xEF, 0x8C, 0xAC, 0x22, 0x4D, 0x2A}};
inline constexpr IID kIidSettings3 = {0xFDB5AB74, 0xAF33, 0x4854, {0x84, 0xF0, 0x0A, 0x63, 0x1D, 0xEB, 0x5E, 0xBA}};
inline constexpr IID kIidSettings4 = {0xCB56846C, 0x4168, 0x4D53, {0xB0, 0x4F, 0x03, 0xB6, 0xD6, 0x79, 0x6F, 0xF2}};
inline constexpr IID kIidSettings5 = {0x183E7052, 0x1D03, 0x43A0, {0xAB, 0x99, 0x98, 0xE0, 0x43, 0xB6, 0x6B, 0x39}};
inline constexpr IID kIidSettings6 = {0x11CB3ACD, 0x9BC8, 0x43B8, {0x83, 0xBF, 0xF4, 0x07, 0x53, 0x71, 0x4F, 0x87}};
inline constexpr IID kIidWebMessageReceivedHandler = {
    0x57213F19, 0x00E6, 0x49FA, {0x8E, 0x07, 0x89, 0x8E, 0xA0, 0x1E, 0xCB, 0xD2}};
inline constexpr IID kIidWebMessageReceivedArgs = {
    0x0F99A40C, 0xE962, 0x4207, {0x9E, 0x92, 0xE3, 0xD5, 0x42, 0xEF, 0xF8, 0x49}};
inline constexpr IID kIidNavigationStartingHandler = {
    0x9ADBE429, 0xF36D, 0x432B, {0x9D, 0xDC, 0xF8, 0x88, 0x1F, 0xBD, 0x76, 0xE3}};
inline constexpr IID kIidNavigationStartingArgs = {
    0x5B495469, 0xE119, 0x438A, {0x9B, 0x18, 0x76, 0x04, 0xF2, 0x5F, 0x2E, 0x49}};
inline constexpr IID kIidNewWindowRequestedHandler = {
    0xD4C185FE, 0xC81C, 0x4989, {0x97, 0xAF, 0x2D, 0x3F, 0xA7, 0xAB, 0x56, 0x51}};
inline constexpr IID kIidNewWindowRequestedArgs = {
    0x34ACB11C, 0xFC37, 0x4418, {0x91, 0x32, 0xF9, 0xC2, 0x1D, 0x1E, 0xAF, 0xB9}};
inline constexpr IID kIidProcessFailedHandler = {
    0x79E0AEA4, 0x990B, 0x42D9, {0xAA, 0x1D, 0x0F, 0xCC, 0x2E, 0x5B, 0xC7, 0xF1}};
inline constexpr IID kIidProcessFailedArgs = {
    0x8155A9A4, 0x1474, 0x4A86, {0x8C, 0xAE, 0x15, 0x1B, 0x0F, 0xA6, 0xB8, 0xCA}};
inline constexpr IID kIidWebResourceRequestedHandler = {
    0xAB00B74C, 0x15F1, 0x4646, {0x80, 0xE8, 0xE7, 0x63, 0x41, 0xD2, 0x5D, 0x71}};
inline constexpr IID kIidWebResourceRequestedArgs = {
    0x453E667F, 0x12C7, 0x49D4, {0xBE, 0x6D, 0xDD, 0xBE, 0x79, 0x56, 0xF5, 0x7A}};
inline constexpr IID kIidWebResourceRequest = {
    0x97055CD4, 0x512C, 0x4264, {0x8B, 0x5F, 0xE3, 0xF4, 0x46, 0xCE, 0xA6, 0xA5}};
inline constexpr IID kIidWebResourceResponse = {
    0xAAFCC94F, 0xFA27, 0x48FD, {0x97, 0xDF, 0x83, 0x0E, 0xF7, 0x5A, 0xAE, 0xC9}};

// The runtime DLL's creation export, looked up by its plain name.
using CreateWebViewEnvironmentWithOptionsInternalFn = HRESULT(STDMETHODCALLTYPE*)(
    BOOL unknown, INT32 runtimeType, PCWSTR userDataFolder, IUnknown* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);
using DllCanUnloadNowFn = HRESULT(STDMETHODCALLTYPE*)();

}  // namespace nv::wv2
