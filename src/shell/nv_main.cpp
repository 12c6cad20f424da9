// Entry point of Norvane-Launcher.exe. The window, the web view and the modes
// arrive with the shell; until then the executable only proves that the
// shipped flavour links.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"The Norvane launcher is not finished yet.", L"Norvane",
              MB_OK | MB_ICONINFORMATION);
  return 0;
}
