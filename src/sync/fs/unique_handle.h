// One move-only owner per Windows handle kind. Nobody outside this header
// closes a handle by hand: every path out of a function, early returns and
// exceptions included, closes through these destructors.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <oleauto.h>
#include <winhttp.h>

#include <utility>

namespace nv {

template <typename Traits>
class UniqueHandle {
 public:
  using Value = typename Traits::Value;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Value value) noexcept : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Value get() const noexcept { return value_; }
  bool valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // For out-parameters: closes the current value first.
  Value* put() noexcept {
    reset();
    return &value_;
  }

  Value release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  void reset(Value value = Traits::Invalid()) noexcept {
    Value old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Value value_ = Traits::Invalid();
};

// CreateFileW and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Value h) noexcept { ::CloseHandle(h); }
};

// Events, mutexes, threads and processes fail with NULL.
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::CloseHandle(h); }
};

struct RegKeyTraits {
  using Value = HKEY;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::RegCloseKey(h); }
};

struct WinHttpHandleTraits {
  using Value = HINTERNET;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::WinHttpCloseHandle(h); }
};

struct BCryptAlgorithmTraits {
  using Value = BCRYPT_ALG_HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct BCryptHashTraits {
  using Value = BCRYPT_HASH_HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::BCryptDestroyHash(h); }
};

struct BCryptKeyTraits {
  using Value = BCRYPT_KEY_HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::BCryptDestroyKey(h); }
};

struct CoTaskMemTraits {
  using Value = wchar_t*;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value p) noexcept { ::CoTaskMemFree(p); }
};

// SysAllocString fails with NULL; SysFreeString needs oleaut32.
struct BstrTraits {
  using Value = BSTR;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value s) noexcept { ::SysFreeString(s); }
};

// Security descriptors, SIDs and their string forms from the security
// conversion and query functions are LocalAlloc'd.
struct LocalMemTraits {
  using Value = void*;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value p) noexcept { ::LocalFree(p); }
};

struct FindHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Value h) noexcept { ::FindClose(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueInternet = UniqueHandle<WinHttpHandleTraits>;
using UniqueBCryptAlgorithm = UniqueHandle<BCryptAlgorithmTraits>;
using UniqueBCryptHash = UniqueHandle<BCryptHashTraits>;
using UniqueBCryptKey = UniqueHandle<BCryptKeyTraits>;
using UniqueCoTaskMemString = UniqueHandle<CoTaskMemTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueLocalMem = UniqueHandle<LocalMemTraits>;
using UniqueBstr = UniqueHandle<BstrTraits>;

// Owner of one COM interface pointer; Release on destruction.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.ptr_, nullptr));
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  T** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  void reset(T* ptr = nullptr) noexcept {
    T* old = std::exchange(ptr_, ptr);
    if (old) old->Release();
  }

 private:
  T* ptr_ = nullptr;
};

// Owner of one VARIANT: VariantClear on destruction frees what it holds (a
// BSTR, an interface). Passing get() by value lends it; the callee does not
// take it over.
class UniqueVariant {
 public:
  UniqueVariant() noexcept { ::VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { ::VariantClear(&value_); }

  // A string (VT_BSTR); false when it could not be allocated.
  bool SetString(const wchar_t* text) noexcept {
    ::VariantClear(&value_);
    BSTR copy = ::SysAllocString(text);
    if (!copy) return false;
    value_.vt = VT_BSTR;
    value_.bstrVal = copy;
    return true;
  }
  void SetInt(LONG number) noexcept {
    ::VariantClear(&value_);
    value_.vt = VT_I4;
    value_.lVal = number;
  }
  VARIANT* get() noexcept { return &value_; }
  const VARIANT& value() const noexcept { return value_; }

 private:
  VARIANT value_;
};

// CoInitializeEx for this thread, undone only when it succeeded.
class ScopedComInit {
 public:
  ScopedComInit() noexcept
      : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;
  ~ScopedComInit() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  bool succeeded() const noexcept { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

}  // namespace nv
