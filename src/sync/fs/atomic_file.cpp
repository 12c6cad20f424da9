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
    if (!moved_) DeleteFileW(LongPath(path_).c_str());
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
  {
    UniqueFile file(OpenFileRetrying(temporary.path(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    if (!file) return false;
    const PieceWriter append = [&file](std::string_view piece) { return WriteAll(file.get(), piece); };
    // The data must be on disk before the name points at it, or a power cut
    // right after the move could leave an empty file behind.
    if (!write(append) || !FlushFileBuffers(file.get())) return false;
  }
  const std::wstring from = LongPath(temporary.path());
  const std::wstring to = LongPath(target);
  const TryResult moved = RetryWhileLocked(kSmallFileRetry, [&] {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return TryResult::kDone;
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
