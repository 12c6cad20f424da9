// The game folder's own security: created with a descriptor that lets only
// administrators and SYSTEM write, re-applied at install and repair, and an
// existing folder owned by another account refused. See folder_security.h
// for the descriptor and the owner rule.
#pragma once

#include <string>
#include <string_view>

#include "sync/fs/unique_handle.h"

namespace nv {

enum class GameFolderCheck {
  kReady,         // exists with the administrators-only descriptor
  kNotCreatable,  // could not be created or secured
  kForeignOwner,  // exists, owned by an account that is not trusted
  kForeignLink,   // is, or lies behind, a link an administrator did not make
};

// Creates the folder (its parents plain, inheriting what they would anyway;
// the folder itself with kGameFolderSddl) or, when it exists, checks its
// owner and replaces its DACL with kGameFolderSddl, protected from its
// parent's. Never changes a parent's descriptor.
GameFolderCheck PrepareGameFolder(std::wstring_view folder);

// The game folder held for the length of a job: opened without delete
// sharing, so nobody can rename it, remove it or put a link in its place
// while the job works in it by path. Before the install creates it, the
// deepest folder above it that exists is held instead. Refused
// (kForeignLink, nothing held) when the folder or a folder above it is a
// link that Administrators, SYSTEM or TrustedInstaller do not own: whoever
// made it could point it elsewhere at will, and every path below would
// follow. Volume mount points are fine (only administrators make them), and
// so are the system's own junctions (SYSTEM owns them).
class HeldGameFolder {
 public:
  // forRemoval: the handle may also delete the folder (RemoveIfEmpty).
  explicit HeldGameFolder(std::wstring_view folder, bool forRemoval = false);
  GameFolderCheck check() const { return check_; }
  // Ends the hold and deletes the folder when it is empty, by a handle that
  // is checked to be the folder that was held.
  bool RemoveIfEmpty();

 private:
  std::wstring path_;
  UniqueFile folder_;
  BY_HANDLE_FILE_INFORMATION identity_{};
  GameFolderCheck check_ = GameFolderCheck::kReady;
};

}  // namespace nv
