#include "system/game_start.h"

#include <windows.h>

#include <string>
#include <vector>

#include "bridge/main_window_handle.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/process_start.h"
#include "sync/fs/unique_handle.h"
#include "system/game_client/client_data_list.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"

namespace nv {

void StartGameJob() {
  const std::wstring folder = ReadInstallDir();
  if (folder.empty() || !IsRegularFile(JoinPath(folder, kGameExeName))) {
    ReportError(kGameMissingText);
    return;
  }
  ApplyClientDataList(folder, ReadLauncherFlag(kHdFlag, false));
  if (!LaunchGame(folder)) {
    ReportError(kGameStartFailedText);
    return;
  }
  if (HWND window = MainWindow()) PostMessageW(window, kWmGameStarted, 0, 0);
}

bool LaunchGame(std::wstring_view folderText) {
  const std::wstring folder = NormalizeFolder(folderText);
  const std::wstring exe = JoinPath(folder, kGameExeName);
  if (!IsRegularFile(exe)) return false;

  const std::wstring line = L"\"" + exe + L"\" " + kGameStartArgument;
  return static_cast<bool>(StartProcess(exe, line, {folder}));
}

}  // namespace nv
