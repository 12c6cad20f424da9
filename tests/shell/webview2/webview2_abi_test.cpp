// Our WebView2 declarations against a table transcribed from the binary
// interface fact sheet: each method the launcher calls is called through an
// object whose vtable records which slot was used, and each IID is compared
// with its published text.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "shell/webview2/webview2.h"

namespace nv::wv2 {
namespace {

int lastSlot = -1;
std::array<unsigned char, 16> lastBytes{};

// x86_64 passes `this` and the first arguments in registers and the caller
// cleans up, so one recorder per slot serves every signature.
template <int N>
HRESULT STDMETHODCALLTYPE Record(void*) {
  lastSlot = N;
  return S_OK;
}
template <int... N>
constexpr std::array<void*, sizeof...(N)> MakeTable(std::integer_sequence<int, N...>) {
  return {reinterpret_cast<void*>(&Record<N>)...};
}
const auto kTable = MakeTable(std::make_integer_sequence<int, 64>{});

// Value parameters checked where they are passed by value.
HRESULT STDMETHODCALLTYPE RecordRect(void*, RECT bounds) {
  lastSlot = 6;
  std::memcpy(lastBytes.data(), &bounds, sizeof bounds);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordColor(void*, Color color) {
  lastSlot = 27;
  std::memcpy(lastBytes.data(), &color, sizeof color);
  return S_OK;
}

struct FakeObject {
  const void* const* vtable;
};

template <typename Interface>
int SlotOf(const std::function<void(Interface*)>& call, std::array<void*, 64> table = kTable) {
  FakeObject object{table.data()};
  lastSlot = -1;
  call(reinterpret_cast<Interface*>(&object));
  return lastSlot;
}

struct SlotCase {
  const char* method;
  int slot;
  int recorded;
};

void ExpectSlots(const char* interfaceName, std::initializer_list<SlotCase> cases) {
  for (const SlotCase& c : cases) EXPECT_EQ(c.recorded, c.slot) << interfaceName << "::" << c.method;
}

TEST(WebView2Abi, MethodsTheLauncherCallsUseTheFactSheetSlots) {
  ExpectSlots("IUnknown", {
      {"QueryInterface", 0, SlotOf<IUnknown>([](auto* p) { p->QueryInterface(IID_IUnknown, nullptr); })},
      {"AddRef", 1, SlotOf<IUnknown>([](auto* p) { p->AddRef(); })},
      {"Release", 2, SlotOf<IUnknown>([](auto* p) { p->Release(); })},
  });
  ExpectSlots("ICoreWebView2Environment", {
      {"CreateCoreWebView2Controller", 3,
       SlotOf<ICoreWebView2Environment>([](auto* p) { p->CreateCoreWebView2Controller(nullptr, nullptr); })},
      {"CreateWebResourceResponse", 4, SlotOf<ICoreWebView2Environment>([](auto* p) {
         p->CreateWebResourceResponse(nullptr, 404, L"", L"", nullptr);
       })},
      {"remove_NewBrowserVersionAvailable", 7,
       SlotOf<ICoreWebView2Environment>([](auto* p) { p->remove_NewBrowserVersionAvailable({}); })},
  });
  ExpectSlots("ICoreWebView2Controller2", {
      {"put_Bounds", 6, SlotOf<ICoreWebView2Controller2>([](auto* p) { p->put_Bounds(RECT{}); })},
      {"MoveFocus", 12, SlotOf<ICoreWebView2Controller2>([](auto* p) { p->MoveFocus(kMoveFocusProgrammatic); })},
      {"NotifyParentWindowPositionChanged", 23,
       SlotOf<ICoreWebView2Controller2>([](auto* p) { p->NotifyParentWindowPositionChanged(); })},
      {"Close", 24, SlotOf<ICoreWebView2Controller2>([](auto* p) { p->Close(); })},
      {"get_CoreWebView2", 25, SlotOf<ICoreWebView2Controller2>([](auto* p) { p->get_CoreWebView2(nullptr); })},
      {"put_DefaultBackgroundColor", 27,
       SlotOf<ICoreWebView2Controller2>([](auto* p) { p->put_DefaultBackgroundColor(Color{}); })},
  });
  ExpectSlots("ICoreWebView2", {
      {"get_Settings", 3, SlotOf<ICoreWebView2>([](auto* p) { p->get_Settings(nullptr); })},
      {"Navigate", 5, SlotOf<ICoreWebView2>([](auto* p) { p->Navigate(L""); })},
      {"add_NavigationStarting", 7, SlotOf<ICoreWebView2>([](auto* p) { p->add_NavigationStarting(nullptr, nullptr); })},
      {"add_ProcessFailed", 25, SlotOf<ICoreWebView2>([](auto* p) { p->add_ProcessFailed(nullptr, nullptr); })},
      {"Reload", 31, SlotOf<ICoreWebView2>([](auto* p) { p->Reload(); })},
      {"PostWebMessageAsJson", 32, SlotOf<ICoreWebView2>([](auto* p) { p->PostWebMessageAsJson(L"{}"); })},
      {"add_WebMessageReceived", 34, SlotOf<ICoreWebView2>([](auto* p) { p->add_WebMessageReceived(nullptr, nullptr); })},
      {"add_NewWindowRequested", 44, SlotOf<ICoreWebView2>([](auto* p) { p->add_NewWindowRequested(nullptr, nullptr); })},
      {"add_WebResourceRequested", 55,
       SlotOf<ICoreWebView2>([](auto* p) { p->add_WebResourceRequested(nullptr, nullptr); })},
      {"AddWebResourceRequestedFilter", 57,
       SlotOf<ICoreWebView2>([](auto* p) { p->AddWebResourceRequestedFilter(L"", kWebResourceContextAll); })},
      {"remove_WindowCloseRequested", 60, SlotOf<ICoreWebView2>([](auto* p) { p->remove_WindowCloseRequested({}); })},
  });
  ExpectSlots("ICoreWebView2Settings6", {
      {"put_IsStatusBarEnabled", 10, SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_IsStatusBarEnabled(0); })},
      {"put_AreDevToolsEnabled", 12, SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_AreDevToolsEnabled(0); })},
      {"put_AreDefaultContextMenusEnabled", 14,
       SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_AreDefaultContextMenusEnabled(0); })},
      {"put_IsZoomControlEnabled", 18, SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_IsZoomControlEnabled(0); })},
      {"put_AreBrowserAcceleratorKeysEnabled", 24,
       SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_AreBrowserAcceleratorKeysEnabled(0); })},
      {"put_IsPinchZoomEnabled", 30, SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_IsPinchZoomEnabled(0); })},
      {"put_IsSwipeNavigationEnabled", 32,
       SlotOf<ICoreWebView2Settings6>([](auto* p) { p->put_IsSwipeNavigationEnabled(0); })},
  });
  ExpectSlots("event arguments", {
      {"WebMessageReceivedEventArgs::get_Source", 3,
       SlotOf<ICoreWebView2WebMessageReceivedEventArgs>([](auto* p) { p->get_Source(nullptr); })},
      {"WebMessageReceivedEventArgs::TryGetWebMessageAsString", 5,
       SlotOf<ICoreWebView2WebMessageReceivedEventArgs>([](auto* p) { p->TryGetWebMessageAsString(nullptr); })},
      {"NavigationStartingEventArgs::get_Uri", 3,
       SlotOf<ICoreWebView2NavigationStartingEventArgs>([](auto* p) { p->get_Uri(nullptr); })},
      {"NavigationStartingEventArgs::put_Cancel", 8,
       SlotOf<ICoreWebView2NavigationStartingEventArgs>([](auto* p) { p->put_Cancel(TRUE); })},
      {"NewWindowRequestedEventArgs::get_Uri", 3,
       SlotOf<ICoreWebView2NewWindowRequestedEventArgs>([](auto* p) { p->get_Uri(nullptr); })},
      {"NewWindowRequestedEventArgs::put_Handled", 6,
       SlotOf<ICoreWebView2NewWindowRequestedEventArgs>([](auto* p) { p->put_Handled(TRUE); })},
      {"ProcessFailedEventArgs::get_ProcessFailedKind", 3,
       SlotOf<ICoreWebView2ProcessFailedEventArgs>([](auto* p) { p->get_ProcessFailedKind(nullptr); })},
      {"WebResourceRequestedEventArgs::get_Request", 3,
       SlotOf<ICoreWebView2WebResourceRequestedEventArgs>([](auto* p) { p->get_Request(nullptr); })},
      {"WebResourceRequestedEventArgs::put_Response", 5,
       SlotOf<ICoreWebView2WebResourceRequestedEventArgs>([](auto* p) { p->put_Response(nullptr); })},
      {"WebResourceRequest::get_Uri", 3,
       SlotOf<ICoreWebView2WebResourceRequest>([](auto* p) { p->get_Uri(nullptr); })},
      {"WebResourceResponse::put_ReasonPhrase", 9,
       SlotOf<ICoreWebView2WebResourceResponse>([](auto* p) { p->put_ReasonPhrase(L""); })},
  });
  ExpectSlots("handlers", {
      {"EnvironmentCompleted::Invoke", 3,
       SlotOf<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>([](auto* p) { p->Invoke(S_OK, nullptr); })},
      {"ControllerCompleted::Invoke", 3,
       SlotOf<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>([](auto* p) { p->Invoke(S_OK, nullptr); })},
      {"WebMessageReceived::Invoke", 3,
       SlotOf<ICoreWebView2WebMessageReceivedEventHandler>([](auto* p) { p->Invoke(nullptr, nullptr); })},
      {"WebResourceRequested::Invoke", 3,
       SlotOf<ICoreWebView2WebResourceRequestedEventHandler>([](auto* p) { p->Invoke(nullptr, nullptr); })},
  });
}

