#include "bridge/dispatcher/command_dispatcher.h"
#include "bridge/dispatcher/command_dispatcher_testing.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <atomic>
#include <thread>

#include "bridge/dispatcher/command_parser.h"
#include "bridge/dispatcher/desktop_shell.h"
#include "bridge/dispatcher/install_folder.h"
#include "bridge/dispatcher/open_target.h"
#include "bridge/main_window_handle.h"
#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/window_messages.h"
#include "jobs/job_engine.h"
#include "prereq/prerequisites.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/launcher_settings.h"

namespace nv {

namespace {

std::atomic<ExternalOpener> externalOpener{nullptr};
std::atomic<FolderPicker> folderPicker{nullptr};

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.starts_with(prefix); }

// ShellExecuteW answers above 32 when it opened the target.
bool OpenInOwnProcess(const std::wstring& target) {
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

std::atomic<RoadOpener> desktopShellOpener{nullptr};
std::atomic<RoadOpener> ownProcessOpener{nullptr};

void ShellOpen(const std::wstring& target, OpenKind kind) {
  ScopedComInit com;
  for (OpenRoad road : OpenRoadsFor(kind)) {
    if (road == OpenRoad::kDesktopShell) {
      const RoadOpener opener = desktopShellOpener.load();
      if (opener ? opener(target) : OpenThroughDesktopShell(target)) return;
    } else {
      const RoadOpener opener = ownProcessOpener.load();
      if (opener ? opener(target) : OpenInOwnProcess(target)) return;
    }
  }
}

// The shell's folder picker, owned by the main window. Nothing when the
// player cancels or the dialog cannot be shown.
std::optional<std::wstring> ShowFolderPicker() {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.put_void())))
    return std::nullopt;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(kFolderPickerTitle);
  if (FAILED(dialog->Show(MainWindow()))) return std::nullopt;
  ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.put()))) return std::nullopt;
  UniqueCoTaskMemString path;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.put())) || !path) return std::nullopt;
  return std::wstring(path.get());
}

// One check at a time: the page may repeat checkdeps as often as it likes,
// and each would otherwise start another detached thread. A request while
// one runs is answered by that one.
std::atomic<bool> depsCheckRunning{false};

void CheckPrerequisitesInBackground() {
  if (depsCheckRunning.exchange(true)) return;
  try {
    std::thread([] {
      // Detection touches no shared state; the outbox takes the answer.
      try {
        ReportPrerequisites(ListPrerequisites());
      } catch (...) {
      }
      depsCheckRunning = false;
    }).detach();
  } catch (...) {
    // No thread: the page keeps its "Checking..." until the next deps message.
    depsCheckRunning = false;
  }
}

}  // namespace

void SetExternalOpenerForTesting(ExternalOpener opener) { externalOpener = opener; }
void SetFolderPickerForTesting(FolderPicker picker) { folderPicker = picker; }
void SetOpenRoadsForTesting(RoadOpener desktopShell, RoadOpener ownProcess) {
  desktopShellOpener = desktopShell;
  ownProcessOpener = ownProcess;
}

void OpenExternal(const std::wstring& target) {
  const OpenKind kind = ClassifyOpenTarget(target);
  if (kind == OpenKind::kNothing || (kind == OpenKind::kFolder && !IsFolder(target))) return;
  if (ExternalOpener opener = externalOpener.load()) {
    opener(target);
  } else {
    ShellOpen(target, kind);
  }
}

void PickInstallFolder() {
  FolderPicker picker = folderPicker.load();
  const std::optional<std::wstring> chosen = picker ? picker() : ShowFolderPicker();
  if (!chosen || chosen->empty()) return;
  std::wstring path = *chosen;
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  PickedFolderFacts facts;
  facts.holdsGame = IsRegularFile(path + (path.back() == L'\\' ? L"" : L"\\") + L"norvane.exe");
  facts.isEmpty = PathIsDirectoryEmptyW(path.c_str()) != FALSE;
  const std::wstring folder = InstallFolderForPick(path, facts);
  PostToPage(MessageType::kBrowse, BuildBrowseJson(ToUtf8(folder), FreeBytesForPage(folder)));
}

void CloseLauncher() {
  RequestStop(kStopQuit);
  if (HWND window = MainWindow()) DestroyWindow(window);
}

void DispatchCommand(std::wstring_view text) {
  const Command command = ParseCommand(text);
  const JobArgument defaultArgument;

  switch (command.kind) {
    case CommandKind::kReady:
      SetPageReady(true);
      ReplayToPage();
      break;
    case CommandKind::kDrag:
      if (HWND window = MainWindow()) PostMessageW(window, kWmStartDrag, 0, 0);
      break;
    case CommandKind::kInstall: {
      JobArgument argument;
      argument.folder = NormalizeInstallFolder(command.folder);
      if (argument.folder.empty()) {
        ReportError(kInvalidFolderText);
        break;
      }
      argument.hd = command.hd;
      argument.shortcut = command.shortcut;
      StartJob(kJobInstall, argument);
      break;
    }
    case CommandKind::kBrowse:
      PickInstallFolder();
      break;
    case CommandKind::kPause:
      PauseRunningJob();
      break;
    case CommandKind::kResume:
      ResumeLastJob();
      break;
    case CommandKind::kCancel:
      if (jobBusy.load()) {
        RequestStop(kStopCancel);
      } else if (CurrentScreen() == Screen::kInstalling || CurrentScreen() == Screen::kRepair) {
        // A stopped install or repair is on screen: the start-up check decides
        // whether the ready or the install screen comes back.
        StartJob(kJobUpdateCheck, defaultArgument);
      }
      break;
    case CommandKind::kPlay:
      StartJob(kJobPlay, defaultArgument);
      break;
    case CommandKind::kRepair:
      StartJob(kJobRepair, defaultArgument);
      break;
    case CommandKind::kHd:
      if (CurrentScreen() == Screen::kInstall || !CurrentScreen()) {
        WriteLauncherFlag(kHdFlag, command.hd);  // nothing installed yet: only the choice is kept
      } else {
        StartJob(command.hd ? kJobHdOn : kJobHdOff, defaultArgument);
      }
      break;
    case CommandKind::kCheckDeps:
      CheckPrerequisitesInBackground();
      break;
    case CommandKind::kOpenFolder: {
      const std::wstring folder = ReadInstallDir();
      if (!folder.empty()) OpenExternal(folder);
      break;
    }
    case CommandKind::kUninstall:
      if (jobBusy.load()) {
        Toast(kBusyText);
      } else {
        StartJob(kJobUninstall, defaultArgument);
      }
      break;
    case CommandKind::kUrl:
      if (StartsWith(command.address, L"https://") || StartsWith(command.address, L"http://"))
        OpenExternal(command.address);
      break;
    case CommandKind::kMin:
      if (HWND window = MainWindow()) ShowWindow(window, SW_MINIMIZE);
      break;
    case CommandKind::kClose:
      CloseLauncher();
      break;
    case CommandKind::kUnknown:
      break;
  }
}

}  // namespace nv
