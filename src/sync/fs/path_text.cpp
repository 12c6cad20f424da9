#include "sync/fs/path_text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "sync/fs/ntfs_upcase_table.h"

namespace nv {

namespace {

constexpr std::size_t kLongPathThreshold = 248;  // CreateDirectoryW's limit (MAX_PATH - 12)

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

char32_t NtfsUpcase(char32_t unit) {
  if (unit > 0xFFFF) return unit;
  const auto* end = std::end(upcase::kRuns);
  // The last run starting at or before the unit is the only one that can hold it.
  const auto* run = std::upper_bound(std::begin(upcase::kRuns), end, unit,
                                     [](char32_t u, const upcase::Run& r) { return u < r.first; });
  if (run == std::begin(upcase::kRuns)) return unit;
  --run;
  if (unit > run->last) return unit;
  if (run->stride > 1 && (unit - run->first) % run->stride != 0) return unit;
  return static_cast<char32_t>(static_cast<std::int32_t>(unit) + run->delta);
}

std::wstring WithoutLongPrefix(std::wstring_view path) {
  if (!path.starts_with(L"\\\\?\\")) return std::wstring(path);
  path.remove_prefix(4);
  if (path.size() >= 4 && NtfsUpcase(path[0]) == L'U' && NtfsUpcase(path[1]) == L'N' &&
      NtfsUpcase(path[2]) == L'C' && path[3] == L'\\')
    return L"\\\\" + std::wstring(path.substr(4));
  return std::wstring(path);
}

namespace {

// NTFS compares UTF-16 units: a surrogate is not in the table and stays.
bool SameUnits(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (NtfsUpcase(static_cast<char16_t>(a[i])) != NtfsUpcase(static_cast<char16_t>(b[i]))) return false;
  return true;
}

}  // namespace

bool IsSameNtfsPath(std::wstring_view a, std::wstring_view b) {
  return SameUnits(WithoutLongPrefix(a), WithoutLongPrefix(b));
}

bool IsBelowNtfsPath(std::wstring_view folderText, std::wstring_view pathText) {
  const std::wstring folderPlain = WithoutLongPrefix(folderText);
  const std::wstring pathPlain = WithoutLongPrefix(pathText);
  std::wstring_view folder = folderPlain, path = pathPlain;
  while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
  return path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
         SameUnits(folder, path.substr(0, folder.size()));
}

std::wstring LongPath(std::wstring_view path) {
  if (path.size() < kLongPathThreshold || path.starts_with(L"\\\\?\\")) return std::wstring(path);
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
  return L"\\\\?\\" + std::wstring(path);
}

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

std::wstring JoinGamePath(std::wstring_view folder, std::wstring_view relative) {
  while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
  while (!relative.empty() && IsSeparator(relative.front())) relative.remove_prefix(1);
  std::wstring out(folder);
  if (!relative.empty()) {
    out += L'\\';
    for (wchar_t c : relative) out += c == L'/' ? L'\\' : c;
  }
  return out;
}

std::vector<std::wstring> ParentFoldersToCreate(std::wstring_view filePath) {
  std::wstring path(filePath);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';

  std::vector<std::wstring> folders;
  const std::size_t lastSep = path.rfind(L'\\');
  if (lastSep == std::wstring::npos || lastSep == 0) return folders;
  const std::wstring parent = path.substr(0, lastSep);

  std::size_t start = 0;
  if (parent.size() >= 2 && parent[1] == L':') {
    start = 3;
  } else if (parent.starts_with(L"\\\\")) {
    // Server and share already exist or cannot be created: start after both.
    const std::size_t afterServer = parent.find(L'\\', 2);
    if (afterServer == std::wstring::npos) return folders;
    const std::size_t afterShare = parent.find(L'\\', afterServer + 1);
    if (afterShare == std::wstring::npos) return folders;
    start = afterShare + 1;
  }

  for (std::size_t i = start; i <= parent.size(); ++i) {
    if (i < parent.size() && parent[i] != L'\\') continue;
    std::wstring prefix = parent.substr(0, i);
    if (prefix.empty() || prefix.back() == L':') continue;
    folders.push_back(std::move(prefix));
  }
  return folders;
}

std::optional<std::wstring> NearestExistingFolder(
    std::wstring_view input, const std::function<bool(const std::wstring&)>& isFolder) {
  std::wstring path = NormalizeFolder(input);
  while (!isFolder(path)) {
    if (path.empty()) return std::nullopt;
    const std::size_t lastSep = path.rfind(L'\\');
    if (lastSep == std::wstring::npos || lastSep <= 1) return std::nullopt;
    if (lastSep == 2 && path[1] == L':') {
      if (path.size() == 3) return std::nullopt;  // the drive root itself does not exist
      path.resize(3);
    } else {
      path.resize(lastSep);
    }
  }
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path;
}

}  // namespace nv