TEST(WebView2Abi, ValueParametersArriveWhole) {
  auto table = kTable;
  table[6] = reinterpret_cast<void*>(&RecordRect);
  table[27] = reinterpret_cast<void*>(&RecordColor);
  EXPECT_EQ(SlotOf<ICoreWebView2Controller2>([](auto* p) { p->put_Bounds(RECT{1, 2, 961, 602}); }, table), 6);
  RECT bounds{};
  std::memcpy(&bounds, lastBytes.data(), sizeof bounds);
  EXPECT_EQ(bounds.left, 1);
  EXPECT_EQ(bounds.top, 2);
  EXPECT_EQ(bounds.right, 961);
  EXPECT_EQ(bounds.bottom, 602);
  EXPECT_EQ(SlotOf<ICoreWebView2Controller2>([](auto* p) { p->put_DefaultBackgroundColor(Color{255, 5, 9, 15}); }, table),
            27);
  EXPECT_EQ(lastBytes[0], 255);
  EXPECT_EQ(lastBytes[1], 5);
  EXPECT_EQ(lastBytes[2], 9);
  EXPECT_EQ(lastBytes[3], 15);
}

std::string IidText(const IID& iid) {
  wchar_t text[40] = {};
  StringFromGUID2(iid, text, 40);
  return std::string(text, text + wcslen(text));
}

