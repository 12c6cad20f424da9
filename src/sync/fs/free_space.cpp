#include "sync/fs/fs_helpers.h"

namespace nv {

std::uint64_t FreeBytesForPath(std::wstring_view path) {
  // A folder that does not exist yet (a fresh install) is measured on its
  // nearest existing ancestor.
  const std::optional<std::wstring> folder =
      NearestExistingFolder(path, [](const std::wstring& p) { return !p.empty() && IsFolder(p); });
  if (!folder) return kUnknownFreeBytes;
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(LongPath(*folder).c_str(), &available, nullptr, nullptr))
    return kUnknownFreeBytes;
  return available.QuadPart;
}

}  // namespace nv
