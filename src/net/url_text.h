// Text rules of the transfers that need no Windows call: URL encoding, header
// values, the mirror list file and the retry schedule. They build on Linux too,
// where they run under the sanitizers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

// Bytes '!'..'~' are copied (an existing '%' too, so escapes written by the
// caller survive); every other byte becomes %XX with upper-case hex digits.
std::string EncodeUrlBytes(std::string_view url);

// A relative path on the server as a URL path: leading '/' and '\' dropped,
// '\' turned into '/', unreserved bytes and '/' copied, the rest %XX.
std::string EncodeUrlPath(std::string_view relative);

// The base URL without its trailing '/', blanks and tabs. Applied once, when
// a mirror list is made (ParseMirrorList, the built-in base URL): every later
// step joins "/" + path onto the entries as they are.
std::string TrimBaseUrl(std::string_view base);

// Base 10 signed 64-bit number read from the start of text, the way wcstoll
// reads it: leading white space and one sign are accepted, reading stops at
// the first non-digit, an overflow saturates. digits tells whether any digit
// was consumed.
std::int64_t ParseDecimalPrefix(std::wstring_view text, bool* digits);

// Content-Length header text: -1 when empty, not a decimal number or negative.
std::int64_t ParseContentLengthText(std::wstring_view text);

// Content-Range header text ("bytes 100-199/1000", "bytes */1000"): start and
// complete length, each -1 when not given. False for an empty header or one
// that holds none of "0123456789*". The end of the range is not read.
bool ParseContentRangeText(std::wstring_view text, std::int64_t* start, std::int64_t* length);

// A body that starts with the UTF-8 byte order mark loses those three bytes.
void StripUtf8Bom(std::string& text);

// The base URLs listed in a mirrors.txt body, in file order, each trimmed and
// listed once (exact comparison). Only https:// lines without user-info
// in their authority count.
// The first kMaxMirrors distinct ones are kept.
inline constexpr std::size_t kMaxMirrors = 32;
std::vector<std::string> ParseMirrorList(std::string_view text);

// Shuffles the list in place with mt19937 seeded with seed: for i from 1 to
// n-1 an unbiased j in 0..i (multiply-and-reject draw) is swapped with i.
void ShuffleMirrors(std::vector<std::string>& mirrors, std::uint32_t seed);

// The download URL of one manifest file below each mirror (trimmed when the
// list was made), in list order.
std::vector<std::string> BuildMirrorUrls(const std::vector<std::string>& mirrors,
                                         std::string_view relativePath);

// Pause after a fruitless pass over all n mirrors: 1000 ms doubled once per
// full pass of consecutive failures, at most 8000 ms.
std::uint32_t BackoffPauseMs(std::uint32_t consecutiveFailures, std::uint32_t mirrorCount);

// Two hex digests are the same: same length, letters compared without case.
bool SameHexDigest(std::string_view a, std::string_view b);

}  // namespace nv
