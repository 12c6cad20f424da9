// Benchmarks of the content code (not tests: figures to read, no pass/fail).
//
//   sync_bench scan [files]     start-up check of an unchanged installation
//                               (10,000 files): ScanFiles against a bare
//                               attribute-query loop over the same files.
//   sync_bench verify [MiB]     full verification (2048 MiB of mixed sizes):
//                               ScanFiles with verifyAll against a minimal
//                               BCrypt SHA-256 loop over the same files.
//   sync_bench memory [entries] peak working set after parsing a generated
//                               manifest and file-state text (100,000 entries)
//                               and planning the downloads against them.
//   sync_bench workingset <exe> working set of the running process with that
//                               image name, as this platform reports it.
// Every figure also comes as one "row" line of tab-separated columns
// (measure, launcher, peer, ratio, target) for bench/run's table.
#include <windows.h>
#include <bcrypt.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "sync/manifest.h"
#include "sync/scan.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void PrintRow(const std::string& measure, const char* launcher, const char* peer, double ratio,
              const char* target) {
  char ratioText[32] = "-";
  if (ratio > 0) std::snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
  std::printf("row\t%s\t%s\t%s\t%s\t%s\n", measure.c_str(), launcher, peer, ratioText, target);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::wstring MakeWorkFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder = std::wstring(temp, n) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void RemoveFiles(const std::wstring& folder, const nv::ContentManifest& manifest) {
  for (const auto& entry : manifest.entries) DeleteFileW(nv::JoinGamePath(folder, entry.path).c_str());
  for (int d = 0; d < 1000; ++d)
    RemoveDirectoryW((folder + L"\\d" + std::to_wstring(d)).c_str());
  DeleteFileW((folder + L"\\launcher_state.txt").c_str());
  RemoveDirectoryW(folder.c_str());
}

bool WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes, std::size_t size) {
  if (!nv::CreateParentDirectories(path)) return false;
  nv::UniqueFile file(CreateFileW(nv::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::size_t done = 0;
  while (done < size) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), size - done));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), piece, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// Files with the given sizes under folder; the manifest gets their real
// hashes from one verifying scan, which also fills state.
nv::ContentManifest MakeInstallation(const std::wstring& folder, const std::vector<std::size_t>& sizes,
                                     nv::FileState& state) {
  std::vector<unsigned char> bytes(4 * 1024 * 1024);
  unsigned seed = 12345;
  for (auto& b : bytes) b = static_cast<unsigned char>((seed = seed * 1103515245 + 12345) >> 16);
  nv::ContentManifest manifest;
  manifest.version = "bench";
  manifest.valid = true;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    nv::ManifestEntry entry;
    entry.path = "d" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".dat";
    entry.size = sizes[i];
    entry.sha256 = std::string(64, '0');
    bytes[0] = static_cast<unsigned char>(i);  // every file differs
    bytes[1] = static_cast<unsigned char>(i >> 8);
    if (!WriteBytes(nv::JoinGamePath(folder, entry.path), bytes, sizes[i])) {
      std::fprintf(stderr, "cannot write %s\n", entry.path.c_str());
      std::exit(1);
    }
    manifest.entries.push_back(std::move(entry));
  }
  nv::ScanFiles(folder, manifest, state, true, nullptr, nullptr);
  for (auto& entry : manifest.entries) entry.sha256 = nv::FindFileStateEntry(state, entry.path)->sha256;
  return manifest;
}

int Scan(std::size_t count) {
  const std::wstring folder = MakeWorkFolder(L"nvbench-scan-");
  nv::FileState state;
  const nv::ContentManifest manifest =
      MakeInstallation(folder, std::vector<std::size_t>(count, 1024), state);
  nv::SaveFileState(folder, state);

  std::vector<std::wstring> paths;
  for (const auto& entry : manifest.entries) paths.push_back(nv::LongPath(nv::JoinGamePath(folder, entry.path)));

  double bestScan = 1e9, bestBare = 1e9;
  std::int64_t hashedBytes = 0;
  std::size_t toDownload = 0;
  for (int round = 0; round < 5; ++round) {
    auto start = Clock::now();
    std::size_t present = 0;
    for (const auto& path : paths) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) ++present;
    }
    bestBare = std::min(bestBare, Seconds(start));
    if (present != paths.size()) std::fprintf(stderr, "files missing\n");

    // As at a start: the state comes from disk, then the scan.
    start = Clock::now();
    nv::FileState loaded = nv::LoadFileState(folder);
    std::atomic<std::int64_t> hashed{0};
    toDownload = nv::ScanFiles(folder, manifest, loaded, false, &hashed, nullptr).size();
    bestScan = std::min(bestScan, Seconds(start));
    hashedBytes += hashed.load();
  }
  std::printf("scan: %zu unchanged files; ScanFiles (with LoadFileState) %.1f ms, bare attribute loop "
              "%.1f ms, ratio %.2f (target <= 1.5); bytes hashed %lld (files hashed: %s); to "
              "download %zu\n",
              count, bestScan * 1000, bestBare * 1000, bestScan / bestBare,
              static_cast<long long>(hashedBytes), hashedBytes == 0 ? "0" : "some", toDownload);
  PrintRow("start-up check, " + std::to_string(count) + " unchanged files vs GetFileAttributesEx loop",
           Format("%.0f ms", bestScan * 1000).c_str(), Format("%.0f ms", bestBare * 1000).c_str(),
           bestScan / bestBare, "<= 1.5 (time)");
  RemoveFiles(folder, manifest);
  return 0;
}

