#include "system/game_client/game_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include "sync/fs/unique_handle.h"

namespace nv {

bool IsGameRunning() {
  // A snapshot that cannot be taken counts as the game not running.
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, L"norvane.exe") == 0) return true;
  }
  return false;
}

}  // namespace nv
