// Downloads one manifest file from the test download server with
// DownloadManifestEntry (SHA-256 check included) and prints the time it took.
//   net_download_bench.exe <relative path> <size> <sha256> <target path>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/transfer.h"
#include "nv_config.h"
#include "sync/fs_helpers.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: net_download_bench <relative path> <size> <sha256> <target>\n");
    return 2;
  }
  const std::string relative = nv::ToUtf8(argv[1]);
  const std::int64_t size = _wcstoi64(argv[2], nullptr, 10);
  const std::string sha = nv::ToUtf8(argv[3]);
  const std::wstring target = argv[4];

  nv::TransferProgress progress;
  std::atomic<bool> stop{false};
  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const bool ok = nv::DownloadManifestEntry({nv::BuiltinDownloadBaseUrl()}, relative, target, size, sha, progress, &stop);
  QueryPerformanceCounter(&end);
  const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("%s %.3f\n", ok ? "ok" : "failed", seconds);
  return ok ? 0 : 1;
}
