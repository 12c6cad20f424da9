#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string>

#include "prereq/prerequisites.h"

namespace nv {

namespace {

// Releases the verification state on every path out of IsSignedByMicrosoft.
class TrustState {
 public:
  TrustState(WINTRUST_DATA& data, GUID& action) : data_(data), action_(action) {}
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }

 private:
  WINTRUST_DATA& data_;
  GUID& action_;
};

}  // namespace

bool IsSignedByMicrosoft(const std::wstring& path, HANDLE file) {
  // The launcher runs elevated: an installer runs only when Authenticode
  // says the file is intact and a Microsoft certificate signed it. Revocation
  // is not checked online (the machine may be offline), only cached.
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = path.c_str();
  // The open file itself is checked, not whatever the name points to now.
  if (file != INVALID_HANDLE_VALUE) fileInfo.hFile = file;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;

  const LONG trust = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  TrustState state(data, action);
  if (trust != 0) return false;

  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
  if (!provider) return false;
  CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  if (!signer) return false;
  CRYPT_PROVIDER_CERT* cert = WTHelperGetProvCertFromChain(signer, 0);
  if (!cert || !cert->pCert) return false;
  // The chain's last certificate is its root: it must be one we pin, not
  // merely one the machine trusts.
  if (signer->csCertChain == 0) return false;
  CRYPT_PROVIDER_CERT* root = WTHelperGetProvCertFromChain(signer, signer->csCertChain - 1);
  BYTE thumbprint[20] = {};
  DWORD thumbprintSize = sizeof thumbprint;
  if (!root || !root->pCert ||
      !CertGetCertificateContextProperty(root->pCert, CERT_SHA1_HASH_PROP_ID, thumbprint, &thumbprintSize) ||
      thumbprintSize != sizeof thumbprint) {
    return false;
  }
  std::string hex;
  for (BYTE byte : thumbprint) {
    hex += "0123456789ABCDEF"[byte >> 4];
    hex += "0123456789ABCDEF"[byte & 0xF];
  }
  if (!IsPinnedSigningRoot(hex)) return false;

  wchar_t name[256] = {};
  CertGetNameStringW(cert->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
  // The whole name: anyone can buy a certificate whose name merely contains
  // "Microsoft".
  return std::wstring_view(name) == L"Microsoft Corporation";
}

}  // namespace nv
