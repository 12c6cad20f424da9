#include "sync/fs/held_folder.h"

#include <utility>

#include "sync/fs/fs_helpers.h"

namespace nv {

HeldFolder::HeldFolder(std::wstring folder, const std::wstring& anchor) : path_(std::move(folder)) {
  // The game folder itself may be a link: the job holds it and vetted who
  // made it. A folder below it is opened as itself.
  const bool isAnchor = IsSameNtfsPath(WithoutLongPrefix(anchor), WithoutLongPrefix(path_));
  UniqueFile handle(CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | (isAnchor ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr));
  FILE_BASIC_INFO basic{};
  if (!handle || !GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &basic, sizeof(basic)) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  if (!isAnchor &&
      ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsTheNamedFile(handle.get(), path_, anchor)))
    return;
  handle_ = std::move(handle);
}

HANDLE HeldFolder::CreateNew(const std::wstring& name, DWORD share) const {
  if (!held() || name.empty() || name.find_first_of(L"\\/") != std::wstring::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  const std::wstring path = JoinPath(path_, name);
  const auto create = [&] {
    return CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, share, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  };
  // A name that exists, a link included, fails the create: no link is
  // followed, and the new file needs no check. What was there goes first,
  // by a handle that is checked to be that very name.
  HANDLE file = create();
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS && DeleteOwnFile(path, path_))
    file = create();
  return file;
}

}  // namespace nv
