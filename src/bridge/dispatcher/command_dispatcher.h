// Turns each page command into its native effect. Window thread only; never
// waits for a job.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nv {

// text: one accepted command (origin checked, a string of 1 to 4095 units).
void DispatchCommand(std::wstring_view text);

// The browse command: the folder picker, answered with a browse message.
void PickInstallFolder();

// Opens an http(s) address in the default browser, or an existing folder in
// the file manager, as the desktop user when the desktop shell takes it.
// Anything else is ignored.
void OpenExternal(const std::wstring& target);

}  // namespace nv
