#include <windows.h>
#include <sddl.h>

#include <thread>
#include <vector>

#include "bridge/player_texts.h"
#include "net/transfer.h"
#include "prereq/installer_testing.h"
#include "prereq/prerequisites.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/process_start.h"
#include "sync/fs/retry.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr DWORD kWaitStepMs = 1000;
constexpr std::uint32_t kFurtherWaits = 1800;  // about 30 minutes in all

std::atomic<InstallerDownload> installerDownload{&DownloadUrlToFile};
std::atomic<std::uint32_t> furtherWaits{kFurtherWaits};

bool CreateStagingDirectory(const std::wstring& path, SECURITY_ATTRIBUTES& security) {
  return CreateDirectoryW(path.c_str(), &security) != 0;
}
std::atomic<StagingFolderCreate> stagingFolderCreate{&CreateStagingDirectory};

bool OverCap(const TransferProgress& transfer) {
  return transfer.bytes_done.load() > kMaxInstallerBytes || transfer.bytes_total.load() > kMaxInstallerBytes;
}

// The download runs under a stop flag of its own, raised by the player's
// stop or by a watcher once the size announced or received passes the cap.
// False for an oversized download as for a failed one.
bool DownloadInstaller(const std::string& url, const std::wstring& target, TransferProgress& transfer,
                       const std::atomic<bool>& stop) {
  std::atomic<bool> stopDownload{false};
  std::atomic<bool> done{false};
  std::thread watcher;
  try {
    watcher = std::thread([&] {
      while (!done.load()) {
        if (stop.load() || OverCap(transfer)) stopDownload = true;
        Sleep(50);
      }
    });
  } catch (...) {
    return false;  // no watcher, no download
  }
  bool ok = installerDownload.load()(url, target, transfer, &stopDownload);
  done = true;
  watcher.join();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (ok && (OverCap(transfer) || !GetFileAttributesExW(LongPath(target).c_str(), GetFileExInfoStandard, &data) ||
             ((static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) > kMaxInstallerBytes)) {
    ok = false;
  }
  return ok;
}

// Read and execute stay possible (the signature check, the process start);
// writing, renaming and deleting do not while the handle lives.
UniqueFile HoldInstaller(const std::wstring& path) {
  return UniqueFile(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A folder of one install's own, made fresh with kStagingFolderSddl so that
// nobody but Administrators and SYSTEM can put a DLL beside the installer,
// swap it or re-point the folder. A name that already exists (whatever it
// is: a folder, a file, a link) is never used; another name is tried. The
// folder is held open without delete sharing while it is in use, and goes
// with its installer when this object does: nothing is ever reused.
class StagingFolder {
 public:
  bool Create() {
    const std::wstring root = PrerequisiteStagingRoot();
    if (root.empty()) return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kStagingFolderSddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
      return false;
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t seed = static_cast<std::uint64_t>(counter.QuadPart) ^
                         (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    bool made = false;
    for (int attempt = 0; attempt < 16 && !made; ++attempt) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      path_ = JoinPath(root, StagingFolderName(seed));
      made = stagingFolderCreate.load()(path_, security);
    }
    LocalFree(descriptor);
    if (!made) {
      path_.clear();
      return false;
    }
    // Opened as itself, not through a link: what was made must be a plain
    // folder.
    held_.reset(CreateFileW(LongPath(path_).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!held_ || !GetFileInformationByHandle(held_.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      held_.reset();
      path_.clear();
      return false;
    }
    return true;
  }
  const std::wstring& path() const { return path_; }
  // Remembers a file to delete with the folder.
  std::wstring File(std::wstring_view name) {
    files_.push_back(JoinPath(path_, std::wstring(name)));
    return files_.back();
  }
  ~StagingFolder() {
    if (path_.empty()) return;
    held_.reset();
    for (const std::wstring& file : files_) {
      DeleteFileW(LongPath(file).c_str());
      DeleteFileW(LongPath(file + L".part").c_str());
      DeleteFileW(LongPath(file + L".part.tag").c_str());
    }
    const std::wstring folder = LongPath(path_);
    RetryWhileLocked(
        kStagingFolderRetry.attempts,
        [&] {
          // Our own folder that nobody else can open: any failure is the
          // ended installer still letting go, worth another try.
          return RemoveDirectoryW(folder.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ? TryResult::kDone
                                                                                           : TryResult::kLocked;
        },
        [] { Sleep(kStagingFolderRetry.pauseMs); });
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
  UniqueFile held_;
};

}  // namespace

void SetInstallerDownloadForTesting(InstallerDownload download) {
  installerDownload = download ? download : &DownloadUrlToFile;
}
void SetInstallerWaitLimitForTesting(std::uint32_t waits) { furtherWaits = waits; }
void SetStagingFolderCreateForTesting(StagingFolderCreate create) {
  stagingFolderCreate = create ? create : &CreateStagingDirectory;
}

std::wstring PrerequisiteStagingRoot() {
  wchar_t buffer[MAX_PATH];
  const UINT n = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return JoinPath(std::wstring(buffer, n), L"Temp");
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

  // Not the user's %TEMP%: see PrerequisiteStagingRoot and StagingFolder.
  StagingFolder staging;
  if (!staging.Create()) {
    report(DownloadFailedSentence(*row));
    return false;
  }
  const std::wstring installer = staging.File(row->fileName);

  report(DownloadingSentence(*row));
  transfer.bytes_done = 0;
  transfer.bytes_total = 0;
  if (!DownloadInstaller(PrerequisiteLink(*row), installer, transfer, stop)) {
    if (stop.load()) return false;
    report(DownloadFailedSentence(*row));
    return false;
  }
  // Held open without write or delete sharing from its signature check until
  // its process has started, so the file that runs is the file that was
  // checked.
  UniqueFile held = HoldInstaller(installer);
  if (!held || !IsSignedByMicrosoft(installer, held.get())) {
    report(DamagedDownloadSentence(*row));
    return false;
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
    report(InstalledSentence(*row, exitCode));
    return true;
  }
  report(SetupFailedSentence(*row, exitCode));
  return false;
}

}  // namespace nv
