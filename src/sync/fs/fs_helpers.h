// File-system helpers shared by the content, transfer, prerequisite and system
// code. None throws for a file-system failure: results say what happened.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "sync/fs/path_text.h"
#include "sync/fs/retry.h"

namespace nv {

// Errors 32, 33 and 5: another program (an antivirus scanner, the game)
// holds the file for now, so the operation is worth trying again.
inline bool IsLockedError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

// A failed attempt's answer for RetryWhileLocked: locked or failed for good.
inline TryResult LockedOrFailed(DWORD error) {
  return IsLockedError(error) ? TryResult::kLocked : TryResult::kFailed;
}

// Sleeps ms in 100 ms steps, ending early when the stop flag rises (at once
// when it is already raised); without a flag, one plain sleep.
void PauseUnlessStopped(std::uint32_t ms, const std::atomic<bool>* stopFlag);

// RetryWhileLocked with the budget's real pauses, which a raised stop flag
// cuts short.
template <class Attempt>
TryResult RetryWhileLocked(const RetryBudget& budget, Attempt&& attempt,
                           const std::atomic<bool>* stopFlag = nullptr) {
  return RetryWhileLocked(
      budget.attempts, std::forward<Attempt>(attempt),
      [&] { PauseUnlessStopped(budget.pauseMs, stopFlag); }, stopFlag);
}

// Every folder above the file exists afterwards ('/' or '\' separators).
bool CreateParentDirectories(std::wstring_view filePath);

// CreateFileW through LongPath; a file that is locked is tried again within
// kSmallFileRetry. INVALID_HANDLE_VALUE when it cannot be opened;
// GetLastError tells why.
HANDLE OpenFileRetrying(std::wstring_view path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flagsAndAttributes);

// The elevated launcher's own files are written, moved and deleted through
// handles that are checked to be the very file named, so a link another
// account planted (in the file's place or on the way) never takes the
// operation somewhere else. All paths here are handed to Win32 as they are
// (LongPath is the caller's), and anchor, when given, is the folder whose
// final path the file's must continue (the game folder); without it, the
// file's own folder.

// The handle is the file at path: its final path is anchor's final path
// followed by the rest of path. A link anywhere below the anchor, the name
// itself included (which Wine does not report as a reparse point for a
// file), resolves elsewhere and fails the comparison.
bool IsTheNamedFile(HANDLE file, const std::wstring& path, const std::wstring& anchor = {});

// Opens a file of our own for writing (and DELETE) without writing through
// a link: the open does not follow one (FILE_FLAG_OPEN_REPARSE_POINT); a
// link Windows opens as itself is deleted by handle and the name created
// anew; a handle that is not the named file (Wine follows a link to a file
// whatever the flag) is refused with ERROR_CANT_ACCESS_FILE. disposition is
// OPEN_ALWAYS (keep what the file holds) or CREATE_ALWAYS (emptied through
// the handle). extraAccess is added to the access asked for.
// INVALID_HANDLE_VALUE when it cannot be had; GetLastError says why.
HANDLE OpenOwnFileForWrite(const std::wstring& path, DWORD share, DWORD disposition, DWORD extraAccess = 0);

// Opens an existing file of ours with access (DELETE is added) and share,
// not following a link, and only when IsTheNamedFile holds; otherwise
// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (nothing there) or
// ERROR_CANT_ACCESS_FILE (not the named file: left alone).
HANDLE OpenOwnFile(const std::wstring& path, DWORD access, DWORD share, const std::wstring& anchor = {});

// Deletes the named file itself (a link: the link, never its target) by
// handle. True when it is gone or was never there (a folder of that name is
// no file: it stays, and the answer is true too).
bool DeleteOwnFile(const std::wstring& path, const std::wstring& anchor = {});

// Gives the file open in file (with DELETE access) the name target,
// replacing what holds that name (the name: a link there is replaced, not
// followed). target's folder is opened first without delete sharing, must
// not be a link itself and must be where its path says (IsTheNamedFile
// against anchor), so it cannot be swapped for a link while the move runs.
bool MoveOwnFile(HANDLE file, const std::wstring& target, const std::wstring& anchor = {});
// Only the rename of MoveOwnFile, for a caller that holds target's folder
// (HeldFolder): no check of the folder, no flush.
bool RenameOwnFile(HANDLE file, const std::wstring& target);
// The same for the named file source (opened as OpenOwnFile does).
bool MoveOwnFileByName(const std::wstring& source, const std::wstring& target, const std::wstring& anchor = {});

// UTF-16 <-> UTF-8. Empty output for empty or unconvertible input.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// The path names an existing file that is not a folder.
bool IsRegularFile(std::wstring_view path);
// The path names an existing folder.
bool IsFolder(std::wstring_view path);

// The full path of the running executable, or empty.
std::wstring OwnExePath();

// The name the running executable has after it renamed its own image: the
// loader goes on reporting the name it was started under. Called once at
// start, before any other thread runs.
void SetOwnExePath(std::wstring path);

// True when a folder on the way from the game folder to relative (UTF-8, '/'
// or '\' separators) is a reparse point: a junction or symbolic link. The
// launcher runs elevated and the game folder is often writable by every
// user, so a planted link (say "data" -> a system folder) would turn a
// delete or a download below it into one outside the game folder. Only the
// folders are looked at, not the last name: a link in the place of a file is
// itself what a delete removes. A relative path that ends in a separator is
// checked down to that folder itself. The game folder itself may be a link.
bool CrossesReparsePoint(std::wstring_view folder, std::string_view relative);

// Free bytes available to the caller on the volume of path, measured on its
// nearest existing folder. kUnknownFreeBytes when it cannot be measured.
inline constexpr std::uint64_t kUnknownFreeBytes = ~std::uint64_t{0};
std::uint64_t FreeBytesForPath(std::wstring_view path);

}  // namespace nv
