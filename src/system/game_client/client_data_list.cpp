#include "system/game_client/client_data_list.h"

#include <windows.h>

#include "sync/fs/folder_text.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/game_client/data_ini.h"

namespace nv {

namespace {

constexpr DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

bool IsMissingFile(const std::wstring& path) { return !IsRegularFile(LongPath(path)); }

}  // namespace

void ApplyClientDataList(const std::wstring& folder) {
  const std::wstring ini = JoinPath(folder, L"DATA.INI");
  const std::wstring full = ini + L".full";

  std::string text;
  if (!ReadSmallFile(ini, text)) return;

  const DataListPlan plan = PlanClientDataList(text, [&](std::string_view value) {
    // The archive is looked up as the list writes it, relative to the folder.
    const std::wstring name = FromUtf8(value);
    return name.empty() || IsMissingFile(folder + L"\\" + name);
  });

  switch (plan.action) {
    case DataListAction::kLeave:
      return;
    case DataListAction::kDeleteFull:
      DeleteFileW(LongPath(full).c_str());  // its absence is fine
      return;
    case DataListAction::kWriteReduced:
      break;
  }

  if (!MoveFileExW(LongPath(ini).c_str(), LongPath(full).c_str(), kReplaceFlags)) return;
  if (!WriteFileReplacing(ini, plan.reducedText)) {
    // The game keeps the list it had rather than none at all.
    MoveFileExW(LongPath(full).c_str(), LongPath(ini).c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

void RestoreFullClientDataList(std::wstring_view folder) {
  const std::wstring ini = JoinPath(folder, L"DATA.INI");
  const std::wstring full = ini + L".full";
  if (IsRegularFile(LongPath(full)))
    MoveFileExW(LongPath(full).c_str(), LongPath(ini).c_str(), kReplaceFlags);
}

bool ReadSmallFile(std::wstring_view path, std::string& bytes) {
  bytes.clear();
  UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > kSmallFileLimit) return false;
  if (size.QuadPart == 0) return true;
  std::string buffer(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) ||
      read != buffer.size()) {
    return false;
  }
  bytes = std::move(buffer);
  return true;
}

bool WriteFileReplacing(std::wstring_view path, std::string_view bytes) {
  const std::wstring target(path);
  const std::wstring tmp = target + L".tmp";
  if (bytes.size() > MAXDWORD) return false;  // one WriteFile call
  {
    UniqueFile file(CreateFileW(LongPath(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool wrote =
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && FlushFileBuffers(file.get());
    if (!wrote) {
      file.reset();
      DeleteFileW(LongPath(tmp).c_str());
      return false;
    }
  }
  if (!MoveFileExW(LongPath(tmp).c_str(), LongPath(target).c_str(), kReplaceFlags)) {
    DeleteFileW(LongPath(tmp).c_str());
    return false;
  }
  return true;
}

}  // namespace nv
