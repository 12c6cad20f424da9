// The launcher's side of bench/sync-small-files.sh: many small files of a
// published client set, fetched from the test nginx. Times are measured
// inside the program, without Wine's process start.
//
//   sync_small_bench engine <game folder> <mirror> [warm]
//       SyncContentSets of the client set into an empty folder, as a job runs
//       it (fetch the manifest, scan, download, scan again, save the state).
//       "warm": one request first, off the clock, sets up the process's TLS
//       as the WinHTTP loop's manifest fetch does for it.
//       Prints "ok <seconds> <files> <seconds inside DownloadManifestEntry>
//       <CPU seconds of the process>".
//   sync_small_bench winhttp <mirror> [one|each|client]
//       The platform's bound: the same files' URLs read one after the other
//       on one WinHTTP connection, the bodies thrown away ("one"); "each"
//       opens a connection handle per file, "client" goes through the HTTP
//       client's OpenGetRequest. Prints "ok <seconds> <files> <CPU seconds>".
//   sync_small_bench winhttp <mirror> place <folder>
//       The bound for an engine that keeps its rules: the "one" loop, and each
//       body placed as a new file under <folder> the least way the rules
//       allow (create "<file>.part", write, close, write-through move).
//   sync_small_bench steps <game folder> <mirror>
//       Where an engine's file goes: the per-file path taken apart into its
//       steps, each timed over all files, beside what the platform needs for
//       the same request and for placing a new file. One line per step.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "net/download.h"
#include "net/http_client.h"
#include "net/transfer.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"
#include "sync/manifest.h"
#include "sync/sync_engine.h"
#include "sync/sync_engine_testing.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// CPU seconds (user + kernel) this process has used: unlike the wall time,
// hardly moved by other work on a shared machine.
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto value = [](const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
}

std::string mirror;
std::vector<double> fileSeconds;  // one per file, for the spread on stderr

// The spread of the per-file times: a few slow requests (a stalled
// acknowledgement, a new connection) cost as much as many fast ones.
void PrintSpread(const char* what) {
  if (fileSeconds.empty()) return;
  std::sort(fileSeconds.begin(), fileSeconds.end());
  auto at = [](double share) { return fileSeconds[static_cast<std::size_t>(share * (fileSeconds.size() - 1))] * 1e3; };
  double over10ms = 0;
  for (double t : fileSeconds)
    if (t > 0.010) over10ms += t;
  std::fprintf(stderr, "%s per file: p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.1f ms, %.2f s in files over 10 ms\n",
               what, at(0.5), at(0.9), at(0.99), at(1.0), over10ms);
}

std::vector<std::string> OneMirror() { return {mirror}; }

bool FetchClientManifest(nv::ContentManifest& manifest) {
  std::string text;
  if (!nv::FetchText(mirror + "/client/manifest.txt", text)) return false;
  manifest = nv::ParseManifest(text);
  return manifest.valid;
}

int Engine(const std::wstring& folder, bool warm) {
  nv::SyncSeams& seams = nv::SyncSeamsForTests();
  seams.loadMirrorList = &OneMirror;
  // No download stand-in: the engine fetches small files ahead only when
  // it downloads them itself.
  seams.downloadManifestEntry = nullptr;
  nv::SyncRequest request;
  request.client = true;
  request.busyState = nv::Screen::kInstalling;
  std::string error;
  bool started = false;
  // The process's first HTTPS request loads and sets up TLS (about 0.26 s
  // under Wine): off the clock when compared with the WinHTTP loop, which
  // fetches the manifest before its clock starts. The engine fetches it
  // again on the clock.
  if (warm) {
    nv::ContentManifest manifest;
    FetchClientManifest(manifest);
  }
  const double cpu = CpuSeconds();
  const Clock::time_point start = Clock::now();
  const nv::SyncResult result = nv::SyncContentSets(folder, request, error, started);
  const double seconds = Since(start);
  if (result != nv::kSyncDone) {
    std::printf("failed %d %s\n", static_cast<int>(result), error.c_str());
    return 1;
  }
  std::printf("ok %.3f %d %.3f %.3f\n", seconds, static_cast<int>(nv::filesDone.load()), 0.0, CpuSeconds() - cpu);
  return 0;
}

