// Signed releases: the download server's manifests carry a detached ECDSA
// P-256 signature (the manifest's URL + ".sig") made with the studio's
// release key, and the launcher pins the public key at build time. Mirrors
// are then only transport: one that is broken into can neither hand out
// other files nor roll the game or the launcher back to an older build.
//
// The rules here are pure text (no Windows header); the verification itself
// uses CNG (release_signature_check.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace nv {

// The X and Y coordinates of a P-256 public key, 32 bytes each.
using ReleaseKey = std::array<std::uint8_t, 64>;
// r and s of an ECDSA P-256 signature, 32 bytes each (CNG's form).
using ReleaseSignature = std::array<std::uint8_t, 64>;

struct ReleaseKeys {
  // A build with keys takes only signed manifests; one without keeps
  // taking what the mirrors serve, as before signing existed.
  bool required = false;
  std::vector<ReleaseKey> keys;
};

// The build setting: empty, or one or two keys separated by ',', each the
// uncompressed point "04" + X + Y in hex (130 digits). Anything else still
// requires signatures but pins no key, so nothing verifies: a mistyped key
// fails closed, never open.
ReleaseKeys ParseReleaseKeys(std::string_view text);

// A ".sig" file: r and s as 128 hex digits, blanks and line ends around them
// allowed. Nothing when the text is anything else.
std::optional<ReleaseSignature> ParseReleaseSignature(std::string_view text);

// Orders version texts: '.'-separated fields, compared as numbers when both
// are digits and as bytes otherwise; a missing field counts as "0", so "1"
// and "1.0.0" are equal. Negative, zero or positive like strcmp.
int CompareVersions(std::string_view a, std::string_view b);

// A signed manifest older than what is installed or running is a replay of
// an earlier release: refused. Nothing to compare with (empty) is no replay.
bool IsRollback(std::string_view offered, std::string_view current);

// --- CNG (release_signature_check.cpp) ---

// The keys this build pins, read once from the build setting.
const ReleaseKeys& PinnedReleaseKeys();

// True when signatureText is a valid signature of the exact text by one of
// the keys. False for any malformed input.
bool VerifyReleaseSignature(std::string_view text, std::string_view signatureText,
                            const std::vector<ReleaseKey>& keys);

}  // namespace nv
