// ParseManifest on any bytes: no crash, no undefined behaviour, and a manifest
// judged valid holds only entries the launcher may act on.
#include <cstdlib>
#include <string_view>

#include "sync/line_syntax.h"
#include "sync/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const nv::ContentManifest m = nv::ParseManifest({reinterpret_cast<const char*>(data), size});
  if (!m.valid) return 0;
  if (m.version.empty() || m.entries.empty()) std::abort();
  for (const nv::ManifestEntry& e : m.entries)
    if (!nv::IsValidContentPath(e.path) || nv::ParseSha256(e.sha256) != e.sha256) std::abort();
  return 0;
}
