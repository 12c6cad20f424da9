// Every message box of the launcher goes through one function, titled with
// the product's name: the shell's questions and uninstall's boxes alike. It
// sits this low so that both reach it; the test build answers the boxes
// through message_box_testing.h, so the real executable runs unattended.
#pragma once

#include <windows.h>

namespace nv {

// MessageBoxW titled "Norvane"; owner may be null, type as MessageBoxW takes it.
int ShowMessageBox(HWND owner, const wchar_t* text, UINT type);

}  // namespace nv
