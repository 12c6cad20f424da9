// Reading a string value from the registry: the launcher's own settings, the
// runtime updater's keys that tell whether a runtime is installed, and the
// WebView2 runtime's folder all come through here.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace nv {

struct RegistryStringRead {
  REGSAM view = 0;                 // KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0 (this process's)
  bool expandable = false;         // REG_EXPAND_SZ counts too (its text is not expanded)
  std::size_t maxChars = 32767;    // a longer value counts as unreadable
};

// The text of root\subkey\valueName, cut at its first NUL. False (out empty)
// when the key or the value is missing, of another type, or longer than the
// read allows: never a cut or unterminated text.
bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* valueName, std::wstring& out,
                        const RegistryStringRead& read = {});

}  // namespace nv
