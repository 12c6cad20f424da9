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
// the file manager. Anything else is ignored.
void OpenExternal(const std::wstring& target);

// Seams for tests: what ShellExecuteW would open, and what the folder picker
// would return (nothing: cancelled). nullptr puts the real ones back.
using ExternalOpener = void (*)(const std::wstring& target);
void SetExternalOpenerForTesting(ExternalOpener opener);
using FolderPicker = std::optional<std::wstring> (*)();
void SetFolderPickerForTesting(FolderPicker picker);

}  // namespace nv
