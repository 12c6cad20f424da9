#include <string>

#include "prereq/prerequisites.h"
#include "sync/fs/authenticode.h"

namespace nv {

bool IsSignedByMicrosoft(const std::wstring& path, HANDLE file) {
  // The launcher runs elevated: an installer runs only when Authenticode
  // says the file is intact and a Microsoft certificate signed it.
  const std::optional<AuthenticodeSigner> signer = VerifiedSigner(path, file);
  // The chain's root must be one we pin, not merely one the machine trusts;
  // and the whole name: anyone can buy a certificate whose name merely
  // contains "Microsoft".
  return signer && IsPinnedSigningRoot(signer->rootSha1) && signer->name == L"Microsoft Corporation";
}

}  // namespace nv
