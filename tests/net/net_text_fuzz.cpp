// libFuzzer entry point for the transfer text rules: every input must parse
// without a fault, and each result must keep the rule's promises.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/speed_meter.h"
#include "net/url_text.h"
#include "sync/fs/ascii_text.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
bool Hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string bytes = nv::EncodeUrlBytes(text);
  for (char c : bytes) Check(c >= 0x21 && c <= 0x7E);

  const std::string path = nv::EncodeUrlPath(text);
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%') Check(i + 2 < path.size() && Hex(path[i + 1]) && Hex(path[i + 2]));
    Check(path[i] != '\\');
  }
  Check(path.empty() || path[0] != '/');

  for (const std::string& mirror : nv::ParseMirrorList(text)) {
    Check(!mirror.empty());
    const char last = mirror.back();
    Check(last != '/' && last != ' ' && last != '\t');
  }

  std::wstring wide(text.begin(), text.end());
  std::int64_t start = 0, length = 0;
  nv::ParseContentRangeText(wide, &start, &length);
  Check(start >= -1 && length >= -1);
  Check(nv::ParseContentLengthText(wide) >= -1);

  // The shared decimal reader agrees with the standard library's: the same
  // value and length where it fits 64 bits, an overflow where it does not,
  // and the same answer for narrow and wide text.
  const nv::DecimalPrefix number = nv::ReadDecimalPrefix(text);
  const std::size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  std::int64_t expected = 0;
  const char* first = text.data() + (text.size() > sign && text[0] == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), expected);
  if (number.digits && !number.overflow) {
    Check(error == std::errc() && expected == number.value && end == text.data() + number.length);
  } else if (number.digits) {
    Check(error == std::errc::result_out_of_range && number.length > sign);
  } else {
    Check(number.value == 0 && number.length == sign);
  }
  const nv::DecimalPrefix wideNumber = nv::ReadDecimalPrefix(std::wstring_view(wide));
  Check(wideNumber.value == number.value && wideNumber.length == number.length &&
        wideNumber.overflow == number.overflow);

  // The speed meter fed with times and sizes taken from the input.
  nv::SpeedMeter meter;
  std::uint64_t now = 0;
  meter.BeginAttempt(now);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    now += data[i] * 16u;
    meter.AddChunk(data[i + 1] * 1024u, now);
    // Samples are whole milliseconds apart and span at most about 2 s.
    Check(meter.sampleCount() <= 2003);
  }
  return 0;
}
