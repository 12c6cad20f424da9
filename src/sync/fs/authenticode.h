// Who signed an executable, as Authenticode (WinVerifyTrust) vouches for it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace nv {

struct AuthenticodeSigner {
  std::wstring name;       // the signing certificate's simple display name
  std::string publicKey;   // its SubjectPublicKeyInfo: algorithm, parameters and key
  std::string rootSha1;    // the chain's root, SHA-1 thumbprint in upper-case hex
};

// The signer when the file's signature is intact and its chain ends in a
// root the machine trusts; nothing for an unsigned, altered or untrusted
// file. With file (an open handle of path), that very file is checked.
// Revocation is taken from the cache only: the machine may be offline.
std::optional<AuthenticodeSigner> VerifiedSigner(const std::wstring& path,
                                                 HANDLE file = INVALID_HANDLE_VALUE);

}  // namespace nv
