// Who may change the game folder. The launcher runs elevated and starts the
// programs in this folder (the game, its own copy) with administrator
// rights, so only administrators may write there. Pure values and rules:
// the Win32 side is game_folder.cpp.
#pragma once

#include <string_view>

namespace nv {

// The game folder's security descriptor, in SDDL:
//   O:BA   owned by Administrators: an owner may always rewrite the DACL,
//          so a folder the player made unelevated is taken over, and the
//          player's unelevated programs keep no way to open it up again
//   D:     the DACL:
//   P      protected: nothing is inherited from the parent, whose entries
//          (Authenticated Users may modify below C:\) are the fault
//   AI     the entries below are marked as auto-inherited, so files and
//          folders created later take them without a tool having to
//          propagate anything
//   (A;OICI;FA;;;SY)        SYSTEM: full control, on the folder, its files
//                           and its subfolders (OI object, CI container)
//   (A;OICI;FA;;;BA)        Administrators: full control, the same way
//   (A;OICI;0x1200a9;;;BU)  Users: read, list, read attributes and extended
//                           attributes, execute, synchronise. No write,
//                           append, delete, delete-child, WRITE_DAC or
//                           WRITE_OWNER bit: another account can neither
//                           replace a program nor drop a DLL beside it.
// CREATOR OWNER gets nothing: a file an administrator creates is owned by
// Administrators anyway, and nobody else can create one.
inline constexpr wchar_t kGameFolderSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The owners a game folder may already have: Administrators, SYSTEM,
// TrustedInstaller, or the account the launcher runs as (the player's own
// folder, created before elevation). Anyone else could change its DACL back
// whenever they like, so the launcher does not install into it. SIDs in
// their string form ("S-1-5-32-544"); an empty owner (unknown) is refused.
bool IsTrustedFolderOwner(std::wstring_view ownerSid, std::wstring_view ownUserSid);

}  // namespace nv
