// Compile-time checks of our WebView2 declarations. They matter in the 32-bit
// build, where every COM method and every GetProcAddress function type must
// be __stdcall: x86_64 ignores calling conventions, so a missing one would
// compile and only crash on a real 32-bit Windows.
#include <type_traits>

#include "shell/main_window.h"
#include "shell/webview2/webview2.h"

namespace nv::wv2 {
namespace {

#define NV_EXPECT_STDCALL(Interface, Method, ...)                                                     \
  static_assert(std::is_same_v<decltype(&Interface::Method), HRESULT (__stdcall Interface::*)(__VA_ARGS__)>, \
                #Interface "::" #Method " must be __stdcall with these parameters")

// Every method the launcher calls...
NV_EXPECT_STDCALL(ICoreWebView2Environment, CreateCoreWebView2Controller, HWND,
                  ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*);
NV_EXPECT_STDCALL(ICoreWebView2Environment, CreateWebResourceResponse, IStream*, int, LPCWSTR, LPCWSTR,
                  ICoreWebView2WebResourceResponse**);
NV_EXPECT_STDCALL(ICoreWebView2Controller, put_Bounds, RECT);
NV_EXPECT_STDCALL(ICoreWebView2Controller, MoveFocus, MoveFocusReason);
NV_EXPECT_STDCALL(ICoreWebView2Controller, NotifyParentWindowPositionChanged);
NV_EXPECT_STDCALL(ICoreWebView2Controller, Close);
NV_EXPECT_STDCALL(ICoreWebView2Controller, get_CoreWebView2, ICoreWebView2**);
NV_EXPECT_STDCALL(ICoreWebView2Controller2, put_DefaultBackgroundColor, Color);
NV_EXPECT_STDCALL(ICoreWebView2, get_Settings, ICoreWebView2Settings**);
NV_EXPECT_STDCALL(ICoreWebView2, Navigate, LPCWSTR);
NV_EXPECT_STDCALL(ICoreWebView2, Reload);
NV_EXPECT_STDCALL(ICoreWebView2, PostWebMessageAsJson, LPCWSTR);
NV_EXPECT_STDCALL(ICoreWebView2, add_NavigationStarting, ICoreWebView2NavigationStartingEventHandler*,
                  EventRegistrationToken*);
NV_EXPECT_STDCALL(ICoreWebView2, add_ProcessFailed, ICoreWebView2ProcessFailedEventHandler*,
                  EventRegistrationToken*);
NV_EXPECT_STDCALL(ICoreWebView2, add_WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler*,
                  EventRegistrationToken*);
NV_EXPECT_STDCALL(ICoreWebView2, add_NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler*,
                  EventRegistrationToken*);
NV_EXPECT_STDCALL(ICoreWebView2, add_WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler*,
                  EventRegistrationToken*);
NV_EXPECT_STDCALL(ICoreWebView2, AddWebResourceRequestedFilter, LPCWSTR, WebResourceContext);
NV_EXPECT_STDCALL(ICoreWebView2Settings, put_IsStatusBarEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2Settings, put_AreDevToolsEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2Settings, put_AreDefaultContextMenusEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2Settings, put_IsZoomControlEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2Settings3, put_AreBrowserAcceleratorKeysEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2Settings5, put_IsPinchZoomEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2Settings6, put_IsSwipeNavigationEnabled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2WebMessageReceivedEventArgs, get_Source, LPWSTR*);
NV_EXPECT_STDCALL(ICoreWebView2WebMessageReceivedEventArgs, TryGetWebMessageAsString, LPWSTR*);
NV_EXPECT_STDCALL(ICoreWebView2NavigationStartingEventArgs, get_Uri, LPWSTR*);
NV_EXPECT_STDCALL(ICoreWebView2NavigationStartingEventArgs, put_Cancel, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2NewWindowRequestedEventArgs, get_Uri, LPWSTR*);
NV_EXPECT_STDCALL(ICoreWebView2NewWindowRequestedEventArgs, put_Handled, BOOL);
NV_EXPECT_STDCALL(ICoreWebView2ProcessFailedEventArgs, get_ProcessFailedKind, ProcessFailedKind*);
NV_EXPECT_STDCALL(ICoreWebView2WebResourceRequestedEventArgs, get_Request, ICoreWebView2WebResourceRequest**);
NV_EXPECT_STDCALL(ICoreWebView2WebResourceRequestedEventArgs, put_Response, ICoreWebView2WebResourceResponse*);
NV_EXPECT_STDCALL(ICoreWebView2WebResourceRequest, get_Uri, LPWSTR*);

// ...and every one it implements.
NV_EXPECT_STDCALL(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, Invoke, HRESULT,
                  ICoreWebView2Environment*);
NV_EXPECT_STDCALL(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, Invoke, HRESULT,
                  ICoreWebView2Controller*);
NV_EXPECT_STDCALL(ICoreWebView2WebMessageReceivedEventHandler, Invoke, ICoreWebView2*,
                  ICoreWebView2WebMessageReceivedEventArgs*);
NV_EXPECT_STDCALL(ICoreWebView2NavigationStartingEventHandler, Invoke, ICoreWebView2*,
                  ICoreWebView2NavigationStartingEventArgs*);
NV_EXPECT_STDCALL(ICoreWebView2NewWindowRequestedEventHandler, Invoke, ICoreWebView2*,
                  ICoreWebView2NewWindowRequestedEventArgs*);
NV_EXPECT_STDCALL(ICoreWebView2ProcessFailedEventHandler, Invoke, ICoreWebView2*,
                  ICoreWebView2ProcessFailedEventArgs*);
NV_EXPECT_STDCALL(ICoreWebView2WebResourceRequestedEventHandler, Invoke, ICoreWebView2*,
                  ICoreWebView2WebResourceRequestedEventArgs*);
static_assert(std::is_same_v<decltype(static_cast<HRESULT (__stdcall IUnknown::*)(REFIID, void**)>(
                                 &IUnknown::QueryInterface)),
                             HRESULT (__stdcall IUnknown::*)(REFIID, void**)>);
static_assert(std::is_same_v<decltype(&IUnknown::AddRef), ULONG (__stdcall IUnknown::*)()>);
static_assert(std::is_same_v<decltype(&IUnknown::Release), ULONG (__stdcall IUnknown::*)()>);

#undef NV_EXPECT_STDCALL

// The function types made from GetProcAddress.
static_assert(std::is_same_v<CreateWebViewEnvironmentWithOptionsInternalFn,
                             HRESULT(__stdcall*)(BOOL, INT32, PCWSTR, IUnknown*,
                                                 ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*)>);
static_assert(std::is_same_v<DllCanUnloadNowFn, HRESULT(__stdcall*)()>);
static_assert(std::is_same_v<nv::GetDpiForWindowFn, decltype(&::GetDpiForWindow)>);

}  // namespace
}  // namespace nv::wv2
