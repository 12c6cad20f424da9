// The self-update's signer rule with real Authenticode signatures: the
// stand-in installers tests/prereq signs with the per-build test CA.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"
#include "system/self_update.h"

namespace nv {
namespace {

std::wstring Signed(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.rfind(L'\\')) + L"\\..\\prereq\\signed\\" + name;
}

TEST(SignedBySameSigner, ASignedBuildHandsOverOnlyToItsOwnSigner) {
  const std::string der = test::ReadAll(Signed(L"test_ca.der")).value_or("");
  ASSERT_FALSE(der.empty()) << "test_ca.der missing";
  ASSERT_TRUE(CertAddEncodedCertificateToSystemStoreW(
      L"Root", reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size())));
  struct Row {
    const wchar_t* running;
    const wchar_t* offered;
    bool swaps;
  };
  const Row rows[] = {
      {L"signed_microsoft.exe", L"signed_microsoft_next.exe", true},
      {L"signed_microsoft.exe", L"unsigned.exe", false},
      {L"signed_microsoft.exe", L"signed_altered.exe", false},
      {L"signed_microsoft.exe", L"signed_other.exe", false},
      {L"signed_microsoft.exe", L"signed_lookalike.exe", false},
      // The same name from another root: another key.
      {L"signed_microsoft.exe", L"signed_untrusted.exe", false},
      {L"signed_microsoft.exe", L"missing.exe", false},
      // A development build, signed by nobody, keeps updating as before.
      {L"unsigned.exe", L"unsigned.exe", true},
      {L"unsigned.exe", L"signed_other.exe", true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(SignedBySameSigner(Signed(row.running), Signed(row.offered)), row.swaps)
        << ToUtf8(row.running) << " -> " << ToUtf8(row.offered);
}

}  // namespace
}  // namespace nv
