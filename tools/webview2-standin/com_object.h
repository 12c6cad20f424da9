// The COM plumbing every object of the stand-in shares: reference counting,
// QueryInterface answers, counted references to other objects and the lists
// of event handlers a host registers.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "shell/webview2/webview2.h"

namespace standin {

// The stand-in implements the launcher's own WebView2 declarations.
using namespace nv::wv2;

// An out-string for the host, freed by it with CoTaskMemFree.
inline LPWSTR CoTaskString(const std::wstring& text) {
  auto* out = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (out) std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return out;
}

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

// The event handlers a host registered for one event, by token.
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

// A method the launcher never calls.
#define NOT_USED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

// A property the host reads: *out = value. Out-strings are made with
// CoTaskString, as the host frees them.
#define PROPERTY_GET(name, Type, value)                 \
  HRESULT STDMETHODCALLTYPE name(Type* out) override {  \
    *out = value;                                       \
    return S_OK;                                        \
  }

// A property the host sets: member = value.
#define PROPERTY_PUT(name, Type, member)               \
  HRESULT STDMETHODCALLTYPE name(Type value) override { \
    member = value;                                     \
    return S_OK;                                        \
  }

}  // namespace standin
