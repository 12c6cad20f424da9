// Test support for the game folder's security: not for production code.
#pragma once

#include <string>
#include <string_view>

#include "sync/fs/game_folder.h"

namespace nv {

struct GameFolderSeams {
  // The owner's SID in string form. Wine reports one owner (its own user)
  // for every file, so a folder owned by another account exists in the
  // tests only through this answer.
  std::wstring (*folderOwnerSid)(std::wstring_view folder) = nullptr;
  // Sees each descriptor as it reaches CreateDirectoryW (created) or
  // SetNamedSecurityInfoW (not created). Wine maps a DACL onto mode bits and
  // reads back something else, so this is what the tests can check.
  void (*descriptorApplied)(std::wstring_view folder, std::wstring_view sddl, bool created) = nullptr;
};
GameFolderSeams& GameFolderSeamsForTests();

}  // namespace nv
