#include "prereq/prerequisite_table.h"

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

std::string Name(const Prerequisite& row) { return row.name; }

}  // namespace

const std::vector<Prerequisite>& PrerequisiteTable() {
  static const std::vector<Prerequisite> table = {
      {"vcredist", "Visual C++ 2015-2022 Runtime (x86)", "/vs/17/release/vc_redist.x86.exe",
       L"vc_redist.x86.exe", L"/install /quiet /norestart"},
      {"directx", "DirectX 9.0c Runtime",
       "/download/1/7/1/1718CCC4-6315-4D8E-9543-8E28A4E18C4C/dxwebsetup.exe", L"dxwebsetup.exe",
       L"/Q"},
      {"webview2", "Microsoft Edge WebView2 Runtime", "/fwlink/p/?LinkId=2124703",
       L"MicrosoftEdgeWebview2Setup.exe", L"/silent /install"},
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
  return "Unknown component: " + std::string(id);
}

std::string DownloadingSentence(const Prerequisite& row) { return "Downloading " + Name(row) + "..."; }

std::string DownloadFailedSentence(const Prerequisite& row) {
  return "Could not download " + Name(row) + ". Check your internet connection.";
}

std::string DamagedDownloadSentence(const Prerequisite& row) {
  return "The " + Name(row) + " download is damaged. Please try again.";
}

std::string InstallingSentence(const Prerequisite& row) { return "Installing " + Name(row) + "..."; }

std::string FinishingSentence(const Prerequisite& row) {
  return "Finishing " + Name(row) + " setup, please wait...";
}

std::string StartFailedSentence(const Prerequisite& row, std::uint32_t startError) {
  if (startError == kErrorVirusInfected || startError == kErrorVirusDeleted ||
      startError == kErrorAccessDenied || startError == kErrorFileNotFound) {
    return "Your antivirus blocked the " + Name(row) + " installer. Allow it and try again.";
  }
  return "Could not start the " + Name(row) + " installer (error " + std::to_string(startError) + ").";
}

std::string InstalledSentence(const Prerequisite& row, std::uint32_t exitCode) {
  if (std::string_view(row.id) == "vcredist" &&
      (exitCode == kRestartRequired || exitCode == kRestartStarted)) {
    return Name(row) + " installed (Windows asks for a restart later).";
  }
  return Name(row) + " installed.";
}

std::string SetupFailedSentence(const Prerequisite& row, std::uint32_t exitCode) {
  if (exitCode == kInstallerGaveUp)
    return "The " + Name(row) + " installer did not finish. Please restart your PC and try again.";
  if (exitCode == kErrorInstallAlreadyRunning)
    return "Another installation is running in Windows. Wait for it to finish, then try again.";
  return Name(row) + " setup failed (code " + std::to_string(exitCode) + ").";
}

}  // namespace nv
