#include <windows.h>

#include "bridge/player_texts.h"
#include "net/transfer.h"
#include "prereq/installer_testing.h"
#include "prereq/prerequisites.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/process_start.h"
#include "sync/fs/product_name.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr DWORD kWaitStepMs = 1000;
constexpr std::uint32_t kFurtherWaits = 1800;  // about 30 minutes in all

std::atomic<InstallerDownload> installerDownload{&DownloadUrlToFile};
std::atomic<std::uint32_t> furtherWaits{kFurtherWaits};

bool DownloadInstaller(const std::string& url, const std::wstring& target, TransferProgress& transfer,
                       const std::atomic<bool>& stop) {
  return installerDownload.load()(url, target, transfer, &stop);
}

void DeleteInstaller(const std::wstring& path) { DeleteFileW(path.c_str()); }

// Read and execute stay possible (the signature check, the process start);
// writing, renaming and deleting do not while the handle lives.
UniqueFile HoldInstaller(const std::wstring& path) {
  return UniqueFile(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

void SetInstallerDownloadForTesting(InstallerDownload download) {
  installerDownload = download ? download : &DownloadUrlToFile;
}
void SetInstallerWaitLimitForTesting(std::uint32_t waits) { furtherWaits = waits; }

std::wstring PrerequisiteDownloadFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
  const std::wstring folder = (n == 0 || n > MAX_PATH) ? std::wstring(L"C:\\Windows\\Temp\\")
                                                  : std::wstring(buffer, n);
  return JoinPath(folder, kProductName);
}

bool RunInstaller(const std::wstring& path, const std::wstring& arguments, std::uint32_t& exitCode,
                  std::uint32_t& startError, const std::atomic<bool>& stop,
                  const ReportCallback& report, std::string_view displayName) {
  std::wstring commandLine = L"\"" + path + L"\" " + arguments;
  const std::size_t lastSep = path.rfind(L'\\');
  const std::wstring folder = lastSep == std::wstring::npos ? std::wstring() : path.substr(0, lastSep);

  StartedProcess started = StartProcess(path, commandLine, {folder, true});
  if (!started) {
    startError = started.error;
    return false;
  }
  const UniqueKernelHandle process = std::move(started.process);

  // A running installer is never killed: a half-installed runtime is worse
  // than a launcher that waits. The stop flag only changes the message.
  DWORD wait = WaitForSingleObject(process.get(), kWaitStepMs);
  bool toldFinishing = false;
  const std::uint32_t limit = furtherWaits.load();
  for (std::uint32_t i = 0; wait == WAIT_TIMEOUT && i < limit; ++i) {
    if (stop.load() && !toldFinishing) {
      report(FillText(kRuntimeFinishingText, {displayName}));
      toldFinishing = true;
    }
    wait = WaitForSingleObject(process.get(), kWaitStepMs);
  }

  DWORD code = kInstallerGaveUp;
  if (wait != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) code = kInstallerGaveUp;
  exitCode = code;
  startError = 0;
  return true;
}

bool InstallPrerequisite(std::string_view id, TransferProgress& transfer,
                         const std::atomic<bool>& stop, const ReportCallback& report) {
  const Prerequisite* row = FindPrerequisite(id);
  if (!row) {
    report(UnknownComponentSentence(id));
    return false;
  }
  if (IsPrerequisiteInstalled(id)) return true;
  if (stop.load()) return false;

  const std::wstring folder = PrerequisiteDownloadFolder();
  CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is fine
  const std::wstring installer = JoinPath(folder, row->fileName);

  // The folder is the user's own temporary folder, which the unelevated half
  // of the same user can write: the installer is held open without write or
  // delete sharing from its signature check until its process has started,
  // so the file that runs is the file that was checked.
  UniqueFile held;
  // A leftover from an earlier run is used only while its signature holds.
  if (IsRegularFile(installer)) {
    held = HoldInstaller(installer);
    if (!held || !IsSignedByMicrosoft(installer, held.get())) {
      held.reset();
      DeleteInstaller(installer);
      // A file that failed the check is never started, even when it cannot
      // be deleted (read-only, locked): it would only be run again.
      if (IsRegularFile(installer)) {
        report(DamagedDownloadSentence(*row));
        return false;
      }
    }
  }

  if (!held) {
    report(DownloadingSentence(*row));
    transfer.bytes_done = 0;
    transfer.bytes_total = 0;
    if (!DownloadInstaller(PrerequisiteLink(*row), installer, transfer, stop)) {
      if (stop.load()) return false;
      report(DownloadFailedSentence(*row));
      return false;
    }
    held = HoldInstaller(installer);
    if (!held || !IsSignedByMicrosoft(installer, held.get())) {
      held.reset();
      DeleteInstaller(installer);
      report(DamagedDownloadSentence(*row));
      return false;
    }
  }
  if (stop.load()) return false;

  report(InstallingSentence(*row));
  std::uint32_t exitCode = 0;
  std::uint32_t startError = 0;
  const bool started =
      RunInstaller(installer, row->arguments, exitCode, startError, stop, report, row->name);
  held.reset();
  if (!started) {
    report(StartFailedSentence(*row, startError));
    return false;
  }
  if (InstallerSucceeded(id, IsPrerequisiteInstalled(id), exitCode)) {
    DeleteInstaller(installer);
    report(InstalledSentence(*row, exitCode));
    return true;
  }
  report(SetupFailedSentence(*row, exitCode));
  return false;
}

}  // namespace nv
