// ParseFileState on any bytes, and what it read must come back unchanged
// through FormatFileState: the file is rewritten after every sync.
#include <cstdlib>
#include <string_view>

#include "sync/file_state.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const nv::FileState state = nv::ParseFileState({reinterpret_cast<const char*>(data), size});
  const nv::FileState back = nv::ParseFileState(nv::FormatFileState(state));
  if (back.version != state.version || back.entries.size() != state.entries.size()) std::abort();
  for (std::size_t i = 0; i < state.entries.size(); ++i) {
    const auto &a = state.entries[i], &b = back.entries[i];
    if (a.path != b.path || a.size != b.size || a.mtime != b.mtime || a.sha256 != b.sha256) std::abort();
  }
  return 0;
}
