#include "system/game_client/client_data_list.h"

#include <windows.h>

#include "sync/fs/atomic_file.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/game_client/data_ini.h"

namespace nv {

void ApplyClientDataList(const std::wstring& folder, bool hdOn) {
  const std::wstring ini = JoinPath(folder, L"DATA.INI");
  const std::wstring full = ini + L".full";

  std::string text;
  if (!ReadSmallFile(ini, text)) return;

  const DataListPlan plan = PlanClientDataList(text, [&](std::string_view value) {
    // The archive is looked up as the list writes it, relative to the folder.
    const std::wstring name = FromUtf8(value);
    return !hdOn || name.empty() || !IsRegularFile(JoinPath(folder, name));
  });

  switch (plan.action) {
    case DataListAction::kLeave:
      return;
    case DataListAction::kDeleteFull:
      DeleteOwnFile(LongPath(full));  // its absence is fine
      return;
    case DataListAction::kWriteReduced:
      break;
  }

  if (!MoveOwnFileByName(LongPath(ini), LongPath(full))) return;
  if (!WriteFileReplacing(ini, plan.reducedText)) {
    // The game keeps the list it had rather than none at all.
    MoveOwnFileByName(LongPath(full), LongPath(ini));
  }
}

void RestoreFullClientDataList(std::wstring_view folder) {
  const std::wstring ini = JoinPath(folder, L"DATA.INI");
  const std::wstring full = ini + L".full";
  if (IsRegularFile(full))
    MoveOwnFileByName(LongPath(full), LongPath(ini));
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

}  // namespace nv
