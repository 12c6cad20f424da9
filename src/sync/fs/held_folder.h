// One folder of the game, checked once and held while files are written
// into it one after another, so that each file needs no check of the folder
// again: opened as itself (a link in its place is refused), checked by
// handle to be where its path says below the game folder, and held without
// delete sharing. While it is held the folder can be neither renamed nor
// replaced by a link, and on Windows neither can a folder above it (a
// folder with an open handle below it refuses to be renamed).
#pragma once

#include <windows.h>

#include <string>

#include "sync/fs/unique_handle.h"

namespace nv {

class HeldFolder {
 public:
  // folder and anchor as handed to Win32 (LongPath is the caller's).
  HeldFolder(std::wstring folder, const std::wstring& anchor);
  bool held() const { return handle_.valid(); }
  const std::wstring& path() const { return path_; }

  // A new file name in this folder, opened for writing with DELETE access
  // and share: never a link or a link's target. A file that held the name
  // (a leftover of an earlier run) is deleted first, a link itself and
  // never its target. INVALID_HANDLE_VALUE when it cannot be had.
  HANDLE CreateNew(const std::wstring& name, DWORD share) const;

 private:
  std::wstring path_;
  UniqueFile handle_;
};

}  // namespace nv
