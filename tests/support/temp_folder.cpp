#include "support/temp_folder.h"

#include <windows.h>

#include <atomic>

#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv::test {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base(temp, n);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  path_ = base + L"\\nvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

bool WriteTestFile(const std::wstring& path, std::string_view bytes) {
  UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::optional<std::string> ReadAll(const std::wstring& path) {
  UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string data;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) data.append(buffer, read);
  return data;
}

std::wstring BesideTestExe(std::wstring_view relative) {
  wchar_t self[MAX_PATH];
  const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return path.substr(0, path.rfind(L'\\') + 1) + std::wstring(relative);
}

void RemoveTree(const std::wstring& path) {
  const std::wstring longPath = LongPath(path);
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((longPath + L"\\*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A planted link: remove the link, keep its target's files.
        if (!RemoveDirectoryW(LongPath(child).c_str())) DeleteFileW(LongPath(child).c_str());
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(LongPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(LongPath(child).c_str());
      }
    } while (FindNextFileW(find.get(), &data));
  }
  find.reset();
  RemoveDirectoryW(longPath.c_str());
}

namespace {

// Wine's own export that gives the Unix name of a Windows path; absent on
// Windows. The result is freed with HeapFree on the process heap.
std::string UnixName(const std::wstring& path) {
  using Function = char*(CDECL*)(LPCWSTR);
  const auto function = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!function) return {};
  char* name = function(path.c_str());
  if (!name) return {};
  std::string out(name);
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}

bool IsReparsePoint(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

namespace {

// ln -s from the Unix side; shown is asked until it holds (up to 5 s).
bool PlantLink(const std::wstring& link, const std::wstring& target, DWORD windowsFlags,
               bool (*shown)(const std::wstring&)) {
  const std::string unixTarget = UnixName(target);
  const std::string unixLink = UnixName(link);
  if (unixTarget.empty() || unixLink.empty()) {
    CreateSymbolicLinkW(link.c_str(), target.c_str(), windowsFlags);
    return shown(link);
  }
  // Wine starts a Unix program named by its Windows path.
  std::wstring line = L"ln -s \"" + FromUtf8(unixTarget) + L"\" \"" + FromUtf8(unixLink) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(L"Z:\\bin\\ln", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  WaitForSingleObject(process.get(), 30000);
  // The process handle of a Unix program may signal before the link shows.
  for (int i = 0; i < 50 && !shown(link); ++i) Sleep(100);
  return shown(link);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool PlantFolderLink(const std::wstring& link, const std::wstring& target) {
  return PlantLink(link, target, SYMBOLIC_LINK_FLAG_DIRECTORY, &IsReparsePoint);
}

// Wine shows a link to a file as the file itself (no reparse attribute), so
// only its presence can be waited for.
bool PlantFileLink(const std::wstring& link, const std::wstring& target) {
  return PlantLink(link, target, 0, &Exists);
}

}  // namespace nv::test
