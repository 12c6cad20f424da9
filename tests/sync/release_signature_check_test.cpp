// openssl signs (tools/publish), CNG verifies: the two must agree, under Wine
// as on Windows.
#include <gtest/gtest.h>

#include <string>

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
  ASSERT_EQ(release.size(), 1u);
  ASSERT_EQ(both.size(), 2u);
  std::string altered = v1;
  altered[altered.size() / 2] ^= 1;
  std::string flipped = v1Sig;
  flipped[10] = flipped[10] == '0' ? '1' : '0';

  struct Row {
    const char* what;
    const std::string& text;
    const std::string& signature;
    const std::vector<ReleaseKey>& keys;
    bool verifies;
  };
  const std::vector<ReleaseKey> none;
  const std::string empty;
  const Row rows[] = {
      {"signed", v1, v1Sig, release, true},
      {"either of two keys", v1, v1Sig, both, true},
      {"the other key of two", forged, forgedSig, both, true},
      {"another key", forged, forgedSig, release, false},
      {"a changed byte", altered, v1Sig, release, false},
      {"a flipped signature bit", v1, flipped, release, false},
      {"another release's signature", v1, v2Sig, release, false},
      {"no signature", v1, empty, release, false},
      {"no key pinned", v1, v1Sig, none, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(VerifyReleaseSignature(row.text, row.signature, row.keys), row.verifies) << row.what;
}

}  // namespace
}  // namespace nv
