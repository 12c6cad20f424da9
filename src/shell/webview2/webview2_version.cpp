#include "shell/webview2/webview2_version.h"

namespace nv {

std::optional<std::array<unsigned, 4>> ParseRuntimeVersion(std::wstring_view text) {
  std::array<unsigned, 4> parts{};
  std::size_t part = 0;
  std::size_t digits = 0;
  for (wchar_t c : text) {
    if (c == L'.') {
      if (digits == 0 || ++part == parts.size()) return std::nullopt;
      digits = 0;
    } else if (c >= L'0' && c <= L'9') {
      if (++digits > 9) return std::nullopt;  // no overflow of unsigned
      parts[part] = parts[part] * 10 + static_cast<unsigned>(c - L'0');
    } else {
      return std::nullopt;
    }
  }
  if (part != 3 || digits == 0) return std::nullopt;
  return parts;
}

std::optional<std::wstring_view> UsableRuntimeVersion(std::wstring_view versionFolder) {
  while (!versionFolder.empty() && (versionFolder.back() == L'\\' || versionFolder.back() == L'/'))
    versionFolder.remove_suffix(1);
  const std::size_t sep = versionFolder.find_last_of(L"\\/");
  const std::wstring_view last = sep == std::wstring_view::npos ? versionFolder : versionFolder.substr(sep + 1);
  const auto version = ParseRuntimeVersion(last);
  static constexpr std::array<unsigned, 4> kOldest = {86, 0, 616, 0};
  if (!version || *version < kOldest) return std::nullopt;
  return last;
}

}  // namespace nv
