// Reading and replacing launcher_state.txt on disk.
#include "sync/file_state.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "sync/fs/atomic_file.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr LONGLONG kMaxStateBytes = 0x10000000;  // 256 MiB: anything larger is not ours
constexpr DWORD kPiece = 0x400000;                // 4 MiB reads and writes

std::wstring StatePath(std::wstring_view folder) {
  return JoinGamePath(folder, kFileStateName);
}

FileState LoadFileStateOrThrow(std::wstring_view folder) {
  UniqueFile file(OpenFileRetrying(StatePath(folder), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart >= kMaxStateBytes)
    return {};

  // Parsed piece by piece as it is read: a large state never sits in memory
  // as text and as entries at once.
  FileStateReader reader(static_cast<std::uint64_t>(size.QuadPart));
  std::string piece(static_cast<std::size_t>(std::min<LONGLONG>(kPiece, size.QuadPart)), '\0');
  LONGLONG done = 0;
  while (done < size.QuadPart) {
    const DWORD want = static_cast<DWORD>(std::min<LONGLONG>(kPiece, size.QuadPart - done));
    DWORD got = 0;
    if (!ReadFile(file.get(), piece.data(), want, &got, nullptr) || got == 0) return {};
    reader.Add(std::string_view(piece.data(), got));
    done += got;
  }
  return reader.Finish();
}

}  // namespace

FileState LoadFileState(std::wstring_view folder) {
  try {
    return LoadFileStateOrThrow(folder);
  } catch (const std::bad_alloc&) {
    // The 32-bit launcher ran out of address space: like a damaged state,
    // everything is checked again.
    return {};
  }
}

bool SaveFileState(std::wstring_view folder, const FileState& state) try {
  const std::wstring target = StatePath(folder);
  if (!CreateParentDirectories(target)) return false;
  // Written as it is formatted, 4 MiB at a time: the text of a large state
  // is never held whole beside its entries.
  return WriteFileReplacing(target, [&state](const PieceWriter& write) {
    return FormatFileStateInPieces(state, kPiece, write);
  });
} catch (const std::bad_alloc&) {
  // The 32-bit launcher ran out of address space while formatting; the
  // temporary is already gone and the old file stays.
  return false;
}

}  // namespace nv
