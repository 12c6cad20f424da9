// The decisions of uninstall that need no Windows call: which recorded paths
// may be touched, which folders to remove in what order, the deferred
// self-delete command line and the message boxes' caption (their texts are
// in bridge/player_texts.h).
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

// A recorded path (UTF-8) is used only when it is not empty, does not start
// with '/' or '\', has no ':' and no "." or ".." component.
bool IsSafeRelativePath(std::string_view path);

// Screenshots are the player's: "screenshot/" or "screenshot\" in any case.
bool IsScreenshotPath(std::string_view path);

// Adds every proper prefix of path that ends just before a '/' or '\'.
void AddParentFolders(std::string_view path, std::set<std::string>& folders);

// The folders ordered by their number of separators, most first.
std::vector<std::string> DeepestFirst(const std::set<std::string>& folders);

// "<systemFolder>\cmd.exe" for a usable system folder (1 to 259 units),
// otherwise plain "cmd.exe".
std::wstring InterpreterPath(std::wstring_view systemFolder);

// The hidden interpreter's line that removes the launcher copy, its ".old"
// sibling and the then empty game folder once the launcher has exited. It
// names no path: they come from BuildDeferredDeleteEnvironment.
std::wstring BuildDeferredDeleteCommand(std::wstring_view interpreter);

// The interpreter's whole environment block (NUL-separated, ending in two
// NULs) handing over the copy's path and the game folder; empty when a value
// is empty or holds a NUL.
std::wstring BuildDeferredDeleteEnvironment(std::wstring_view systemFolder, std::wstring_view windowsFolder,
                                            std::wstring_view copyPath, std::wstring_view folder);


}  // namespace nv
