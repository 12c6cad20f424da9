// The self-update's signer rule with real Authenticode signatures: the
// stand-in installers tests/prereq signs with the per-build test CA.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"
#include "system/self_update.h"

namespace nv {
namespace {

std::wstring Signed(const wchar_t* name) { return test::BesideTestExe(std::wstring(L"..\\prereq\\signed\\") + name); }

TEST(SignedBySameSigner, ASignedBuildHandsOverOnlyToItsOwnSigningKey) {
  const std::string der = test::ReadAll(Signed(L"test_ca.der")).value_or("");
  ASSERT_TRUE(CertAddEncodedCertificateToSystemStoreW(L"Root", reinterpret_cast<const BYTE*>(der.data()),
                                                      static_cast<DWORD>(der.size())));
  const struct {
    const wchar_t* running;
    const wchar_t* offered;
    bool swaps;
  } rows[] = {
      {L"signed_microsoft.exe", L"signed_microsoft_next.exe", true},
      {L"signed_microsoft.exe", L"unsigned.exe", false},
      {L"signed_microsoft.exe", L"signed_altered.exe", false},
      {L"signed_microsoft.exe", L"signed_lookalike.exe", false},
      {L"signed_microsoft.exe", L"signed_untrusted.exe", false},  // same name, other root and key
      {L"signed_microsoft.exe", L"missing.exe", false},
      {L"unsigned.exe", L"signed_other.exe", true},  // a development build updates as before
  };
  for (const auto& row : rows)
    EXPECT_EQ(SignedBySameSigner(Signed(row.running), Signed(row.offered)), row.swaps) << ToUtf8(row.offered);
}

}  // namespace
}  // namespace nv
