// Test support for the message boxes: not for production code.
#pragma once

#include <windows.h>

namespace nv {

// Stands in for MessageBoxW behind every box, given the title too; nullptr
// puts MessageBoxW back.
using MessageBoxFunction = int(WINAPI*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
void SetMessageBoxForTesting(MessageBoxFunction function);

}  // namespace nv
