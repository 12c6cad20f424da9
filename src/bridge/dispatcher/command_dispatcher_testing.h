// Test support for the command dispatcher: not for production code.
#pragma once

#include <optional>
#include <string>

namespace nv {

// What ShellExecuteW would open, and what the folder picker would return
// (nothing: cancelled). nullptr puts the real ones back.
using ExternalOpener = void (*)(const std::wstring& target);
void SetExternalOpenerForTesting(ExternalOpener opener);
using FolderPicker = std::optional<std::wstring> (*)();
void SetFolderPickerForTesting(FolderPicker picker);

// With no external opener set: the desktop shell's road and the launcher's
// own ShellExecuteW, each answering whether it took the target. nullptr puts
// the real one back.
using RoadOpener = bool (*)(const std::wstring& target);
void SetOpenRoadsForTesting(RoadOpener desktopShell, RoadOpener ownProcess);

}  // namespace nv
