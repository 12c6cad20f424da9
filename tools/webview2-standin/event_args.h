// The objects the stand-in hands to the host's event handlers: a page
// message, a navigation, a new window, a process failure, and a resource
// request with the response the host puts on it.
#pragma once

#include <string>

#include "com_object.h"
#include "driver_link.h"
#include "json_lines.h"

namespace standin {

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
  PROPERTY_GET(get_Uri, LPWSTR, CoTaskString(uri_))
  PROPERTY_GET(get_IsUserInitiated, BOOL, user_)
  PROPERTY_GET(get_IsRedirected, BOOL, FALSE)
  NOT_USED(get_RequestHeaders, ICoreWebView2HttpRequestHeaders**)
  PROPERTY_GET(get_Cancel, BOOL, cancel_)
  PROPERTY_PUT(put_Cancel, BOOL, cancel_)
  PROPERTY_GET(get_NavigationId, UINT64, 1)
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
  PROPERTY_GET(get_Uri, LPWSTR, CoTaskString(uri_))
  NOT_USED(put_NewWindow, ICoreWebView2*)
  NOT_USED(get_NewWindow, ICoreWebView2**)
  PROPERTY_PUT(put_Handled, BOOL, handled_)
  PROPERTY_GET(get_Handled, BOOL, handled_)
  PROPERTY_GET(get_IsUserInitiated, BOOL, TRUE)
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
  PROPERTY_GET(get_ProcessFailedKind, ProcessFailedKind, kind_)

 private:
  ProcessFailedKind kind_;
};

class Request final : public Object<ICoreWebView2WebResourceRequest> {
 public:
  explicit Request(std::wstring uri) : uri_(std::move(uri)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return Answer(riid, out, {&kIidWebResourceRequest});
  }
  PROPERTY_GET(get_Uri, LPWSTR, CoTaskString(uri_))
  NOT_USED(put_Uri, LPCWSTR)
  PROPERTY_GET(get_Method, LPWSTR, CoTaskString(L"GET"))
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
  PROPERTY_GET(get_StatusCode, int, status_)
  PROPERTY_PUT(put_StatusCode, int, status_)
  PROPERTY_GET(get_ReasonPhrase, LPWSTR, CoTaskString(reason_))
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
  PROPERTY_GET(get_ResourceContext, WebResourceContext, kWebResourceContextAll)
  // Only responses this stand-in made can be described.
  Response* response() const { return static_cast<Response*>(response_.p); }

 private:
  Ref<Request> request_;
  Ref<ICoreWebView2WebResourceResponse> response_;
};

}  // namespace standin
