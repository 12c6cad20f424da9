#include "sync/fs/folder_security.h"

namespace nv {

namespace {

constexpr std::wstring_view kAdministratorsSid = L"S-1-5-32-544";
constexpr std::wstring_view kSystemSid = L"S-1-5-18";
constexpr std::wstring_view kTrustedInstallerSid =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

}  // namespace

bool IsTrustedFolderOwner(std::wstring_view ownerSid, std::wstring_view ownUserSid) {
  if (ownerSid.empty()) return false;
  return ownerSid == kAdministratorsSid || ownerSid == kSystemSid || ownerSid == kTrustedInstallerSid ||
         ownerSid == ownUserSid;
}

}  // namespace nv
