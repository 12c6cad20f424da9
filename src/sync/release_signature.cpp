#include "sync/release_signature.h"

#include <algorithm>
#include <cstddef>

namespace nv {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Exactly 2 * out.size() hex digits.
template <std::size_t N>
bool DecodeHex(std::string_view text, std::array<std::uint8_t, N>& out) {
  if (text.size() != 2 * N) return false;
  for (std::size_t i = 0; i < N; ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Numbers of any length, without converting (no overflow): leading zeros
// dropped, then the longer is larger, then digit by digit.
int CompareNumbers(std::string_view a, std::string_view b) {
  while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
  while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

std::string_view NextField(std::string_view& text) {
  const std::size_t dot = text.find('.');
  const std::string_view field = text.substr(0, dot);
  text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
  return field;
}

}  // namespace

ReleaseKeys ParseReleaseKeys(std::string_view text) {
  ReleaseKeys result;
  text = TrimBlanks(text);
  if (text.empty()) return result;
  result.required = true;
  std::vector<ReleaseKey> keys;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = TrimBlanks(text.substr(0, comma));
    ReleaseKey key;
    if (item.size() != 130 || item.substr(0, 2) != "04" || !DecodeHex(item.substr(2), key) || keys.size() == 2)
      return result;  // required, nothing pinned
    keys.push_back(key);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  result.keys = std::move(keys);
  return result;
}

std::optional<ReleaseSignature> ParseReleaseSignature(std::string_view text) {
  ReleaseSignature signature;
  if (!DecodeHex(TrimBlanks(text), signature)) return std::nullopt;
  return signature;
}

int CompareVersions(std::string_view a, std::string_view b) {
  while (!a.empty() || !b.empty()) {
    std::string_view left = NextField(a);
    std::string_view right = NextField(b);
    if (left.empty()) left = "0";
    if (right.empty()) right = "0";
    const int order = AllDigits(left) && AllDigits(right) ? CompareNumbers(left, right)
                      : left < right                       ? -1
                      : left > right                       ? 1
                                                           : 0;
    if (order != 0) return order;
  }
  return 0;
}

bool IsRollback(std::string_view offered, std::string_view current) {
  return !current.empty() && CompareVersions(offered, current) < 0;
}

}  // namespace nv
