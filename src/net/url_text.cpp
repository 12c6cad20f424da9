#include "net/url_text.h"

#include <algorithm>
#include <limits>
#include <random>

#include "sync/fs/ascii_text.h"

namespace nv {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char byte) {
  out += '%';
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }
bool IsLineSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A mirror serves manifests and the launcher's own update, so a line that
// would let someone on the network path answer (plain http) or that carries
// credentials in its authority is dropped like any other unusable line.
bool IsUsableMirror(std::string_view line) {
  constexpr std::string_view kScheme = "https://";
  if (!StartsWithIgnoringAsciiCase(line, kScheme)) return false;
  const std::string_view rest = line.substr(kScheme.size());
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#\\"));
  return !authority.empty() && authority.find('@') == std::string_view::npos;
}

}  // namespace

std::string EncodeUrlBytes(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x21 && byte <= 0x7E)
      out += c;
    else
      AppendEscaped(out, byte);
  }
  return out;
}

std::string EncodeUrlPath(std::string_view relative) {
  std::size_t first = 0;
  while (first < relative.size() && (relative[first] == '/' || relative[first] == '\\')) ++first;
  std::string out;
  out.reserve(relative.size() - first);
  for (std::size_t i = first; i < relative.size(); ++i) {
    const char c = relative[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/') {
      out += '/';
    } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      AppendEscaped(out, byte);
    }
  }
  return out;
}

std::string TrimBaseUrl(std::string_view base) {
  std::size_t end = base.size();
  while (end > 0 && (base[end - 1] == '/' || IsBlankOrTab(base[end - 1]))) --end;
  return std::string(base.substr(0, end));
}

std::int64_t ParseDecimalPrefix(std::wstring_view text, bool* digits) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  const DecimalPrefix number = ReadDecimalPrefix(text.substr(i));
  if (digits) *digits = number.digits;
  return number.value;
}

std::int64_t ParseContentLengthText(std::wstring_view text) {
  if (text.empty()) return -1;
  bool digits = false;
  const std::int64_t value = ParseDecimalPrefix(text, &digits);
  if (!digits || value < 0) return -1;
  return value;
}

bool ParseContentRangeText(std::wstring_view text, std::int64_t* start, std::int64_t* length) {
  *start = -1;
  *length = -1;
  if (text.empty()) return false;
  const std::size_t first = text.find_first_of(L"0123456789*");
  if (first == std::wstring_view::npos) return false;
  if (text[first] != L'*') *start = ParseDecimalPrefix(text.substr(first), nullptr);
  const std::size_t slash = text.find(L'/');
  if (slash != std::wstring_view::npos && slash + 1 < text.size() && text[slash + 1] != L'*') {
    bool digits = false;
    const std::int64_t value = ParseDecimalPrefix(text.substr(slash + 1), &digits);
    // A negative complete length is no length at all.
    if (digits && value >= 0) *length = value;
  }
  return true;
}

void StripUtf8Bom(std::string& text) {
  if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
    text.erase(0, 3);
}

std::vector<std::string> ParseMirrorList(std::string_view text) {
  std::vector<std::string> mirrors;
  std::size_t lineStart = 0;
  for (;;) {
    const std::size_t lineEnd = text.find('\n', lineStart);
    std::string_view line =
        text.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
    std::size_t begin = 0;
    while (begin < line.size() && IsLineSpace(line[begin])) ++begin;
    line.remove_prefix(begin);
    if (!line.empty() && line.front() != '#') {
      std::size_t end = line.size();
      while (end > 0 && IsLineSpace(line[end - 1])) --end;
      line = line.substr(0, end);
      if (IsUsableMirror(line)) {
        std::string base = TrimBaseUrl(line);
        if (std::find(mirrors.begin(), mirrors.end(), base) == mirrors.end())
          mirrors.push_back(std::move(base));
        // Every file may try each mirror in turn, so a longer list is never
        // of use; without the cap a hostile list would cost memory and the
        // duplicate test time by the square of its length.
        if (mirrors.size() == kMaxMirrors) break;
      }
    }
    if (lineEnd == std::string_view::npos) break;
    lineStart = lineEnd + 1;
  }
  return mirrors;
}

void ShuffleMirrors(std::vector<std::string>& mirrors, std::uint32_t seed) {
  std::mt19937 random(seed);
  for (std::size_t i = 1; i < mirrors.size(); ++i) {
    const auto bound = static_cast<std::uint32_t>(i + 1);
    const std::uint32_t threshold = static_cast<std::uint32_t>(0u - bound) % bound;
    std::uint64_t product;
    do {
      product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(random())) * bound;
    } while (static_cast<std::uint32_t>(product) < threshold);
    const auto j = static_cast<std::size_t>(product >> 32);
    if (j != i) std::swap(mirrors[i], mirrors[j]);
  }
}

std::vector<std::string> BuildMirrorUrls(const std::vector<std::string>& mirrors,
                                         std::string_view relativePath) {
  const std::string path = EncodeUrlPath(relativePath);
  std::vector<std::string> urls;
  urls.reserve(mirrors.size());
  for (const std::string& base : mirrors) urls.push_back(base + "/" + path);
  return urls;
}

std::uint32_t BackoffPauseMs(std::uint32_t consecutiveFailures, std::uint32_t mirrorCount) {
  if (mirrorCount == 0) mirrorCount = 1;
  const std::uint32_t passes = std::min<std::uint32_t>(consecutiveFailures / mirrorCount, 3);
  return std::min<std::uint32_t>(1000u << passes, 8000u);
}

bool SameHexDigest(std::string_view a, std::string_view b) {
  return EqualsIgnoringAsciiCase(a, b);
}

}  // namespace nv
