// The releases tools/publish signed with the per-build test key
// (make_signed_releases.sh), as files beside the test executable.
#pragma once

#include <windows.h>

#include <string>

#include "support/temp_folder.h"

namespace nv::test {

inline std::string SignedRelease(const std::string& relative) {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  path = path.substr(0, path.rfind(L'\\')) + L"\\releases\\";
  for (char c : relative) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  const std::optional<std::string> text = ReadAll(path);
  EXPECT_TRUE(text) << relative << " missing (make_signed_releases.sh)";
  return text.value_or("");
}

// The public key of "release" or "other", trimmed.
inline std::string ReleaseKeyHex(const std::string& name) {
  std::string text = SignedRelease(name + ".key");
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace nv::test
