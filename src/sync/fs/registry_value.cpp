#include "sync/fs/registry_value.h"

#include <vector>

#include "sync/fs/unique_handle.h"

namespace nv {

bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* valueName, std::wstring& out,
                        const RegistryStringRead& read) {
  out.clear();
  UniqueRegKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE | read.view, key.put()) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && !(read.expandable && type == REG_EXPAND_SZ)) return false;
  // The stored text may or may not end in a NUL: room for one more, zeroed.
  if (bytes / sizeof(wchar_t) > read.maxChars + 1) return false;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = bytes;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
          ERROR_SUCCESS ||
      size > bytes || (type != REG_SZ && !(read.expandable && type == REG_EXPAND_SZ))) {
    return false;  // changed between the two reads
  }
  std::wstring text(buffer.data());  // up to the first NUL
  if (text.size() > read.maxChars) return false;
  out = std::move(text);
  return true;
}

}  // namespace nv
