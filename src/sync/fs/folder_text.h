// Folder text rules shared by the registry values, the jobs and the shell.
#pragma once

#include <string>
#include <string_view>

namespace nv {

// '/' becomes '\'; trailing '\' go while the path is longer than 3 units, so
// a drive root such as C:\ keeps its backslash.
std::wstring NormalizeFolder(std::wstring_view path);

// folder + '\' (unless folder is empty or already ends with '\') + name.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

}  // namespace nv
