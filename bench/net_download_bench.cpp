// Downloads one manifest file from the test download server with
// DownloadManifestEntry (SHA-256 check included) and prints the time it took.
//   net_download_bench.exe <relative path> <size> <sha256> <target path>
// With "--raw <relative path>" it only reads the same file through WinHTTP
// in 256 KiB pieces and throws the bytes away: the most this platform's HTTP
// stack delivers, the bound for the launcher's figure. "--steps <relative
// path> <target>" reads, writes and hashes it with each step timed apart.
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/http_client.h"
#include "net/transfer.h"
#include "nv_config.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"

namespace {

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int RawRead(const std::string& relative) {
  LARGE_INTEGER start{}, end{};
  QueryPerformanceCounter(&start);
  nv::RequestHandles handles;
  const std::string url = nv::BuiltinDownloadBaseUrl() + "/" + relative;
  // The first connection after the prefix starts is sometimes refused under
  // Wine; a second try measures the transfer, not that.
  if (!nv::OpenGetRequest(url, L"", 20000, false, handles) &&
      !nv::OpenGetRequest(url, L"", 20000, false, handles)) {
    std::printf("failed 0\n");
    return 1;
  }
  constexpr DWORD kPiece = 256 * 1024;
  std::unique_ptr<char[]> buffer(new char[kPiece]);
  DWORD read = 0;
  while (WinHttpReadData(handles.request.get(), buffer.get(), kPiece, &read) && read) {
  }
  QueryPerformanceCounter(&end);
  std::printf("ok %.3f\n", Seconds(start, end));
  return 0;
}

// Where the launcher's time goes: the same file read through WinHTTP in
// 256 KiB pieces, each piece written to target and hashed, with the time of
// the three steps summed apart.
int Steps(const std::string& relative, const std::wstring& target) {
  nv::RequestHandles handles;
  const std::string url = nv::BuiltinDownloadBaseUrl() + "/" + relative;
  if (!nv::OpenGetRequest(url, L"", 20000, false, handles) && !nv::OpenGetRequest(url, L"", 20000, false, handles)) {
    std::printf("failed 0\n");
    return 1;
  }
  nv::UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  nv::Sha256Stream hash;
  if (!file || !hash.Reset()) return 1;
  constexpr DWORD kPiece = 256 * 1024;
  std::unique_ptr<char[]> buffer(new char[kPiece]);
  LARGE_INTEGER a{}, b{};
  double network = 0, writing = 0, hashing = 0;
  for (;;) {
    DWORD read = 0;
    QueryPerformanceCounter(&a);
    const BOOL ok = WinHttpReadData(handles.request.get(), buffer.get(), kPiece, &read);
    QueryPerformanceCounter(&b);
    network += Seconds(a, b);
    if (!ok || read == 0) break;
    DWORD written = 0;
    WriteFile(file.get(), buffer.get(), read, &written, nullptr);
    QueryPerformanceCounter(&a);
    writing += Seconds(b, a);
    hash.Add(buffer.get(), read);
    QueryPerformanceCounter(&b);
    hashing += Seconds(a, b);
  }
  std::printf("WinHttpReadData %.3f s, WriteFile %.3f s, SHA-256 %.3f s\n", network, writing, hashing);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--raw") return RawRead(nv::ToUtf8(argv[2]));
  if (argc == 4 && std::wstring(argv[1]) == L"--steps") return Steps(nv::ToUtf8(argv[2]), argv[3]);
  if (argc != 5) {
    std::fprintf(stderr, "usage: net_download_bench <relative path> <size> <sha256> <target>\n"
                         "       net_download_bench --raw <relative path>\n");
    return 2;
  }
  const std::string relative = nv::ToUtf8(argv[1]);
  const std::int64_t size = _wcstoi64(argv[2], nullptr, 10);
  const std::string sha = nv::ToUtf8(argv[3]);
  const std::wstring target = argv[4];

  nv::TransferProgress progress;
  std::atomic<bool> stop{false};
  LARGE_INTEGER start{}, end{};
  QueryPerformanceCounter(&start);
  const bool ok = nv::DownloadManifestEntry({nv::BuiltinDownloadBaseUrl()}, relative, target, size, sha, progress, &stop);
  QueryPerformanceCounter(&end);
  std::printf("%s %.3f\n", ok ? "ok" : "failed", Seconds(start, end));
  return ok ? 0 : 1;
}
