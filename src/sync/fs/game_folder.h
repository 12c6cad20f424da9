// The game folder's own security: created with a descriptor that lets only
// administrators and SYSTEM write, re-applied at install and repair, and an
// existing folder owned by another account refused. See folder_security.h
// for the descriptor and the owner rule.
#pragma once

#include <string_view>

namespace nv {

enum class GameFolderCheck {
  kReady,         // exists with the administrators-only descriptor
  kNotCreatable,  // could not be created or secured
  kForeignOwner,  // exists, owned by an account that is not trusted
};

// Creates the folder (its parents plain, inheriting what they would anyway;
// the folder itself with kGameFolderSddl) or, when it exists, checks its
// owner and replaces its DACL with kGameFolderSddl, protected from its
// parent's. Never changes a parent's descriptor.
GameFolderCheck PrepareGameFolder(std::wstring_view folder);

}  // namespace nv
