// Reading and replacing launcher_state.txt on disk.
#include "sync/file_state.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr LONGLONG kMaxStateBytes = 0x10000000;  // 256 MiB: anything larger is not ours
constexpr DWORD kPiece = 0x400000;                // 4 MiB reads and writes
constexpr int kMoveAttempts = 5;
constexpr DWORD kMovePauseMs = 250;

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
  const std::wstring temporary = target + L".tmp";
  if (!CreateParentDirectories(temporary)) return false;

  bool written = false;
  {
    UniqueFile file(OpenFileRetrying(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL));
    if (!file) return false;
    // Written as it is formatted, 4 MiB at a time: the text of a large state
    // is never held whole beside its entries.
    written = FormatFileStateInPieces(state, kPiece, [&](std::string_view text) {
      std::size_t done = 0;
      while (done < text.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kPiece, text.size() - done));
        DWORD put = 0;
        if (!WriteFile(file.get(), text.data() + done, want, &put, nullptr) || put == 0) return false;
        done += put;
      }
      return true;
    });
    // The data must be on disk before the name points at it, or a power cut
    // right after the move could leave an empty state file behind.
    if (written && !FlushFileBuffers(file.get())) written = false;
  }

  bool moved = false;
  if (written) {
    const std::wstring from = LongPath(temporary);
    const std::wstring to = LongPath(target);
    // A scanner or indexer may hold the old file for a moment: wait for it.
    for (int attempt = 1; attempt <= kMoveAttempts; ++attempt) {
      if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        moved = true;
        break;
      }
      if (attempt < kMoveAttempts) Sleep(kMovePauseMs);
    }
  }
  if (!moved) DeleteFileW(LongPath(temporary).c_str());
  return moved;
} catch (const std::bad_alloc&) {
  DeleteFileW(LongPath(StatePath(folder) + L".tmp").c_str());
  return false;
}

}  // namespace nv
