#include "sync/fs/folder_text.h"

namespace nv {

std::wstring NormalizeFolder(std::wstring_view path) {
  std::wstring out(path);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  return out;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring out(folder);
  if (!out.empty() && out.back() != L'\\') out += L'\\';
  out += name;
  return out;
}

}  // namespace nv
