// Deletes a registry key tree now and again when the test ends, so every
// test starts from a prefix without it.
#pragma once

#include <windows.h>

#include <string>

#include "sync/fs/unique_handle.h"

namespace nv::test {

class ScopedRegistryKey {
 public:
  ScopedRegistryKey(HKEY root, std::wstring subkey, REGSAM view = 0)
      : root_(root), subkey_(std::move(subkey)), view_(view) {
    Delete();
  }
  ~ScopedRegistryKey() { Delete(); }
  ScopedRegistryKey(const ScopedRegistryKey&) = delete;
  ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

  bool SetDword(const wchar_t* name, DWORD value) const {
    return Set(name, REG_DWORD, &value, sizeof value);
  }
  bool SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) const {
    return Set(name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  bool Set(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
    UniqueRegKey key;
    if (RegCreateKeyExW(root_, subkey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
      return false;
    return RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
  }
  void Delete() const { RegDeleteTreeW_(root_, subkey_.c_str(), view_); }
  static void RegDeleteTreeW_(HKEY root, const wchar_t* subkey, REGSAM view) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subkey, 0, KEY_ALL_ACCESS | view, key.put()) == ERROR_SUCCESS)
      RegDeleteTreeW(key.get(), nullptr);
    key.reset();
    RegDeleteKeyExW(root, subkey, view, 0);
  }

  HKEY root_;
  std::wstring subkey_;
  REGSAM view_;
};

}  // namespace nv::test
