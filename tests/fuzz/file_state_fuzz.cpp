// ParseFileState on any bytes; reading the same bytes in two pieces (the
// first byte chooses the cut) must give the same state, and what was read
// must come back unchanged through FormatFileState: the file is rewritten
// after every sync.
#include <cstdlib>
#include <string_view>

#include "sync/file_state.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const nv::FileState state = nv::ParseFileState(text);
  nv::FileStateReader reader(size);
  const std::size_t cut = size ? data[0] % (size + 1) : 0;
  reader.Add(text.substr(0, cut));
  reader.Add(text.substr(cut));
  const nv::FileState pieces = reader.Finish();
  if (nv::FormatFileState(pieces) != nv::FormatFileState(state)) std::abort();
  const nv::FileState back = nv::ParseFileState(nv::FormatFileState(state));
  if (back.version != state.version || back.entries().size() != state.entries().size()) std::abort();
  for (std::size_t i = 0; i < state.entries().size(); ++i) {
    const auto &a = state.entries()[i], &b = back.entries()[i];
    if (a.path != b.path || a.size != b.size || a.mtime != b.mtime || a.sha256 != b.sha256) std::abort();
  }
  return 0;
}