std::string MinimalSha256(const std::wstring& path, std::vector<unsigned char>& buffer) {
  static BCRYPT_ALG_HANDLE algorithm = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    return h;
  }();
  nv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  nv::UniqueBCryptHash hash;
  if (!file || BCryptCreateHash(algorithm, hash.put(), nullptr, 0, nullptr, 0, 0) != 0) return {};
  DWORD got = 0;
  while (ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got)
    BCryptHashData(hash.get(), buffer.data(), got, 0);
  unsigned char digest[32];
  BCryptFinishHash(hash.get(), digest, sizeof digest, 0);
  return std::string(reinterpret_cast<char*>(digest), 32);
}

int Verify(std::size_t mib) {
  // Mixed sizes: many small files, some medium, a few large, up to the total.
  const std::size_t pattern[] = {4 << 10, 64 << 10, 300 << 10, 1 << 20, 5 << 20, 17 << 20, 64 << 20};
  std::vector<std::size_t> sizes;
  std::size_t total = 0;
  for (std::size_t i = 0; total < mib * 1048576; ++i) {
    const std::size_t size = std::min(pattern[i % 7], mib * 1048576 - total);
    sizes.push_back(size);
    total += size;
  }
  const std::wstring folder = MakeWorkFolder(L"nvbench-verify-");
  nv::FileState state;
  const nv::ContentManifest manifest = MakeInstallation(folder, sizes, state);
  std::vector<unsigned char> buffer(4 * 1024 * 1024);

  // Best of three rounds each, alternating which goes first, so that cache
  // state and other load on the machine hit both alike.
  double bestMinimal = 1e9, bestScan = 1e9;
  for (int round = 0; round < 6; ++round) {
    const auto start = Clock::now();
    if ((round % 4 == 0) || (round % 4 == 3)) {
      for (const auto& entry : manifest.entries)
        MinimalSha256(nv::JoinGamePath(folder, entry.path), buffer);
      bestMinimal = std::min(bestMinimal, Seconds(start));
    } else {
      std::atomic<std::int64_t> hashed{0};
      const auto bad = nv::ScanFiles(folder, manifest, state, true, &hashed, nullptr);
      bestScan = std::min(bestScan, Seconds(start));
      if (!bad.empty() || hashed.load() != static_cast<std::int64_t>(total))
        std::fprintf(stderr, "verify: unexpected result\n");
    }
  }
  const double mibTotal = static_cast<double>(total) / 1048576;
  std::printf("verify: %zu files, %.0f MiB; ScanFiles(verifyAll) %.0f MiB/s, minimal BCrypt loop "
              "%.0f MiB/s, ratio %.3f (target >= 0.95)\n",
              sizes.size(), mibTotal, mibTotal / bestScan, mibTotal / bestMinimal,
              bestMinimal / bestScan);
  PrintRow("full verification, " + Format("%.0f", mibTotal) + " MiB vs minimal BCrypt SHA-256 loop",
           Format("%.0f MiB/s", mibTotal / bestScan).c_str(), Format("%.0f MiB/s", mibTotal / bestMinimal).c_str(),
           bestMinimal / bestScan, ">= 0.95");
  RemoveFiles(folder, manifest);
  return 0;
}

double PeakWorkingSetMB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.PeakWorkingSetSize) / 1e6;
}

std::string EntryPath(std::size_t i) {
  return "data/folder" + std::to_string(i % 300) + "/texture_" + std::to_string(i) + ".dds";
}

std::string EntryHash(std::size_t i) {
  char hash[65];
  std::snprintf(hash, sizeof hash, "%064zx", i * 2654435761u);
  return hash;
}

