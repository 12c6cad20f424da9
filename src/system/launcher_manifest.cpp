#include "system/launcher_manifest.h"

#include <limits>

namespace nv {

namespace {

bool IsSpaceTabCrLf(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsLowered(std::string_view text, std::string_view lowerWanted) {
  if (text.size() != lowerWanted.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (LowerAscii(text[i]) != lowerWanted[i]) return false;
  return true;
}

// The whole text as a base-10 signed 64-bit number (one leading sign
// allowed); nothing on overflow or any other character.
bool ParseWholeInt64(std::string_view text, std::int64_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (magnitude > (kLimit + 1 - digit) / 10) return false;  // past INT64_MIN's magnitude
    magnitude = magnitude * 10 + digit;
  }
  if (!negative && magnitude > kLimit) return false;
  value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

bool ParseLowerHex64(std::string_view text, std::string& hex) {
  if (text.size() != 64) return false;
  std::string lowered(text);
  for (char& c : lowered) {
    c = LowerAscii(c);
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  hex = std::move(lowered);
  return true;
}

}  // namespace

std::string_view TrimSpaceTabCrLf(std::string_view text) {
  while (!text.empty() && IsSpaceTabCrLf(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpaceTabCrLf(text.back())) text.remove_suffix(1);
  return text;
}

bool FindLauncherEntry(std::string_view text, LauncherEntry& entry) {
  std::string wanted(kLauncherFileName);
  for (char& c : wanted) c = LowerAscii(c);

  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = TrimSpaceTabCrLf(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;

    const std::size_t first = line.find('|');
    if (first == std::string_view::npos) continue;
    const std::size_t second = line.find('|', first + 1);
    if (second == std::string_view::npos) continue;
    const std::size_t third = line.find('|', second + 1);

    if (!EqualsLowered(TrimSpaceTabCrLf(line.substr(0, first)), wanted)) continue;
    std::int64_t size = 0;
    const std::string_view sizeText = TrimSpaceTabCrLf(line.substr(first + 1, second - first - 1));
    if (!ParseWholeInt64(sizeText, size) || size <= 0) continue;
    const std::string_view hashText = TrimSpaceTabCrLf(
        line.substr(second + 1, third == std::string_view::npos ? std::string_view::npos
                                                                : third - second - 1));
    std::string hash;
    if (!ParseLowerHex64(hashText, hash)) continue;
    entry.size = size;
    entry.sha256 = std::move(hash);
    return true;
  }
  return false;
}

}  // namespace nv
