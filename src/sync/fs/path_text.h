// The path family: every rule that turns text into a path of ours lives here,
// and none calls Windows, so they also build (and are tested under
// sanitizers) on Linux. Paths stay plain (no \\?\ prefix) until the Win32
// call: the helper that calls Win32 applies LongPath there, so no caller has
// to know which of its paths may be long.
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

// The unit as NTFS upper-cases it when it compares names: its simple
// upper-case mapping inside the Basic Multilingual Plane, itself elsewhere.
char32_t NtfsUpcase(char32_t unit);

// A path without the \\?\ prefix GetFinalPathNameByHandleW (and LongPath)
// put on it: \\?\C:\x is C:\x, \\?\UNC\server\share is \\server\share.
std::wstring WithoutLongPrefix(std::wstring_view path);

// Two paths name one file as NTFS compares names: the same after
// WithoutLongPrefix, unit by unit through NtfsUpcase. No other
// normalisation ('/' or "..", short names): both sides are meant to be
// final paths, or paths of ours built from one.
bool IsSameNtfsPath(std::wstring_view a, std::wstring_view b);

// path lies strictly below folder in the same sense (folder's trailing '\'
// ignored); folder itself is not below itself.
bool IsBelowNtfsPath(std::wstring_view folder, std::wstring_view path);

// A folder as the registry keeps it and the jobs use it: '/' becomes '\';
// trailing '\' go while the path is longer than 3 units, so a drive root such
// as C:\ keeps its backslash.
std::wstring NormalizeFolder(std::wstring_view path);

// A file or folder name (or a relative path already in '\' form) in folder:
// folder + '\' (unless folder is empty or already ends with '\') + name.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// A path relative to the game folder: the folder with its trailing
// separators removed, then '\' and the relative path with its leading
// separators skipped and every '/' turned into '\'. An empty (or
// all-separator) relative path gives the folder alone. No check of ".." is
// made here: manifest paths were validated when they were read.
std::wstring JoinGamePath(std::wstring_view folder, std::wstring_view relative);
// The same for a manifest path (UTF-8, '/' separators). Its UTF-8
// conversion is the platform's, so it is defined with the Windows helpers.
std::wstring JoinGamePath(std::wstring_view folder, std::string_view relativeUtf8);

// The folders CreateParentDirectories creates, outermost first, for the file
// at path ('/' already accepted as separator). Drive letters ("X:") and the
// server and share of a UNC path are never in the list.
std::vector<std::wstring> ParentFoldersToCreate(std::wstring_view filePath);

// FreeBytesForPath's walk: from path (normalised as a folder) up to its
// nearest existing folder. isFolder answers for one candidate; the result is
// the folder to measure, with a trailing '\', or nothing when no existing
// ancestor can be found.
std::optional<std::wstring> NearestExistingFolder(
    std::wstring_view path, const std::function<bool(const std::wstring&)>& isFolder);

}  // namespace nv
