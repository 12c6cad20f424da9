// What the install-flow tests read of the staging folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "prereq/prerequisites.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"

namespace nv::test {

// The staging folders ("Norvane-*") under the staging root right now.
inline std::vector<std::wstring> StagingFolders() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(JoinPath(PrerequisiteStagingRoot(), L"Norvane-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.emplace_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The second line of the stand-in installer's record: its working folder.
inline std::wstring RecordedFolder(const std::wstring& record) {
  std::wstring text;
  if (const auto bytes = ReadAll(record)) text.assign(reinterpret_cast<const wchar_t*>(bytes->data()), bytes->size() / 2);
  const std::size_t first = text.find(L'\n');
  if (first == std::wstring::npos) return {};
  return text.substr(first + 1, text.find(L'\n', first + 1) - first - 1);
}

}  // namespace nv::test
