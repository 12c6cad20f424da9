#include "system/shell_files.h"

#include <shobjidl.h>

#include "bridge/player_texts.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
};

bool QueryIdentity(std::wstring_view path, FileIdentity& identity) {
  UniqueFile file(CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.indexHigh = info.nFileIndexHigh;
  identity.indexLow = info.nFileIndexLow;
  return true;
}

}  // namespace

std::wstring KnownFolderPath(REFKNOWNFOLDERID folderId) {
  UniqueCoTaskMemString path;
  if (FAILED(SHGetKnownFolderPath(folderId, 0, nullptr, path.put())) || !path) return {};
  return std::wstring(path.get());
}

bool SameFile(std::wstring_view a, std::wstring_view b) {
  FileIdentity first;
  FileIdentity second;
  if (QueryIdentity(a, first) && QueryIdentity(b, second)) {
    return first.volume == second.volume && first.indexHigh == second.indexHigh &&
           first.indexLow == second.indexLow;
  }
  if (a.size() > INT_MAX || b.size() > INT_MAX) return false;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool DeleteFileRetrying(std::wstring_view path, std::wstring_view anchor) {
  const std::wstring target = LongPath(path);
  const std::wstring within = anchor.empty() ? std::wstring() : LongPath(anchor);
  // By handle, never through a link: a link in the name's place or on the
  // way below anchor is left alone, and the delete counts as failed.
  const TryResult deleted = RetryWhileLocked(kDeleteRetry, [&] {
    if (DeleteOwnFile(target, within)) return TryResult::kDone;
    return LockedOrFailed(GetLastError());
  });
  // A file still held (the game, a scanner) stays, and the caller says so.
  // No delete is scheduled for the next restart: Windows performs it as
  // SYSTEM, by path, long after every check, so whoever can change a folder
  // on the way (a link in the game folder, the user's own desktop) would
  // choose what SYSTEM deletes.
  return deleted == TryResult::kDone;
}

bool MoveFileRetrying(std::wstring_view from, std::wstring_view to) {
  const std::wstring source = LongPath(from);
  const std::wstring target = LongPath(to);
  return RetryWhileLocked(kExecutableRetry, [&] {
           if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
             return TryResult::kDone;
           return LockedOrFailed(GetLastError());
         }) == TryResult::kDone;
}

bool CreateShortcut(std::wstring_view linkPath, std::wstring_view target,
                    std::wstring_view workingDir, std::wstring_view iconPath) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void()))) {
    return false;
  }
  link->SetPath(std::wstring(target).c_str());
  link->SetWorkingDirectory(std::wstring(workingDir).c_str());
  link->SetIconLocation(std::wstring(iconPath).c_str(), 0);
  link->SetDescription(kShortcutDescription);
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  return SUCCEEDED(file->Save(std::wstring(linkPath).c_str(), TRUE));
}

}  // namespace nv
