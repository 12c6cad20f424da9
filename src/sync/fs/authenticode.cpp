#include "sync/fs/authenticode.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace nv {

namespace {

// Releases the verification state on every path out of VerifiedSigner.
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

std::string Bytes(const BYTE* data, DWORD size) { return std::string(reinterpret_cast<const char*>(data), size); }

}  // namespace

std::optional<AuthenticodeSigner> VerifiedSigner(const std::wstring& path, HANDLE file) {
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = path.c_str();
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
  if (trust != 0) return std::nullopt;

  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
  if (!provider) return std::nullopt;
  CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  if (!signer || signer->csCertChain == 0) return std::nullopt;
  CRYPT_PROVIDER_CERT* leaf = WTHelperGetProvCertFromChain(signer, 0);
  CRYPT_PROVIDER_CERT* root = WTHelperGetProvCertFromChain(signer, signer->csCertChain - 1);
  if (!leaf || !leaf->pCert || !root || !root->pCert) return std::nullopt;

  AuthenticodeSigner result;
  BYTE thumbprint[20] = {};
  DWORD thumbprintSize = sizeof thumbprint;
  if (!CertGetCertificateContextProperty(root->pCert, CERT_SHA1_HASH_PROP_ID, thumbprint, &thumbprintSize) ||
      thumbprintSize != sizeof thumbprint)
    return std::nullopt;
  for (BYTE byte : thumbprint) {
    result.rootSha1 += "0123456789ABCDEF"[byte >> 4];
    result.rootSha1 += "0123456789ABCDEF"[byte & 0xF];
  }
  wchar_t name[256] = {};
  CertGetNameStringW(leaf->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
  result.name = name;
  const CERT_PUBLIC_KEY_INFO& key = leaf->pCert->pCertInfo->SubjectPublicKeyInfo;
  result.publicKey = std::string(key.Algorithm.pszObjId ? key.Algorithm.pszObjId : "") + '\0' +
                     Bytes(key.Algorithm.Parameters.pbData, key.Algorithm.Parameters.cbData) + '\0' +
                     Bytes(key.PublicKey.pbData, key.PublicKey.cbData);
  return result;
}

}  // namespace nv
