// The line syntax shared by manifest.txt and launcher_state.txt: an optional
// byte order mark, LF-separated lines with trailing CR/blank/tab removed,
// fields split at '|', the decimal rule and the path rule. Pure text rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The line without its trailing run of CR, blank and tab characters.
std::string_view TrimLineEnd(std::string_view line);

// The lines of text, in order: a leading UTF-8 byte order mark is skipped,
// lines end at LF, and every line loses its trailing run of CR, blank and tab.
// Empty lines are kept (the caller skips them with the '#' comments); leading
// blanks stay. The views point into text. The parsers walk the lines with
// ForEachLine: a list of them would cost 8 to 16 bytes for every line break,
// many times the text for a hostile file of nothing but line breaks.
template <class Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    visit(TrimLineEnd(text.substr(0, end)));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}
std::vector<std::string_view> SplitLines(std::string_view text);

// Every field between separators, empty ones included: "a||b|" gives four.
// At most maxFields + 1 fields: the last then holds the rest of the line, so
// a line of nothing but separators costs no more than a line too long.
std::vector<std::string_view> SplitFields(std::string_view line, char separator,
                                          std::size_t maxFields = static_cast<std::size_t>(-1));

// 1 to 18 ASCII digits (leading zeros allowed), nothing else. 18 digits keep
// every accepted value below 2^63, so it also fits the signed fields.
std::optional<std::uint64_t> ParseDecimal(std::string_view text);

// A relative path that is safe to join onto the game folder: 1..400 bytes, no
// leading '/', no '\' or ':', and every '/'-separated segment non-empty, not
// "." or "..", without control bytes or < > " | ? *, not ending in '.' or ' ',
// and not a device name (CON, NUL, COM1, "aux.txt"...). Non-ASCII text is
// allowed when it is well-formed UTF-8. The launcher's own names are
// refused: anything ending ".part", ".part.tag" or ".tmp", and at the top
// launcher_state.txt, DATA.INI.full, .nrv_write_test and the launcher copy
// with its ".new" and ".old".
bool IsValidContentPath(std::string_view path);

// Exactly 64 hex digits (either case); the result is lower case.
std::optional<std::string> ParseSha256(std::string_view text);

}  // namespace nv
