// The rules for the folder a player types or picks on the install screen.
// No Windows header: tested on Linux too.
#pragma once

#include <string>
#include <string_view>

namespace nv {

// The cleaned folder (quotes and blanks trimmed, '/' as '\', no trailing
// '\', a drive root gets "Norvane"), or empty when it is no usable absolute
// folder: not a drive or UNC path, a control character, one of <>"|?* or a
// ':' anywhere but after the drive letter, a name ending in a dot or a
// blank, or a device path (\\.\ or \\?\ and what lies behind them).
std::wstring NormalizeInstallFolder(std::wstring_view text);

// What the folder picker answers for a chosen folder: the folder itself when
// it is already called Norvane, already holds the game or is empty;
// otherwise a "Norvane" folder inside it.
struct PickedFolderFacts {
  bool holdsGame = false;  // norvane.exe is in it
  bool isEmpty = false;
};
std::wstring InstallFolderForPick(std::wstring_view picked, const PickedFolderFacts& facts);

}  // namespace nv
