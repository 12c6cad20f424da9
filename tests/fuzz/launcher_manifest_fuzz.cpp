// FindLauncherEntry on any bytes: no crash, no undefined behaviour, and an
// entry it finds has a positive size and 64 lower-case hex digits.
#include <cstdlib>
#include <string_view>

#include "system/launcher_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  nv::LauncherEntry entry;
  if (!nv::FindLauncherEntry({reinterpret_cast<const char*>(data), size}, entry)) return 0;
  if (entry.size <= 0 || entry.sha256.size() != 64) std::abort();
  for (char c : entry.sha256)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) std::abort();
  return 0;
}
