#include "sync/line_syntax.h"

#include <algorithm>
#include <cstddef>

#include "sync/fs/ascii_text.h"

namespace nv {

std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.remove_suffix(1);
  return line;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
  return lines;
}

std::vector<std::string_view> SplitFields(std::string_view line, char separator,
                                          std::size_t maxFields) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t end = line.find(separator);
    if (end == std::string_view::npos || fields.size() == maxFields) {
      fields.push_back(line);
      return fields;
    }
    fields.push_back(line.substr(0, end));
    line.remove_prefix(end + 1);
  }
}

std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

namespace {

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$ name devices in every
// folder, with any extension: "nul.dat" or "com1" would send a download to a
// device instead of a file.
bool IsDeviceName(std::string_view segment) {
  std::string_view base = segment.substr(0, segment.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string lower = AsciiLower(base);
  if (lower == "con" || lower == "prn" || lower == "aux" || lower == "nul" || lower == "conin$" ||
      lower == "conout$")
    return true;
  return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) &&
         lower[3] >= '0' && lower[3] <= '9';
}

bool IsValidSegment(std::string_view segment) {
  if (segment.empty() || segment == "." || segment == "..") return false;
  for (char c : segment) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) return false;
    switch (c) {
      case '<': case '>': case '"': case '|': case '?': case '*':
        return false;
      default:
        break;
    }
  }
  // Windows drops a trailing dot or blank from a name: "a." and "a" would be
  // the same file on disk while the manifest counts them as two.
  return segment.back() != '.' && segment.back() != ' ' && !IsDeviceName(segment);
}

}  // namespace

bool IsValidContentPath(std::string_view path) {
  if (path.empty() || path.size() > 400 || path.front() == '/') return false;
  if (path.find_first_of("\\:") != std::string_view::npos) return false;
  for (std::string_view segment : SplitFields(path, '/'))
    if (!IsValidSegment(segment)) return false;
  return true;
}

std::optional<std::string> ParseSha256(std::string_view text) {
  if (text.size() != 64) return std::nullopt;
  std::string lower = AsciiLower(text);
  for (char c : lower)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
  return lower;
}

}  // namespace nv
