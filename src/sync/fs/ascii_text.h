// ASCII text rules shared by every parser and path rule, for narrow and wide
// text alike: lower-casing A-Z only (Windows compares file names and the
// schemes and switches we read without regard to A-Z case, and nothing else
// may change: the current locale must never decide), and base-10 numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

namespace nv {

template <typename Char>
constexpr Char LowerAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// The text with A-Z lowered, every other unit unchanged.
template <typename Char>
std::basic_string<Char> AsciiLower(std::basic_string_view<Char> text) {
  std::basic_string<Char> out(text);
  for (Char& c : out) c = LowerAscii(c);
  return out;
}
inline std::string AsciiLower(std::string_view text) { return AsciiLower<char>(text); }
inline std::wstring AsciiLower(std::wstring_view text) { return AsciiLower<wchar_t>(text); }

// -1, 0 or 1 as a and b compare with A-Z lowered, unit by unit as unsigned
// values; a prefix sorts first.
template <typename Char>
int CompareAsciiLower(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  using Unit = std::make_unsigned_t<Char>;
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<Unit>(LowerAscii(a[i]));
    const auto y = static_cast<Unit>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
inline int CompareAsciiLower(std::string_view a, std::string_view b) { return CompareAsciiLower<char>(a, b); }

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareAsciiLower<char>(a, b) == 0;
}
inline bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareAsciiLower<wchar_t>(a, b) == 0;
}

inline bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}
inline bool StartsWithIgnoringAsciiCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// A signed base-10 number at the start of text: one optional '+' or '-',
// then digits. No white space is skipped.
struct DecimalPrefix {
  std::int64_t value = 0;  // saturated at the 64-bit limits on overflow
  std::size_t length = 0;  // units read: the sign and the digits
  bool digits = false;     // at least one digit was read
  bool overflow = false;   // the digits name a number outside 64 bits
};

template <typename Char>
DecimalPrefix ReadDecimalPrefix(std::basic_string_view<Char> text) {
  constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  DecimalPrefix out;
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) negative = text[i++] == Char('-');
  const std::uint64_t limit = negative ? kMax + 1 : kMax;
  std::uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= Char('0') && text[i] <= Char('9'); ++i) {
    out.digits = true;
    const auto digit = static_cast<std::uint64_t>(text[i] - Char('0'));
    if (out.overflow || magnitude > (limit - digit) / 10) {
      out.overflow = true;
      continue;
    }
    magnitude = magnitude * 10 + digit;
  }
  out.length = i;
  if (!out.digits) return out;
  if (out.overflow) magnitude = limit;
  out.value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return out;
}
inline DecimalPrefix ReadDecimalPrefix(std::string_view text) { return ReadDecimalPrefix<char>(text); }
inline DecimalPrefix ReadDecimalPrefix(std::wstring_view text) { return ReadDecimalPrefix<wchar_t>(text); }

}  // namespace nv
