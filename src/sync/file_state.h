// launcher_state.txt in the game folder: what was verified, per file.
#pragma once

#include <string_view>

#include "sync/content_types.h"

namespace nv {

// Never fails: a missing, unreadable or damaged file gives an empty state.
FileState LoadFileState(std::wstring_view folder);

}  // namespace nv
