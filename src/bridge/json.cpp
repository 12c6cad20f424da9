#include "bridge/nv_api.h"

namespace nv {

std::string JsonEscape(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(utf8.size() + 8);
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case 0x09: out += "\\t"; break;
      case 0x0A: out += "\\n"; break;
      case 0x0D: out += "\\r"; break;
      case 0x22: out += "\\\""; break;
      case 0x5C: out += "\\\\"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0x0F];
        } else {
          out += c;  // 0x7F and UTF-8 sequences pass unchanged
        }
    }
  }
  return out;
}

std::string JsonString(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 8);
  out += '"';
  out += JsonEscape(utf8);
  out += '"';
  return out;
}

}  // namespace nv
