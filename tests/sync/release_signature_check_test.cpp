// openssl signs (tools/publish), CNG verifies: the two must agree, under Wine
// as on Windows.
#include <gtest/gtest.h>

#include "sync/release_signature.h"
#include "sync/signed_releases.h"

namespace nv {
namespace {

TEST(VerifyReleaseSignature, TakesWhatThePublisherSignedWithAPinnedKeyOnly) {
  const std::string v1 = test::SignedRelease("v1/client/manifest.txt");
  const std::string v1Sig = test::SignedRelease("v1/client/manifest.txt.sig");
  const std::string v2Sig = test::SignedRelease("v2/client/manifest.txt.sig");
  const std::string forged = test::SignedRelease("forged/client/manifest.txt");
  const std::string forgedSig = test::SignedRelease("forged/client/manifest.txt.sig");
  const auto release = ParseReleaseKeys(test::ReleaseKeyHex("release")).keys;
  const auto both = ParseReleaseKeys(test::ReleaseKeyHex("release") + "," + test::ReleaseKeyHex("other")).keys;
  const std::vector<ReleaseKey> none;
  ASSERT_EQ(both.size(), 2u);
  std::string altered = v1;
  altered[altered.size() / 2] ^= 1;
  std::string flipped = v1Sig;
  flipped[10] = flipped[10] == '0' ? '1' : '0';
  const struct {
    const std::string& text;
    const std::string& signature;
    const std::vector<ReleaseKey>& keys;
    bool verifies;
  } rows[] = {
      {v1, v1Sig, release, true},
      {forged, forgedSig, both, true},  // the second of two keys
      {forged, forgedSig, release, false},
      {altered, v1Sig, release, false},
      {v1, flipped, release, false},
      {v1, v2Sig, release, false},
      {v1, v1Sig, none, false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(VerifyReleaseSignature(row.text, row.signature, row.keys), row.verifies) << &row - rows;
}

}  // namespace
}  // namespace nv
