#include "bridge/dispatcher/desktop_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

// The desktop window's view, as a scriptable folder view: the shell window
// list finds the desktop, its top-level browser gives the active view, and the
// view's background object is the folder view.
bool FindDesktopFolderView(ComPtr<IShellFolderViewDual>& folderView, HWND& desktop) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.put_void())))
    return false;
  UniqueVariant location;
  location.SetInt(CSIDL_DESKTOP);
  UniqueVariant root;
  LONG window = 0;
  ComPtr<IDispatch> found;
  // S_FALSE with no object when there is no desktop window.
  if (windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.put()) !=
          S_OK ||
      !found)
    return false;
  desktop = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));

  ComPtr<IServiceProvider> provider;
  if (FAILED(found->QueryInterface(IID_IServiceProvider, provider.put_void()))) return false;
  ComPtr<IShellBrowser> browser;
  if (FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void()))) return false;
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return false;
  ComPtr<IDispatch> background;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) || !background)
    return false;
  return SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())) && folderView;
}

// Wine gives the launcher no separate elevated token, so its own call already
// opens as the player; and Wine's desktop can deadlock in this chain (a
// freshly started explorer.exe waits on the very release call it serves),
// which would freeze the window thread. Wine names itself by this export.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

bool OpenThroughDesktopShell(const std::wstring& target) noexcept {
  if (RunningUnderWine()) return false;
  ComPtr<IShellFolderViewDual> folderView;
  HWND desktop = nullptr;
  if (!FindDesktopFolderView(folderView, desktop)) return false;
  ComPtr<IDispatch> application;
  if (FAILED(folderView->get_Application(application.put())) || !application) return false;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(application->QueryInterface(IID_IShellDispatch2, shell.put_void()))) return false;

  UniqueBstr file(SysAllocString(target.c_str()));
  UniqueVariant arguments, folder, operation, show;
  if (!file || !arguments.SetString(L"") || !folder.SetString(L"") || !operation.SetString(L"open"))
    return false;
  show.SetInt(SW_SHOWNORMAL);

  // The browser or file manager the shell starts may come to the front.
  DWORD shellProcess = 0;
  if (desktop && GetWindowThreadProcessId(desktop, &shellProcess) && shellProcess)
    AllowSetForegroundWindow(shellProcess);
  return SUCCEEDED(shell->ShellExecute(file.get(), arguments.value(), folder.value(), operation.value(),
                                       show.value()));
}

}  // namespace nv
