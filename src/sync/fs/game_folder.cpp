#include "sync/fs/game_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "sync/fs/folder_security.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder_testing.h"
#include "sync/fs/unique_handle.h"

namespace nv {

GameFolderSeams& GameFolderSeamsForTests() {
  static GameFolderSeams seams;
  return seams;
}

namespace {

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
  UniqueLocalMem owner(text);
  return std::wstring(text);
}

std::wstring OwnUserSid() {
  UniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<ULONG_PTR> buffer(size / sizeof(ULONG_PTR) + 1);  // aligned for TOKEN_USER
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::wstring FolderOwnerSid(std::wstring_view folder) {
  if (auto* seam = GameFolderSeamsForTests().folderOwnerSid) return seam(folder);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const std::wstring path = LongPath(folder);
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return {};
  UniqueLocalMem held(descriptor);
  return SidText(owner);
}

// The descriptor as Win32 wants it; empty when it cannot be built.
UniqueLocalMem GameFolderDescriptor() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kGameFolderSddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return {};
  return UniqueLocalMem(descriptor);
}

bool CreateSecured(const std::wstring& folder) {
  UniqueLocalMem descriptor = GameFolderDescriptor();
  if (!descriptor) return false;
  if (auto* seam = GameFolderSeamsForTests().descriptorApplied) seam(folder, kGameFolderSddl, true);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  return CreateDirectoryW(LongPath(folder).c_str(), &attributes) != FALSE;
}

// Replaces the folder's owner and DACL with ours, the DACL protected from
// the parent's, and lets Windows carry it to what is inside.
bool SecureExisting(const std::wstring& folder) {
  UniqueLocalMem descriptor = GameFolderDescriptor();
  if (!descriptor) return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) || !present ||
      !GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) || !owner)
    return false;
  if (auto* seam = GameFolderSeamsForTests().descriptorApplied) seam(folder, kGameFolderSddl, false);
  std::wstring path = LongPath(folder);
  return SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                               OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                   PROTECTED_DACL_SECURITY_INFORMATION,
                               owner, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

// The link's own owner, not its target's. Wine reports its one user for
// every file and link, so tests answer through folderOwnerSid.
std::wstring LinkOwnerSid(const std::wstring& link) {
  if (auto* seam = GameFolderSeamsForTests().folderOwnerSid) return seam(link);
  UniqueFile handle(CreateFileW(LongPath(link).c_str(), READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return {};
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return {};
  UniqueLocalMem held(descriptor);
  return SidText(owner);
}

// A volume mounted on a folder: Windows names the volume only for a real
// mount point (and a drive root), never for a link or junction elsewhere.
bool IsVolumeMountPoint(const std::wstring& folder) {
  wchar_t volume[64] = {};
  return GetVolumeNameForVolumeMountPointW(JoinPath(folder, L"").c_str(), volume, 64) != FALSE;
}

// The folders from below the drive (or share) down to folder itself, as
// far as they exist.
bool LiesBehindForeignLink(const std::wstring& folder) {
  for (const std::wstring& step : ParentFoldersToCreate(JoinPath(folder, L"x"))) {
    const DWORD attributes = GetFileAttributesW(LongPath(step).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // nothing exists below
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) || IsVolumeMountPoint(step)) continue;
    // The launcher's own user is no trusted owner here: the player's
    // unelevated programs make links as that user.
    if (!IsTrustedFolderOwner(LinkOwnerSid(step), {})) return true;
  }
  return false;
}

}  // namespace

HeldGameFolder::HeldGameFolder(std::wstring_view folderView, bool forRemoval) {
  std::wstring folder = NormalizeFolder(folderView);
  if (LiesBehindForeignLink(folder)) {
    check_ = GameFolderCheck::kForeignLink;
    return;
  }
  // Only the folder itself may be removed through the handle, never a
  // folder above it.
  while (!forRemoval && !folder.empty() && !IsFolder(folder)) {
    const std::size_t slash = folder.find_last_of(L'\\');
    folder = slash == std::wstring::npos || slash < 3 ? std::wstring() : folder.substr(0, slash);
  }
  if (folder.empty()) return;  // nothing there yet to hold
  // Read and write sharing only: others may use what is inside, but no
  // open that would rename or delete the folder itself succeeds.
  // No DELETE access of our own either: an open by anyone (the system's
  // own path lookups included) that does not share delete would fail.
  path_ = folder;
  folder_.reset(CreateFileW(LongPath(folder).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (folder_ && !GetFileInformationByHandle(folder_.get(), &identity_)) folder_.reset();
}

bool HeldGameFolder::RemoveIfEmpty() {
  if (!folder_) return false;
  folder_.reset();
  // The same folder (volume and file index) as the one held, not a link in
  // its place: the name cannot have changed hands while it was held.
  UniqueFile again(CreateFileW(LongPath(path_).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION now{};
  if (!again || !GetFileInformationByHandle(again.get(), &now) ||
      now.dwVolumeSerialNumber != identity_.dwVolumeSerialNumber ||
      now.nFileIndexHigh != identity_.nFileIndexHigh || now.nFileIndexLow != identity_.nFileIndexLow ||
      (now.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  FILE_DISPOSITION_INFO remove{TRUE};
  return SetFileInformationByHandle(again.get(), FileDispositionInfo, &remove, sizeof(remove)) != FALSE;
}

GameFolderCheck PrepareGameFolder(std::wstring_view folderView) {
  const std::wstring folder = NormalizeFolder(folderView);
  if (!IsFolder(folder)) {
    if (!CreateParentDirectories(folder)) return GameFolderCheck::kNotCreatable;
    if (CreateSecured(folder)) return GameFolderCheck::kReady;
    // Someone made it in between: it is judged like any existing folder.
    if (GetLastError() != ERROR_ALREADY_EXISTS) return GameFolderCheck::kNotCreatable;
  }
  if (!IsTrustedFolderOwner(FolderOwnerSid(folder), OwnUserSid())) return GameFolderCheck::kForeignOwner;
  return SecureExisting(folder) ? GameFolderCheck::kReady : GameFolderCheck::kNotCreatable;
}

}  // namespace nv
