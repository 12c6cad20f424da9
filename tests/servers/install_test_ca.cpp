// Adds a DER certificate to the Root store of the current Wine prefix (or
// Windows user), so that WinHTTP trusts the test servers' certificates.
//   install_test_ca.exe <ca.der>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "sync/fs/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: install_test_ca <ca.der>\n");
    return 2;
  }
  nv::UniqueFile file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    std::fprintf(stderr, "install_test_ca: cannot open the certificate (err=%lu)\n", GetLastError());
    return 1;
  }
  std::vector<BYTE> der(64 * 1024);
  DWORD read = 0;
  if (!ReadFile(file.get(), der.data(), static_cast<DWORD>(der.size()), &read, nullptr) || read == 0) {
    std::fprintf(stderr, "install_test_ca: cannot read the certificate\n");
    return 1;
  }
  if (!CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), read)) {
    std::fprintf(stderr, "install_test_ca: CertAddEncodedCertificateToSystemStoreW err=%lu\n",
                 GetLastError());
    return 1;
  }
  return 0;
}
