#include "system/launcher_manifest.h"

#include "sync/fs/ascii_text.h"
#include "sync/line_syntax.h"

namespace nv {

namespace {

bool IsSpaceTabCrLf(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The whole text as a base-10 signed 64-bit number (one leading sign
// allowed); nothing on overflow or any other character.
bool ParseWholeInt64(std::string_view text, std::int64_t& value) {
  const DecimalPrefix number = ReadDecimalPrefix(text);
  if (!number.digits || number.overflow || number.length != text.size()) return false;
  value = number.value;
  return true;
}

}  // namespace

std::string_view TrimSpaceTabCrLf(std::string_view text) {
  while (!text.empty() && IsSpaceTabCrLf(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpaceTabCrLf(text.back())) text.remove_suffix(1);
  return text;
}

bool FindLauncherEntry(std::string_view text, LauncherEntry& entry) {
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

    if (!EqualsIgnoringAsciiCase(TrimSpaceTabCrLf(line.substr(0, first)), kLauncherFileName)) continue;
    std::int64_t size = 0;
    const std::string_view sizeText = TrimSpaceTabCrLf(line.substr(first + 1, second - first - 1));
    if (!ParseWholeInt64(sizeText, size) || size <= 0) continue;
    const std::string_view hashText = TrimSpaceTabCrLf(
        line.substr(second + 1, third == std::string_view::npos ? std::string_view::npos
                                                                : third - second - 1));
    std::optional<std::string> hash = ParseSha256(hashText);
    if (!hash) continue;
    entry.size = size;
    entry.sha256 = std::move(*hash);
    return true;
  }
  return false;
}

}  // namespace nv
