// Path and text rules of the file-system helpers that need no Windows call,
// so they also build (and are tested under sanitizers) on Linux.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/fs/ascii_text.h"

namespace nv {

// The path as it must be handed to Win32 file functions: paths of 248 units
// or more get the \\?\ (or \\?\UNC\) prefix; shorter ones, and ones that
// already carry \\?\, are returned unchanged. Nothing else is normalised.
std::wstring LongPath(std::wstring_view path);

// The folder with its trailing separators removed, then '\' and the relative
// path with its leading separators skipped and every '/' turned into '\'.
std::wstring JoinGamePathWide(std::wstring_view folder, std::wstring_view relative);

// The folders CreateParentDirectories creates, outermost first, for the file
// at path ('/' already accepted as separator). Drive letters ("X:") and the
// server and share of a UNC path are never in the list.
std::vector<std::wstring> ParentFoldersToCreate(std::wstring_view filePath);

// FreeBytesForPath's walk: from path up to its nearest existing folder.
// isFolder answers for one candidate; the result is the folder to measure,
// with a trailing '\', or nothing when no existing ancestor can be found.
std::optional<std::wstring> NearestExistingFolder(
    std::wstring_view path, const std::function<bool(const std::wstring&)>& isFolder);

}  // namespace nv
