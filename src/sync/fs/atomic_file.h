// Small files of ours (the file state, the game's data list) are never
// rewritten in place: the new text goes to a ".tmp" sibling, is flushed, and
// is moved over the target, so the file on disk is always either the old or
// the new complete text, even after a power cut.
#pragma once

#include <functional>
#include <string_view>

namespace nv {

// Appends one piece to the temporary file; false when it cannot be written.
using PieceWriter = std::function<bool(std::string_view piece)>;

// path + ".tmp" is created (a locked one waited for as a small file), filled
// by write, flushed, and moved over path (replace, write through; a locked
// target waited for as a small file). False when write says false or any
// step fails; the temporary is then gone. path's folder must exist. Paths
// are plain: the \\?\ prefix is applied here.
bool WriteFileReplacing(std::wstring_view path, const std::function<bool(const PieceWriter& write)>& write);

// The same for bytes already in memory.
bool WriteFileReplacing(std::wstring_view path, std::string_view bytes);

}  // namespace nv