// As in a sync: the manifest text lives until it is parsed, then the state
// file is loaded from disk (LoadFileState reads and parses it in pieces);
// the manifest and the state stay, and the scan plans the downloads against
// them. The state file is written first, before anything is measured
// against it. The plan's disk answers are made up (no 100,000 files are
// written): one file in four is missing, one in ten of the rest has a new
// time and hashes differently, the others are as the state remembers them.
int Memory(std::size_t entries) {
  const double baseline = PeakWorkingSetMB();
  const std::wstring folder = MakeWorkFolder(L"nvbench-memory-");
  {
    std::string text = "version|bench\n";
    text.reserve(entries * 130);
    for (std::size_t i = 0; i < entries; ++i)
      text += EntryPath(i) + "|" + std::to_string(1000 + i) + "|133500000000000000|" + EntryHash(i) + "\n";
    nv::UniqueFile file(CreateFileW((folder + L"\\launcher_state.txt").c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
      std::fprintf(stderr, "cannot write the state file\n");
  }
  nv::ContentManifest manifest;
  std::size_t manifestBytes = 0;
  {
    std::string text = "version|bench\ncount|" + std::to_string(entries) + "\n";
    text.reserve(entries * 110);
    for (std::size_t i = 0; i < entries; ++i)
      text += EntryPath(i) + "|" + std::to_string(1000 + i) + "|" + EntryHash(i) + "\n";
    manifestBytes = text.size();
    manifest = nv::ParseManifest(text);
  }
  nv::FileState state = nv::LoadFileState(folder);
  const std::size_t stateEntries = state.entries().size();
  nv::ScanProbe probe;
  probe.query = [&state](const std::string& path) -> std::optional<nv::FileFacts> {
    const std::size_t i = std::strtoull(path.c_str() + path.rfind('_') + 1, nullptr, 10);
    if (i % 4 == 0) return std::nullopt;
    const nv::FileStateEntry* known = nv::FindFileStateEntry(state, path);
    if (!known) return std::nullopt;
    return nv::FileFacts{static_cast<std::uint64_t>(known->size), known->mtime + (i % 10 == 1 ? 1 : 0)};
  };
  probe.hash = [](const std::string&) { return std::string(64, 'f'); };
  const std::size_t planned = nv::ScanWithProbe(manifest, state, false, nullptr, probe).size();
  const double peak = PeakWorkingSetMB();
  std::printf("memory: %zu-entry manifest (%zu KiB text, valid %d), state file (%zu entries "
              "loaded) and a plan of %zu downloads: peak working set %.1f MB (target <= 64 MB); "
              "%.1f MB at the start (the process under Wine)\n",
              entries, manifestBytes / 1024, manifest.valid ? 1 : 0, stateEntries, planned, peak, baseline);
  PrintRow("peak working set, " + std::to_string(entries) + "-entry manifest + state, parse + plan (" +
               Format("%.1f MB", baseline) + " at process start)",
           Format("%.1f MB", peak).c_str(), "-", 0, "<= 64 MB");
  DeleteFileW((folder + L"\\launcher_state.txt").c_str());
  RemoveDirectoryW(folder.c_str());
  return 0;
}

// The running process named image (the first one found): its working set as
// this platform reports it through GetProcessMemoryInfo.
int WorkingSet(const std::string& image) {
  nv::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    std::printf("failed snapshot\n");
    return 1;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const std::wstring wanted(image.begin(), image.end());
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, wanted.c_str()) != 0) continue;
    nv::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!process || !GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                          sizeof counters)) {
      std::printf("failed query %lu\n", GetLastError());
      return 1;
    }
    std::printf("ok %llu %llu %llu\n", static_cast<unsigned long long>(counters.WorkingSetSize),
                static_cast<unsigned long long>(counters.PeakWorkingSetSize),
                static_cast<unsigned long long>(counters.PrivateUsage));
    return 0;
  }
  std::printf("failed no such process\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const long long n = argc > 2 ? std::atoll(argv[2]) : 0;
  if (mode == "scan") return Scan(n > 0 ? static_cast<std::size_t>(n) : 10000);
  if (mode == "verify") return Verify(n > 0 ? static_cast<std::size_t>(n) : 2048);
  if (mode == "memory") return Memory(n > 0 ? static_cast<std::size_t>(n) : 100000);
  if (mode == "workingset" && argc == 3) return WorkingSet(argv[2]);
  std::fprintf(stderr, "usage: sync_bench scan|verify|memory [count] | workingset <exe name>\n");
  return 2;
}
