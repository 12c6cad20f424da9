// sync_e2e <game folder> <mirror base URL> <client|client+hd>
// One sync of the launcher's engine against a real download server (the
// test nginx serving a tree written by tools/publish), for
// scripts/suites/sync-e2e.sh. Prints one line:
//   result=<0|1|2> started=<0|1> downloaded=<files> error=<text>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/transfer.h"
#include "sync/fs_helpers.h"
#include "sync/sync_engine.h"

namespace {

std::string mirror;
int downloads = 0;

std::vector<std::string> OneMirror() { return {mirror}; }

// The real transfer, counted.
bool CountedDownload(const std::vector<std::string>& mirrors, std::string_view relativePath,
                     const std::wstring& target, std::int64_t size, std::string_view sha256,
                     nv::TransferProgress& progress, const std::atomic<bool>* stopFlag) {
  ++downloads;
  return nv::DownloadManifestEntry(mirrors, relativePath, target, size, sha256, progress, stopFlag);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: sync_e2e <folder> <mirror> <client|client+hd>\n");
    return 2;
  }
  mirror = nv::ToUtf8(argv[2]);
  nv::SyncSeams& seams = nv::SyncSeamsForTests();
  seams.loadMirrorList = &OneMirror;
  seams.downloadManifestEntry = &CountedDownload;

  nv::SyncRequest request;
  request.client = true;
  request.hd = std::wstring(argv[3]) == L"client+hd";
  request.busyState = "updating";
  request.showFileList = true;
  std::string error;
  bool started = false;
  const nv::SyncResult result = nv::SyncContentSets(argv[1], request, error, started);
  std::printf("result=%d started=%d downloaded=%d error=%s\n", static_cast<int>(result),
              started ? 1 : 0, downloads, error.c_str());
  return 0;
}