// Writes one body to "<target>.part" and moves it over target, write-through.
bool PlaceFile(const std::wstring& target, const char* body, DWORD size) {
  nv::CreateParentDirectories(target);
  const std::wstring partial = target + L".part";
  {
    nv::UniqueFile file(CreateFileW(partial.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), body, size, &written, nullptr) || written != size) return false;
  }
  return MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// kind: "one" one connection for every file (the bound); "each" a connection
// handle per file; "client" the HTTP client's OpenGetRequest per file;
// "place" as "one", each body placed as a file below folder.
int BareWinHttp(const std::wstring& kind, const std::wstring& folder) {
  nv::ContentManifest manifest;
  if (!FetchClientManifest(manifest)) {
    std::printf("failed manifest\n");
    return 1;
  }
  // https://host:port/path: one connection to host:port for every file.
  const std::wstring base = nv::FromUtf8(mirror);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(base.c_str(), static_cast<DWORD>(base.size()), 0, &parts)) return 1;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring basePath(parts.lpszUrlPath, parts.dwUrlPathLength);

  constexpr DWORD kPiece = 256 * 1024;
  std::unique_ptr<char[]> buffer(new char[kPiece]);
  const double cpu = CpuSeconds();
  const Clock::time_point start = Clock::now();
  nv::UniqueInternet connect(WinHttpConnect(nv::HttpSession(), host.c_str(), parts.nPort, 0));
  if (!connect) return 1;
  int files = 0;
  for (const nv::ManifestEntry& entry : manifest.entries) {
    const Clock::time_point fileStart = Clock::now();
    const std::wstring path = basePath + L"/client/files/" + nv::FromUtf8(entry.sha256);
    nv::RequestHandles handles;
    if (kind == L"client") {
      nv::OpenGetRequest(mirror + "/client/files/" + entry.sha256, L"", 20000, false, handles);
    } else {
      HINTERNET connection = connect.get();
      if (kind == L"each") {
        handles.connect.reset(WinHttpConnect(nv::HttpSession(), host.c_str(), parts.nPort, 0));
        connection = handles.connect.get();
      }
      handles.request.reset(WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
      if (handles.request &&
          (!WinHttpSendRequest(handles.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
           !WinHttpReceiveResponse(handles.request.get(), nullptr)))
        handles.request.reset();
    }
    if (!handles.request) {
      std::printf("failed request %d\n", files);
      return 1;
    }
    std::uint64_t bytes = 0;
    DWORD read = 0;
    while (bytes < kPiece &&
           WinHttpReadData(handles.request.get(), buffer.get() + bytes, static_cast<DWORD>(kPiece - bytes), &read) &&
           read)
      bytes += read;
    if (bytes != entry.size) {
      std::printf("failed size %d\n", files);
      return 1;
    }
    if (kind == L"place" &&
        !PlaceFile(nv::LongPath(nv::JoinGamePath(folder, entry.path)), buffer.get(), static_cast<DWORD>(bytes))) {
      std::printf("failed placing %d\n", files);
      return 1;
    }
    ++files;
    fileSeconds.push_back(Since(fileStart));
  }
  std::printf("ok %.3f %d %.3f\n", Since(start), files, CpuSeconds() - cpu);
  PrintSpread(kind == L"place" ? "WinHTTP+placing" : "WinHTTP");
  return 0;
}

// The engine's per-file path, step by step, with the same calls in the same
// order as DownloadFileSet / DownloadManifestEntry, beside two references: the
// same request through the HTTP client alone, and the least the platform
// needs to place a new file (create, write, close, write-through move).
int Steps(const std::wstring& folder) {
  nv::ContentManifest manifest;
  if (!FetchClientManifest(manifest)) {
    std::printf("failed manifest\n");
    return 1;
  }
  constexpr DWORD kPiece = 256 * 1024;
  std::unique_ptr<char[]> buffer(new char[kPiece]);
  enum { kFolders, kAttempt, kVerdict, kReplace, kRecord, kRequest, kPlace, kReread, kSteps };
  static const char* const kNames[kSteps] = {
      "engine: parent folders (twice)", "engine: DownloadAttempt (hashing as it writes)",
      "engine: verdict from the running hash", "engine: ReplaceFile (write-through move)",
      "engine: record the verified file", "reference: request + body (OpenGetRequest)",
      "reference: create, write, close, move a file", "reference: Sha256OfFile of the placed file"};
  double seconds[kSteps] = {};
  nv::TransferProgress progress;
  std::atomic<bool> stop{false};
  const std::wstring reference = folder + L"\\reference";
  std::uint64_t fallbacks = 0;
  for (std::size_t i = 0; i < manifest.entries.size(); ++i) {
    const nv::ManifestEntry& entry = manifest.entries[i];
    const std::string url = mirror + "/client/files/" + entry.sha256;
    const std::wstring target = nv::LongPath(nv::JoinGamePath(folder, entry.path));
    nv::CreateParentDirectories(nv::JoinGamePath(reference, entry.path));
    Clock::time_point t = Clock::now();
    nv::CreateParentDirectories(target);
    nv::CreateParentDirectories(target);
    seconds[kFolders] += Since(t);

    const std::wstring partial = target + L".part";
    nv::PartialFileHash running;
    t = Clock::now();
    std::uint64_t received = 0;
    const int result = nv::DownloadAttempt(url, partial, static_cast<std::int64_t>(entry.size), false, progress,
                                           &stop, received, &running);
    seconds[kAttempt] += Since(t);
    if (result != nv::kTransferComplete) {
      std::printf("failed attempt %d\n", result);
      return 1;
    }
    t = Clock::now();
    std::string hash = running.Take();
    if (hash.empty()) {
      ++fallbacks;
      hash = nv::Sha256OfFile(partial, nullptr, &stop);
    }
    seconds[kVerdict] += Since(t);
    if (hash != entry.sha256) {
      std::printf("failed hash\n");
      return 1;
    }
    t = Clock::now();
    if (!nv::ReplaceFile(partial, target, &stop)) return 1;
    seconds[kReplace] += Since(t);
    t = Clock::now();
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data);
    seconds[kRecord] += Since(t);

    t = Clock::now();
    {
      nv::RequestHandles handles;
      if (nv::OpenGetRequest(url, L"", 20000, false, handles)) {
        DWORD read = 0;
        while (WinHttpReadData(handles.request.get(), buffer.get(), kPiece, &read) && read) {
        }
      }
    }
    seconds[kRequest] += Since(t);

    t = Clock::now();
    {
      // A tree of its own with the same folders, so no folder grows larger
      // than the engine's (Wine reads a folder to look up a new name).
      const std::wstring placed = nv::LongPath(nv::JoinGamePath(reference, entry.path));
      {
        nv::UniqueFile file(CreateFileW((placed + L".tmp").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file) WriteFile(file.get(), buffer.get(), static_cast<DWORD>(entry.size), &written, nullptr);
      }
      MoveFileExW((placed + L".tmp").c_str(), placed.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    seconds[kPlace] += Since(t);

    t = Clock::now();
    nv::Sha256OfFile(target, nullptr, &stop);
    seconds[kReread] += Since(t);
  }
  const double files = static_cast<double>(manifest.entries.size());
  for (int i = 0; i < kSteps; ++i)
    std::printf("%-48s %7.3f s  %7.1f us/file\n", kNames[i], seconds[i], seconds[i] * 1e6 / files);
  std::printf("running hash not trusted: %llu file(s)\n", static_cast<unsigned long long>(fallbacks));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"engine" && (argc == 4 || (argc == 5 && std::wstring(argv[4]) == L"warm"))) {
    mirror = nv::ToUtf8(argv[3]);
    return Engine(argv[2], argc == 5);
  }
  if (mode == L"winhttp" && (argc == 3 || argc == 4 || (argc == 5 && std::wstring(argv[3]) == L"place"))) {
    mirror = nv::ToUtf8(argv[2]);
    return BareWinHttp(argc >= 4 ? argv[3] : L"one", argc == 5 ? argv[4] : L"");
  }
  if (mode == L"steps" && argc == 4) {
    mirror = nv::ToUtf8(argv[3]);
    return Steps(argv[2]);
  }
  std::fprintf(stderr,
               "usage: sync_small_bench engine <folder> <mirror> [warm] | winhttp <mirror> [one|each|client|place <folder>] | "
               "steps <folder> <mirror>\n");
  return 2;
}
