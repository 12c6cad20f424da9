// Entry point of Norvane-Launcher.exe: the modes in their order (uninstall,
// second instance, missing WebView2 Runtime, launcher), start-up, the message
// loop and shutdown.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "bridge/dispatcher/command_dispatcher.h"
#include "bridge/main_window_handle.h"
#include "bridge/player_texts.h"
#include "bridge/message_box.h"
#include "jobs/job_engine.h"
#include "news/news_thread.h"
#include "nv_config.h"
#include "shell/main_window.h"
#include "shell/setup_window.h"
#include "shell/shell_rules.h"
#include "shell/test_seams.h"
#include "shell/webview2/webview2_loader.h"
#include "shell/webview_host.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/process_start.h"
#include "sync/fs/unique_handle.h"
#include "system/self_update.h"
#include "system/uninstall.h"

namespace nv {

namespace {

constexpr DWORD kInstanceWaitMs = 8000;
constexpr DWORD kShutdownWaitMs = 5000;
// The news thread sees the quit event at once unless a fetch is in flight; a
// loopback or nearby server answers well within this.
constexpr DWORD kNewsEndWaitMs = 2000;

HINSTANCE instanceHandle = nullptr;
// Held for the whole run; released before a relaunch so the new process can
// take it.
UniqueKernelHandle instanceMutex;
bool mutexHeld = false;

bool HasSwitch(const wchar_t* name) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return false;
  std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  return HasSwitchIn(args, name);
}

void ReleaseInstanceMutex() {
  if (mutexHeld) ReleaseMutex(instanceMutex.get());
  mutexHeld = false;
  instanceMutex.reset();
}

void Relaunch() {
  ReleaseInstanceMutex();
  StartProcess(OwnExePath(), GetCommandLineW());
}

bool RequestWebView2Runtime(bool ask) {
  if (ask && ShowMessageBox(nullptr, kRuntimeQuestionText, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
  if (RunWebView2SetupWindow(instanceHandle) && IsWebView2RuntimeAvailable()) return true;
  if (ShowMessageBox(nullptr, kRuntimeFailedText, MB_YESNO | MB_ICONERROR) == IDYES)
    OpenExternal(FromUtf8(config::kWebView2PageUrl));
  return false;
}

// True when the mutex's owner is Administrators or SYSTEM: a launcher made
// it. Anyone else (an unelevated program, another account) cannot name
// Administrators as the owner.
bool MadeByALauncher(HANDLE mutex) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool trusted = owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                 IsWellKnownSid(owner, WinLocalSystemSid));
  LocalFree(descriptor);
  return trusted;
}

// Wait results WAIT_OBJECT_0 and WAIT_ABANDONED (a launcher that crashed
// holding it) both make this process the owner. False when another
// launcher runs; its window has then been brought forward. A mutex of the
// same name that someone else made first (or one this process may not use)
// is not waited for: the launcher then runs without single-instance
// protection rather than not at all.
bool TakeInstanceMutex() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstanceMutexSddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return true;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  instanceMutex.reset(CreateMutexW(&attributes, FALSE, kInstanceMutexName));
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  LocalFree(descriptor);
  if (!instanceMutex) return true;  // no single-instance protection, but run
  if (existed && !MadeByALauncher(instanceMutex.get())) {
    instanceMutex.reset();
    return true;
  }
  const DWORD wait = WaitForSingleObject(instanceMutex.get(), kInstanceWaitMs);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    mutexHeld = true;
    return true;
  }
  // The first launcher may still be setting up the WebView2 Runtime.
  HWND other = FindWindowW(kMainWindowClass, nullptr);
  if (!other) other = FindWindowW(kSetupWindowClass, nullptr);
  if (other) {
    ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
  }
  instanceMutex.reset();
  return false;
}

int RunLauncher(HINSTANCE instance, int showCommand) {
  instanceHandle = instance;
  ScopedComInit com;
  if (!com.succeeded()) return 1;
  InstallTestSeams();

  if (HasSwitch(L"--uninstall")) return RunUninstallCommand();
  SetDevToolsEnabled(HasSwitch(L"--devtools"));

  if (!TakeInstanceMutex()) return 0;
  // Started by a self-update as ".new": the launcher's name is taken now that
  // the build before has let go of the instance.
  CompleteSelfUpdateHandOver();

  if (!IsWebView2RuntimeAvailable()) {
    if (RequestWebView2Runtime(true)) Relaunch();
    ReleaseInstanceMutex();
    return 0;
  }

  CreateJobDoneEvent();
  CreateQuitEvent();
  if (!CreateMainWindow(instance, showCommand)) return 1;
#ifdef NV_BUILD_MARKER
  // A second test build of the same program names itself in its title, so a
  // test can tell which build runs after a self-update. Never shipped.
  SetWindowTextW(MainWindow(), L"Norvane (" NV_BUILD_MARKER L")");
#endif
  CreateWebViewEnvironment();
  StartJob(kJobUpdateCheck, JobArgument{});
  std::thread newsThread;
  UniqueKernelHandle newsEnded(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  try {
    newsThread = std::thread([ended = newsEnded.get()] {
      NewsThreadMain();
      if (ended) SetEvent(ended);
    });
  } catch (...) {
    // No thread: the launcher runs without news.
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  // Shutdown: the window is gone. A job still running after the wait is left
  // to end with the process; jobs keep their files resumable.
  stopFlag = true;
  if (HANDLE quit = QuitEvent()) SetEvent(quit);
  WaitForJobEnd(kShutdownWaitMs);
  // Joined rather than ended under ExitProcess in the middle of a TLS
  // exchange. One still fetching is left; its event then stays open for it.
  if (newsThread.joinable()) {
    if (newsEnded && WaitForSingleObject(newsEnded.get(), kNewsEndWaitMs) == WAIT_OBJECT_0) {
      newsThread.join();
    } else {
      newsThread.detach();
      static_cast<void>(newsEnded.release());
    }
  }
  if (InstallRuntimeAtExit() && RequestWebView2Runtime(false)) Relaunch();
  ReleaseInstanceMutex();
  return -1;  // a normal run: ExitProcess(0) after COM is undone
}

}  // namespace

}  // namespace nv

namespace {

// Redirection trust: Windows then refuses, for this process, every junction
// or symbolic link that an account other than an administrator created. The
// launcher runs elevated and works in folders other accounts may have
// touched; this covers the opens no check of ours sees. Windows versions
// before it (and Wine, which only answers success) go on without: the
// launcher's own checks do not rely on it. Looked up at run time because
// older kernel32 lack the export and the import check allows no new import.
void RefuseLinksOfNonAdministrators() {
  constexpr int kProcessRedirectionTrustPolicy = 16;
  struct RedirectionTrustPolicy {
    DWORD flags;  // bit 0 EnforceRedirectionTrust, bit 1 AuditRedirectionTrust
  } policy{1};
  using SetPolicy = BOOL(WINAPI*)(int, PVOID, SIZE_T);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (!kernel32) return;
  const auto set = reinterpret_cast<SetPolicy>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "SetProcessMitigationPolicy")));
  if (set) set(kProcessRedirectionTrustPolicy, &policy, sizeof(policy));  // best effort, silent
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Before anything can load a DLL: every DLL this process loads by name
  // (the delay-loaded system DLLs, and whatever those load) comes from
  // System32, never from the executable's folder, the current folder or PATH.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  RefuseLinksOfNonAdministrators();
  const int code = nv::RunLauncher(instance, showCommand);
  if (code >= 0) return code;
  // The worker or the news thread may still run: end the process under them.
  ExitProcess(0);
}
