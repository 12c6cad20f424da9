#include "sync/fs/atomic_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr std::size_t kMaxWriteBytes = 0x400000;  // 4 MiB per WriteFile call

// Deletes the temporary on every way out, exceptions included, unless the
// move took it.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!moved_) DeleteOwnFile(LongPath(path_));
  }
  const std::wstring& path() const { return path_; }
  void Moved() { moved_ = true; }

 private:
  std::wstring path_;
  bool moved_ = false;
};

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want = static_cast<DWORD>(std::min(bytes.size(), kMaxWriteBytes));
    DWORD put = 0;
    if (!WriteFile(file, bytes.data(), want, &put, nullptr) || put == 0) return false;
    bytes.remove_prefix(put);
  }
  return true;
}

}  // namespace

bool WriteFileReplacing(std::wstring_view path, const std::function<bool(const PieceWriter& write)>& write) {
  const std::wstring target(path);
  TemporaryFile temporary(target + L".tmp");
  // Emptied through a handle that is not a link's: a leftover temporary is
  // ours to reuse; a link another account planted there, so that the
  // elevated launcher truncates and fills its target, is never followed.
  UniqueFile file;
  const std::wstring from = LongPath(temporary.path());
  RetryWhileLocked(kSmallFileRetry, [&] {
    file.reset(OpenOwnFileForWrite(from, 0, CREATE_ALWAYS));
    return file ? TryResult::kDone : LockedOrFailed(GetLastError());
  });
  if (!file) return false;
  const PieceWriter append = [&file](std::string_view piece) { return WriteAll(file.get(), piece); };
  // The data must be on disk before the name points at it, or a power cut
  // right after the move could leave an empty file behind.
  if (!write(append) || !FlushFileBuffers(file.get())) return false;
  // Moved by handle: the target's name is replaced (a link there included),
  // never written through, and only in the folder its path names.
  const std::wstring to = LongPath(target);
  const TryResult moved = RetryWhileLocked(kSmallFileRetry, [&] {
    if (MoveOwnFile(file.get(), to)) return TryResult::kDone;
    return LockedOrFailed(GetLastError());
  });
  if (moved != TryResult::kDone) return false;
  temporary.Moved();
  return true;
}

bool WriteFileReplacing(std::wstring_view path, std::string_view bytes) {
  return WriteFileReplacing(path, [bytes](const PieceWriter& write) { return write(bytes); });
}

}  // namespace nv
