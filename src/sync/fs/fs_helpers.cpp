#include "sync/fs/fs_helpers.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "sync/fs/unique_handle.h"

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

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueFile OpenFolder(const std::wstring& folder, DWORD share) {
  return UniqueFile(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::wstring ParentOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

UniqueFile OpenNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  return UniqueFile(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Where the handle's file is after every link on the way was resolved: its
// volume and its path on that volume. FileNameInfo rather than
// GetFinalPathNameByHandleW, which Wine 8 fails (ERROR_MORE_DATA) for paths
// over MAX_PATH whatever the buffer.
struct ResolvedName {
  DWORD volume = 0;
  std::wstring path;
};

std::optional<ResolvedName> ResolvedNameOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + kOwnPathLimit * sizeof(wchar_t)) / sizeof(DWORD) + 1);
  auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, name, static_cast<DWORD>(buffer.size() * sizeof(DWORD))))
    return std::nullopt;
  return ResolvedName{info.dwVolumeSerialNumber,
                      std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t))};
}

}  // namespace

bool IsTheNamedFile(HANDLE file, const std::wstring& path, const std::wstring& anchorPath) {
  const std::wstring anchor = anchorPath.empty() ? ParentOf(path) : anchorPath;
  const std::wstring plainAnchor = WithoutLongPrefix(anchor);
  const std::wstring plainPath = WithoutLongPrefix(path);
  if (anchor.empty() || !IsBelowNtfsPath(plainAnchor, plainPath)) return false;
  UniqueFile folder = OpenFolder(anchor, kShareAll);
  if (!folder) return false;
  const std::optional<ResolvedName> anchorName = ResolvedNameOf(folder.get());
  const std::optional<ResolvedName> actual = ResolvedNameOf(file);
  if (!anchorName || !actual || anchorName->volume != actual->volume || anchorName->path.empty()) return false;
  std::size_t rest = plainAnchor.size();
  while (rest < plainPath.size() && plainPath[rest] == L'\\') ++rest;
  return IsSameNtfsPath(actual->path, JoinPath(anchorName->path, plainPath.substr(rest)));
}

HANDLE OpenOwnFileForWrite(const std::wstring& path, DWORD share, DWORD disposition, DWORD extraAccess) {
  const DWORD access = GENERIC_WRITE | DELETE | extraAccess;
  UniqueFile file = OpenNoFollow(path, access, share, OPEN_ALWAYS);
  if (!file) return INVALID_HANDLE_VALUE;
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof(basic))) return INVALID_HANDLE_VALUE;
  if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsTheNamedFile(file.get(), path)) {
    // Windows opened the link itself: it goes, by this handle, and the name
    // starts over as a new file of ours.
    FILE_DISPOSITION_INFO remove{TRUE};
    if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof(remove)))
      return INVALID_HANDLE_VALUE;
    file.reset();
    file = OpenNoFollow(path, access, share, CREATE_NEW);
    if (!file) return INVALID_HANDLE_VALUE;
    basic.FileAttributes = 0;
  }
  // Wine follows a link to a file even so and shows the target: the final
  // path tells. Such a name is refused, never removed: Wine's delete of it
  // would reach the target.
  if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsTheNamedFile(file.get(), path)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition == CREATE_ALWAYS) {
    FILE_END_OF_FILE_INFO empty{};
    if (!SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &empty, sizeof(empty)))
      return INVALID_HANDLE_VALUE;
  }
  return file.release();
}

HANDLE OpenOwnFile(const std::wstring& path, DWORD access, DWORD share, const std::wstring& anchor) {
  UniqueFile file(CreateFileW(path.c_str(), access | DELETE, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return INVALID_HANDLE_VALUE;
  if (!IsTheNamedFile(file.get(), path, anchor)) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return INVALID_HANDLE_VALUE;
  }
  return file.release();
}

bool DeleteOwnFile(const std::wstring& path, const std::wstring& anchor) {
  UniqueFile file(OpenOwnFile(path, FILE_READ_ATTRIBUTES, kShareAll, anchor));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof(basic))) return false;
  if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return true;  // a folder is no file of ours
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition))) return true;
  // A read-only file refuses; ours may be cleared.
  const DWORD error = GetLastError();
  if (error != ERROR_ACCESS_DENIED || !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(error);
    return false;
  }
  file.reset();
  UniqueFile writable(OpenOwnFile(path, FILE_WRITE_ATTRIBUTES, kShareAll, anchor));
  if (!writable) return false;
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(writable.get(), FileBasicInfo, &basic, sizeof(basic)) &&
         SetFileInformationByHandle(writable.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

bool MoveOwnFile(HANDLE file, const std::wstring& target, const std::wstring& anchor) {
  // Held without delete sharing until the move is done: the folder cannot be
  // renamed or replaced by a link in the meantime.
  // Opened as itself, so a link in its place shows (on Windows) as one.
  const std::wstring parent = ParentOf(target);
  UniqueFile folder(CreateFileW(parent.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_BASIC_INFO basic{};
  if (!folder || !GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &basic, sizeof(basic))) return false;
  if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (!anchor.empty() && !IsSameNtfsPath(WithoutLongPrefix(anchor), WithoutLongPrefix(parent)) &&
       !IsTheNamedFile(folder.get(), parent, anchor))) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  if (!RenameOwnFile(file, target)) return false;
  // Written through, as MoveFileExW's MOVEFILE_WRITE_THROUGH would (a
  // handle without write access cannot flush, and need not).
  FlushFileBuffers(file);
  return true;
}

bool RenameOwnFile(HANDLE file, const std::wstring& target) {
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, target.data(), nameBytes);
  return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

bool MoveOwnFileByName(const std::wstring& source, const std::wstring& target, const std::wstring& anchor) {
  UniqueFile file(OpenOwnFile(source, 0, FILE_SHARE_READ, anchor));
  return file && MoveOwnFile(file.get(), target, anchor);
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
