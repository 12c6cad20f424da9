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

}  // namespace

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
