// Turns each page command into its native effect. Window thread only; never
// waits for a job.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nv {

// text: one accepted command (origin checked, a string of 1 to 4095 units),
// read by ParseCommand and then acted on.
void DispatchCommand(std::wstring_view text);

// The one way the launcher closes: the running job is told to quit, then the
// main window goes, which ends the message loop; the shutdown after it waits
// for the job. The page's close command, the close question, a newer
// launcher, the uninstall result and a failed web view all end here.
void CloseLauncher();

// The browse command: the folder picker, answered with a browse message.
void PickInstallFolder();

// Opens an http(s) address in the default browser, or an existing folder in
// the file manager, as the desktop user when the desktop shell takes it.
// Anything else is ignored.
void OpenExternal(const std::wstring& target);

}  // namespace nv
