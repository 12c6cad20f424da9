// The releases tools/publish signed with the per-build test keys
// (make_signed_releases.sh), beside the test executable.
#pragma once

#include <string>

#include "support/temp_folder.h"

namespace nv::test {

inline std::string SignedRelease(const std::string& relative) {
  std::wstring path = L"releases";
  for (char c : "/" + relative) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  const std::optional<std::string> text = ReadAll(BesideTestExe(path));
  EXPECT_TRUE(text) << relative << " missing";
  return text.value_or("");
}

// "release" or "other": the public half as the build setting takes it.
inline std::string ReleaseKeyHex(const std::string& name) {
  const std::string text = SignedRelease(name + ".key");
  return text.substr(0, text.find('\n'));
}

}  // namespace nv::test
