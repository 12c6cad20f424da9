#include "prereq/prerequisite_table.h"

#include "bridge/player_texts.h"
#include "nv_config.h"

namespace nv {

namespace {

// Windows error numbers, spelled out: this file includes no Windows header.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorVirusInfected = 225;
constexpr std::uint32_t kErrorVirusDeleted = 226;
constexpr std::uint32_t kErrorInstallAlreadyRunning = 1618;
constexpr std::uint32_t kVcNewerInstalled = 1638;
constexpr std::uint32_t kRestartRequired = 3010;
constexpr std::uint32_t kRestartStarted = 1641;

// A sentence about the runtime, with a Windows or installer code when it has one.
std::string WithName(const char* pattern, const Prerequisite& row) {
  return FillText(pattern, {row.name});
}

std::string WithName(const char* pattern, const Prerequisite& row, std::uint32_t code) {
  return FillText(pattern, {row.name, std::to_string(code)});
}

}  // namespace

const std::vector<Prerequisite>& PrerequisiteTable() {
  static const std::vector<Prerequisite> table = {
      {"vcredist", kVcRedistName, "/vs/17/release/vc_redist.x86.exe", L"vc_redist.x86.exe",
       L"/install /quiet /norestart"},
      {"directx", kDirectXName,
       "/download/1/7/1/1718CCC4-6315-4D8E-9543-8E28A4E18C4C/dxwebsetup.exe", L"dxwebsetup.exe",
       L"/Q"},
      {"webview2", kWebView2Name, "/fwlink/p/?LinkId=2124703", L"MicrosoftEdgeWebview2Setup.exe",
       L"/silent /install"},
  };
  return table;
}

const Prerequisite* FindPrerequisite(std::string_view id) {
  for (const Prerequisite& row : PrerequisiteTable())
    if (id == row.id) return &row;
  return nullptr;
}

std::string PrerequisiteLink(const Prerequisite& row) {
  const std::string_view id = row.id;
  const char* host = id == "vcredist"  ? config::kVcRedistHost
                     : id == "directx" ? config::kDirectXHost
                                       : config::kWebView2Host;
  return std::string(host) + row.linkPath;
}

bool InstallerSucceeded(std::string_view id, bool presentNow, std::uint32_t exitCode) {
  if (presentNow || exitCode == 0) return true;
  return id == "vcredist" &&
         (exitCode == kVcNewerInstalled || exitCode == kRestartRequired || exitCode == kRestartStarted);
}

std::string UnknownComponentSentence(std::string_view id) {
  return FillText(kUnknownComponentText, {id});
}

std::string DownloadingSentence(const Prerequisite& row) { return WithName(kRuntimeDownloadingText, row); }

std::string DownloadFailedSentence(const Prerequisite& row) {
  return WithName(kRuntimeDownloadFailedText, row);
}

std::string DamagedDownloadSentence(const Prerequisite& row) { return WithName(kRuntimeDamagedText, row); }

std::string InstallingSentence(const Prerequisite& row) { return WithName(kRuntimeInstallingText, row); }

std::string FinishingSentence(const Prerequisite& row) { return WithName(kRuntimeFinishingText, row); }

std::string StartFailedSentence(const Prerequisite& row, std::uint32_t startError) {
  if (startError == kErrorVirusInfected || startError == kErrorVirusDeleted ||
      startError == kErrorAccessDenied || startError == kErrorFileNotFound) {
    return WithName(kRuntimeBlockedText, row);
  }
  return WithName(kRuntimeStartFailedText, row, startError);
}

std::string InstalledSentence(const Prerequisite& row, std::uint32_t exitCode) {
  if (std::string_view(row.id) == "vcredist" &&
      (exitCode == kRestartRequired || exitCode == kRestartStarted)) {
    return WithName(kRuntimeInstalledRestartText, row);
  }
  return WithName(kRuntimeInstalledText, row);
}

std::string SetupFailedSentence(const Prerequisite& row, std::uint32_t exitCode) {
  if (exitCode == kInstallerGaveUp) return WithName(kRuntimeGaveUpText, row);
  if (exitCode == kErrorInstallAlreadyRunning) return kOtherSetupRunningText;
  return WithName(kRuntimeSetupFailedText, row, exitCode);
}

bool IsPinnedSigningRoot(std::string_view sha1Hex) {
  // Microsoft's root certificates as its PKI repository lists them
  // (https://www.microsoft.com/pkiops/docs/repository.htm), by SHA-1
  // thumbprint. Trusting whatever the machine's Root store holds would let
  // anyone who added a root there (or a public CA's "Microsoft Corporation"
  // look-alike) have an installer run elevated.
  static constexpr std::string_view kRoots[] = {
      "CDD4EEAE6000AC7F40C3802C171E30148030C072",  // Microsoft Root Certificate Authority
      "3B1EFD3A66EA28B16697394703A72CA340A05BD5",  // Microsoft Root Certificate Authority 2010
      "8F43288AD272F3103B6FB1428485EA3014C0BCFE",  // Microsoft Root Certificate Authority 2011
      "A43489159A520F0D93D032CCAF37E7FE20A8B419",  // Microsoft Root Authority
#ifdef NV_TEST_SIGNING_ROOT_SHA1
      NV_TEST_SIGNING_ROOT_SHA1,  // the test builds' own root (tests/prereq)
#endif
  };
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (std::string_view root : kRoots) {
    if (root.size() != sha1Hex.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < root.size() && same; ++i) same = upper(sha1Hex[i]) == root[i];
    if (same) return true;
  }
  return false;
}

std::wstring StagingFolderName(std::uint64_t seed) {
  std::wstring name = L"Norvane-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(seed >> shift) & 0xF];
  return name;
}

}  // namespace nv
