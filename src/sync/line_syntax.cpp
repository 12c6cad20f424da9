#include "sync/line_syntax.h"

#include <algorithm>
#include <cstddef>

#include "sync/fs/ascii_text.h"
#include "sync/name_text.h"

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
// device instead of a file. Windows counts the superscript digits 1, 2 and 3
// (UTF-8 C2 B9, C2 B2, C2 B3) as port numbers too: COM with a superscript
// one is the first serial port.
bool IsDeviceName(std::string_view segment) {
  std::string_view base = segment.substr(0, segment.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string lower = AsciiLower(base);
  if (lower == "con" || lower == "prn" || lower == "aux" || lower == "nul" || lower == "conin$" ||
      lower == "conout$")
    return true;
  if (!lower.starts_with("com") && !lower.starts_with("lpt")) return false;
  const std::string_view digit = std::string_view(lower).substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xc2\xb9" ||
         digit == "\xc2\xb2" || digit == "\xc2\xb3";
}

bool EndsWithUpcased(const std::u32string& name, std::string_view asciiUpper) {
  if (name.size() < asciiUpper.size()) return false;
  const std::size_t start = name.size() - asciiUpper.size();
  for (std::size_t i = 0; i < asciiUpper.size(); ++i)
    if (name[start + i] != static_cast<char32_t>(asciiUpper[i])) return false;
  return true;
}

// The names the launcher keeps beside the game's files: a manifest that named
// one would have a download overwrite the launcher's own state, partial file
// or copy (and the launcher would delete or rename the game's file in turn).
// Compared as NTFS compares names, so a long s (U+017F) standing for the s
// of launcher_state.txt is caught too.
bool IsLauncherName(std::string_view segment, bool topLevel) {
  const std::u32string name = NtfsUpcased(segment);
  for (std::string_view suffix : {".PART", ".PART.TAG", ".TMP"})
    if (EndsWithUpcased(name, suffix)) return true;
  if (!topLevel) return false;
  for (std::string_view own : {"LAUNCHER_STATE.TXT", "DATA.INI.FULL", ".NRV_WRITE_TEST",
                               "NORVANE-LAUNCHER.EXE", "NORVANE-LAUNCHER.EXE.NEW",
                               "NORVANE-LAUNCHER.EXE.OLD"})
    if (name.size() == own.size() && EndsWithUpcased(name, own)) return true;
  return false;
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
  if (path.find_first_of("\\:") != std::string_view::npos || !IsValidUtf8(path)) return false;
  const auto segments = SplitFields(path, '/');
  for (std::size_t i = 0; i < segments.size(); ++i)
    if (!IsValidSegment(segments[i]) || IsLauncherName(segments[i], i == 0)) return false;
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
