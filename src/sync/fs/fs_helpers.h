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
