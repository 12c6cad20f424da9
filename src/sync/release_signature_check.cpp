// The release signature checked with the platform's own cryptography: CNG's
// ECDSA P-256 over the SHA-256 of the manifest's bytes.
#include "sync/release_signature.h"
#include "sync/release_signature_testing.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <string>

#include "nv_config.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

ReleaseKeys& Pinned() {
  static ReleaseKeys keys = ParseReleaseKeys(config::kReleaseKeys);
  return keys;
}

bool Sha256Bytes(std::string_view text, std::array<std::uint8_t, 32>& digest) {
  Sha256Stream stream;
  if (!stream.Reset() || !stream.Add(text.data(), text.size())) return false;
  const std::string hex = stream.Finish();
  if (hex.size() != 64) return false;
  for (std::size_t i = 0; i < digest.size(); ++i)
    digest[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  return true;
}

bool VerifyWithKey(BCRYPT_ALG_HANDLE algorithm, const ReleaseKey& key,
                   std::array<std::uint8_t, 32>& digest, ReleaseSignature& signature) {
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
  std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> blob{};
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), sizeof header, blob.begin());
  std::copy(key.begin(), key.end(), blob.begin() + sizeof header);
  UniqueBCryptKey handle;
  if (BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, handle.put(), blob.data(),
                          static_cast<ULONG>(blob.size()), 0) != 0)
    return false;  // not a point on the curve
  return BCryptVerifySignature(handle.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                               signature.data(), static_cast<ULONG>(signature.size()), 0) == 0;
}

}  // namespace

const ReleaseKeys& PinnedReleaseKeys() { return Pinned(); }

void PinReleaseKeysForTests(std::string_view keysText) { Pinned() = ParseReleaseKeys(keysText); }

bool VerifyReleaseSignature(std::string_view text, std::string_view signatureText,
                            const std::vector<ReleaseKey>& keys) {
  std::optional<ReleaseSignature> signature = ParseReleaseSignature(signatureText);
  std::array<std::uint8_t, 32> digest{};
  if (!signature || keys.empty() || !Sha256Bytes(text, digest)) return false;
  UniqueBCryptAlgorithm algorithm;
  if (BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) != 0) return false;
  // Two keys while the studio moves from one to the next: either signs.
  for (const ReleaseKey& key : keys)
    if (VerifyWithKey(algorithm.get(), key, digest, *signature)) return true;
  return false;
}

}  // namespace nv
