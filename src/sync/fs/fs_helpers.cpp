#include "sync/fs/fs_helpers.h"

#include <algorithm>
#include <vector>

namespace nv {

namespace {

constexpr DWORD kPauseStepMs = 100;
constexpr DWORD kOwnPathLimit = 32768;

}  // namespace

void PauseUnlessStopped(std::uint32_t ms, const std::atomic<bool>* stopFlag) {
  if (!stopFlag) {
    Sleep(ms);
    return;
  }
  for (std::uint32_t slept = 0; slept < ms && !Stopped(stopFlag); slept += kPauseStepMs)
    Sleep(std::min<DWORD>(kPauseStepMs, ms - slept));
}

bool CreateParentDirectories(std::wstring_view filePath) {
  const std::vector<std::wstring> folders = ParentFoldersToCreate(filePath);
  // Files mostly land in folders that exist already; when the innermost one
  // is there, so is every folder above it, and one query answers.
  if (!folders.empty() && IsFolder(folders.back())) return true;
  for (const std::wstring& folder : folders) {
    if (CreateDirectoryW(LongPath(folder).c_str(), nullptr)) continue;
    if (GetLastError() != ERROR_ALREADY_EXISTS || !IsFolder(folder)) return false;
  }
  return true;
}

HANDLE OpenFileRetrying(std::wstring_view path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flagsAndAttributes) {
  const std::wstring longPath = LongPath(path);
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = ERROR_SUCCESS;
  RetryWhileLocked(kSmallFileRetry, [&] {
    file = CreateFileW(longPath.c_str(), access, share, nullptr, disposition, flagsAndAttributes, nullptr);
    if (file != INVALID_HANDLE_VALUE) return TryResult::kDone;
    error = GetLastError();
    return LockedOrFailed(error);
  });
  // The pauses may have overwritten the open's error.
  if (file == INVALID_HANDLE_VALUE) SetLastError(error);
  return file;
}

std::string ToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr) <= 0)
    return {};
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), needed) <= 0) return {};
  return out;
}

bool IsRegularFile(std::wstring_view path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(std::wstring_view path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
std::wstring renamedOwnPath;
}  // namespace

void SetOwnExePath(std::wstring path) { renamedOwnPath = std::move(path); }

std::wstring OwnExePath() {
  if (!renamedOwnPath.empty()) return renamedOwnPath;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return std::wstring(buffer.data(), length);
    // The path filled the buffer (it may be cut): double it, up to the limit.
    if (size >= kOwnPathLimit) return {};
    buffer.resize(static_cast<std::size_t>(size) * 2);
  }
}

std::wstring JoinGamePath(std::wstring_view folder, std::string_view relativeUtf8) {
  return JoinGamePath(folder, std::wstring_view(FromUtf8(relativeUtf8)));
}

bool CrossesReparsePoint(std::wstring_view folder, std::string_view relative) {
  for (std::size_t i = 0; i < relative.size(); ++i) {
    if ((relative[i] != '/' && relative[i] != '\\') || i == 0) continue;
    const DWORD attributes =
        GetFileAttributesW(LongPath(JoinGamePath(folder, relative.substr(0, i))).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // nothing exists below it
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  }
  return false;
}

}  // namespace nv
