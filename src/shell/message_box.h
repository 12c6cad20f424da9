// Every message box of the shell, titled "Norvane". The test build answers
// them (and records what the default browser would open) through a seam so
// the real executable can run unattended; the shipped build has no seam.
#pragma once

#include <windows.h>

namespace nv {

int ShowMessageBox(HWND owner, const wchar_t* text, UINT type);

// Test build only: message boxes, uninstall's boxes included, and external
// opens are written to the file NORVANE_TEST_LOG and the boxes answered in
// turn from NORVANE_TEST_ANSWERS ("yes,no,..."; "no" or OK when used up).
// Does nothing in the shipped build.
void InstallTestSeams();

}  // namespace nv
