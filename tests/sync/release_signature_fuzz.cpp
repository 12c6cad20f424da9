// The signature file and the version order on any bytes: no crash, no
// undefined behaviour, and the order is antisymmetric (two versions a mirror
// serves never both count as older than each other).
#include <cstdlib>
#include <string_view>

#include "sync/release_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)nv::ParseReleaseSignature(text);
  (void)nv::ParseReleaseKeys(text);
  const std::size_t split = text.find('\n');
  const std::string_view a = text.substr(0, split);
  const std::string_view b = split == std::string_view::npos ? std::string_view{} : text.substr(split + 1);
  if (nv::CompareVersions(a, b) != -nv::CompareVersions(b, a)) std::abort();
  return 0;
}
