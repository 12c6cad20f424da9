// Built into the test flavour only (NV_TEST_SEAMS); see test_seams.h.
#include "shell/test_seams.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "bridge/dispatcher/command_dispatcher_testing.h"
#include "bridge/message_box_testing.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder_testing.h"
#include "sync/fs/unique_handle.h"
#include "system/self_update_testing.h"

namespace nv {

namespace {

std::mutex seamMutex;

std::wstring EnvironmentText(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

void AppendLogLine(const std::wstring& line) {
  const std::wstring path = EnvironmentText(L"NORVANE_TEST_LOG");
  if (path.empty()) return;
  UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  std::string text = ToUtf8(line);
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  text += '\n';
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Takes the first answer off NORVANE_TEST_ANSWERS.
std::wstring NextAnswer() {
  const std::wstring answers = EnvironmentText(L"NORVANE_TEST_ANSWERS");
  if (answers.empty()) return L"no";
  const std::size_t comma = answers.find(L',');
  const std::wstring first = answers.substr(0, comma);
  const std::wstring rest = comma == std::wstring::npos ? std::wstring() : answers.substr(comma + 1);
  SetEnvironmentVariableW(L"NORVANE_TEST_ANSWERS", rest.empty() ? nullptr : rest.c_str());
  return first;
}

int WINAPI RecordedMessageBox(HWND, const wchar_t* text, const wchar_t*, UINT type) {
  std::lock_guard lock(seamMutex);
  AppendLogLine(L"messagebox|" + std::to_wstring(type) + L"|" + text);
  const UINT buttons = type & MB_TYPEMASK;
  if (buttons != MB_YESNO && buttons != MB_YESNOCANCEL) return IDOK;
  return NextAnswer() == L"yes" ? IDYES : IDNO;
}

void RecordedOpen(const std::wstring& target) {
  std::lock_guard lock(seamMutex);
  AppendLogLine(L"open|" + target);
}

// NORVANE_TEST_HANDOVER_PAUSE_MS widens the moment before a self-update's
// new build takes the launcher's name, so a kill can be aimed at it.
void PauseBeforeHandOver() {
  const std::wstring ms = EnvironmentText(L"NORVANE_TEST_HANDOVER_PAUSE_MS");
  if (!ms.empty()) Sleep(static_cast<DWORD>(_wtoi(ms.c_str())));
}

// NORVANE_TEST_LINK_OWNER names the account that owns every link (Wine
// reports its one user as the owner of everything); other folders are
// reported as owned by Administrators.
std::wstring ReportedOwner(std::wstring_view path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  const bool link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  return link ? EnvironmentText(L"NORVANE_TEST_LINK_OWNER") : L"S-1-5-32-544";
}

}  // namespace

void InstallTestSeams() {
  if (!EnvironmentText(L"NORVANE_TEST_LINK_OWNER").empty()) GameFolderSeamsForTests().folderOwnerSid = &ReportedOwner;
  SetMessageBoxForTesting(&RecordedMessageBox);
  SetExternalOpenerForTesting(&RecordedOpen);
  SelfUpdateSeamsForTests().beforeHandOver = &PauseBeforeHandOver;
}

}  // namespace nv