TEST(WebView2Abi, InterfaceIdsMatchTheFactSheet) {
  const std::pair<const IID&, const char*> table[] = {
      {kIidEnvironment, "{B96D755E-0319-4E92-A296-23436F46A1FC}"},
      {kIidEnvironmentCompletedHandler, "{4E8A3389-C9D8-4BD2-B6B5-124FEE6CC14D}"},
      {kIidControllerCompletedHandler, "{6C4819F3-C9B7-4260-8127-C9F5BDE7F68C}"},
      {kIidController, "{4D00C0D1-9434-4EB6-8078-8697A560334F}"},
      {kIidController2, "{C979903E-D4CA-4228-92EB-47EE3FA96EAB}"},
      {kIidWebView, "{76ECEACB-0462-4D94-AC83-423A6793775E}"},
      {kIidSettings, "{E562E4F0-D7FA-43AC-8D71-C05150499F00}"},
      {kIidSettings2, "{EE9A0F68-F46C-4E32-AC23-EF8CAC224D2A}"},
      {kIidSettings3, "{FDB5AB74-AF33-4854-84F0-0A631DEB5EBA}"},
      {kIidSettings4, "{CB56846C-4168-4D53-B04F-03B6D6796FF2}"},
      {kIidSettings5, "{183E7052-1D03-43A0-AB99-98E043B66B39}"},
      {kIidSettings6, "{11CB3ACD-9BC8-43B8-83BF-F40753714F87}"},
      {kIidWebMessageReceivedHandler, "{57213F19-00E6-49FA-8E07-898EA01ECBD2}"},
      {kIidWebMessageReceivedArgs, "{0F99A40C-E962-4207-9E92-E3D542EFF849}"},
      {kIidNavigationStartingHandler, "{9ADBE429-F36D-432B-9DDC-F8881FBD76E3}"},
      {kIidNavigationStartingArgs, "{5B495469-E119-438A-9B18-7604F25F2E49}"},
      {kIidNewWindowRequestedHandler, "{D4C185FE-C81C-4989-97AF-2D3FA7AB5651}"},
      {kIidNewWindowRequestedArgs, "{34ACB11C-FC37-4418-9132-F9C21D1EAFB9}"},
      {kIidProcessFailedHandler, "{79E0AEA4-990B-42D9-AA1D-0FCC2E5BC7F1}"},
      {kIidProcessFailedArgs, "{8155A9A4-1474-4A86-8CAE-151B0FA6B8CA}"},
      {kIidWebResourceRequestedHandler, "{AB00B74C-15F1-4646-80E8-E76341D25D71}"},
      {kIidWebResourceRequestedArgs, "{453E667F-12C7-49D4-BE6D-DDBE7956F57A}"},
      {kIidWebResourceRequest, "{97055CD4-512C-4264-8B5F-E3F446CEA6A5}"},
      {kIidWebResourceResponse, "{AAFCC94F-FA27-48FD-97DF-830EF75AAEC9}"},
  };
  for (const auto& [iid, text] : table) EXPECT_EQ(IidText(iid), text);
}

}  // namespace
}  // namespace nv::wv2
