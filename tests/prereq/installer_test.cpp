// Running installers and the install flow with a stand-in installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "prereq/installer_testing.h"
#include "prereq/prerequisites.h"
#include "prereq/staging_support.h"
#include "support/registry_cleanup.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"

namespace nv {
namespace {

using test::TempFolder;

const Prerequisite& DirectX() { return *FindPrerequisite("directx"); }

std::wstring StandInInstaller() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.rfind(L'\\') + 1) + L"" NV_STAND_IN_INSTALLER;
}

// Sets an environment variable for the children started during one test.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnv() { SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
};

std::wstring ReadWideFile(const std::wstring& path) {
  const std::string bytes = test::ReadAll(path).value_or("");
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

struct Reports {
  std::vector<std::string> lines;
  ReportCallback callback() {
    return [this](const std::string& line) { lines.push_back(line); };
  }
};

class RunInstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    installer = folder / L"vc_redist.x86.exe";
    ASSERT_TRUE(CopyFileW(StandInInstaller().c_str(), installer.c_str(), FALSE));
  }
  void TearDown() override { SetInstallerWaitLimitForTesting(1800); }
  TempFolder folder;
  std::wstring installer;
  std::atomic<bool> stop{false};
  Reports reports;
};

TEST_F(RunInstallerTest, HiddenInItsOwnFolderWithTheQuotedPath) {
  const std::wstring record = folder / L"record.txt";
  ScopedEnv exitCode(L"NV_STANDIN_EXIT", L"3010");
  ScopedEnv recordTo(L"NV_STANDIN_RECORD", record);
  std::uint32_t code = 1;
  std::uint32_t startError = 99;
  ASSERT_TRUE(RunInstaller(installer, L"/install /quiet /norestart", code, startError, stop,
                           reports.callback(), "Visual C++"));
  EXPECT_EQ(code, 3010u);
  EXPECT_EQ(startError, 0u);
  const std::wstring recorded = ReadWideFile(record);
  EXPECT_EQ(recorded, L"\"" + installer + L"\" /install /quiet /norestart\n" + folder.path() + L"\n0");
  EXPECT_TRUE(reports.lines.empty());
}

TEST_F(RunInstallerTest, GivesUpAfterTheWaitsButNeverKillsTheInstaller) {
  SetInstallerWaitLimitForTesting(1);
  ScopedEnv sleep(L"NV_STANDIN_SLEEP", L"6000");
  stop = true;  // the player closed the launcher: only the message changes
  std::uint32_t code = 0;
  std::uint32_t startError = 0;
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(RunInstaller(installer, L"/Q", code, startError, stop, reports.callback(), DirectX().name));
  EXPECT_LT(GetTickCount64() - start, 4000u);
  EXPECT_EQ(code, kInstallerGaveUp);
  EXPECT_EQ(reports.lines, std::vector<std::string>({FinishingSentence(DirectX())}));
  // Still running: the file cannot be deleted while its process lives.
  EXPECT_FALSE(DeleteFileW(installer.c_str()));
  Sleep(6000);
}

TEST_F(RunInstallerTest, AMissingInstallerReportsItsStartError) {
  std::uint32_t code = 0;
  std::uint32_t startError = 0;
  EXPECT_FALSE(RunInstaller(folder / L"gone.exe", L"/Q", code, startError, stop, reports.callback(), "X"));
  EXPECT_EQ(startError, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

// The download stand-ins for the install flow.
bool FailingDownload(std::string_view, const std::wstring&, TransferProgress&, const std::atomic<bool>*) {
  return false;
}
std::vector<std::string> downloadedUrls;
std::vector<std::wstring> downloadedTargets;
bool UnsignedDownload(std::string_view url, const std::wstring& target, TransferProgress& transfer,
                      const std::atomic<bool>*) {
  downloadedUrls.emplace_back(url);
  downloadedTargets.push_back(target);
  transfer.bytes_done = 2;
  return test::WriteTestFile(target, "MZ");
}

class InstallPrerequisiteTest : public testing::Test {
 protected:
  void SetUp() override {
    downloadedUrls.clear();
    downloadedTargets.clear();
    staged = test::StagingFolders();  // earlier runs' leftovers are not this test's
  }
  void TearDown() override {
    SetInstallerDownloadForTesting(nullptr);
    SetStagingFolderCreateForTesting(nullptr);
    EXPECT_EQ(test::StagingFolders(), staged) << "a staging folder was left behind";
  }
  TransferProgress transfer;
  std::atomic<bool> stop{false};
  Reports reports;
  std::vector<std::wstring> staged;
  test::ScopedRegistryKey vc64{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86",
                               KEY_WOW64_64KEY};
  test::ScopedRegistryKey vc32{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86",
                               KEY_WOW64_32KEY};
};

TEST_F(InstallPrerequisiteTest, UnknownIdPresentRuntimeAndStopRequest) {
  EXPECT_FALSE(InstallPrerequisite("physx", transfer, stop, reports.callback()));
  EXPECT_EQ(reports.lines, std::vector<std::string>({UnknownComponentSentence("physx")}));

  reports.lines.clear();
  ASSERT_TRUE(vc64.SetDword(L"Installed", 1));
  EXPECT_TRUE(InstallPrerequisite("vcredist", transfer, stop, reports.callback()));
  EXPECT_TRUE(reports.lines.empty());  // nothing to do, nothing said

  stop = true;
  EXPECT_FALSE(InstallPrerequisite("directx", transfer, stop, reports.callback()));
  EXPECT_TRUE(reports.lines.empty());
}

TEST_F(InstallPrerequisiteTest, AFailedDownloadIsReportedUnlessStopped) {
  SetInstallerDownloadForTesting(&FailingDownload);
  transfer.bytes_done = 5;
  transfer.bytes_total = 9;
  EXPECT_FALSE(InstallPrerequisite("directx", transfer, stop, reports.callback()));
  EXPECT_EQ(reports.lines,
            std::vector<std::string>({DownloadingSentence(DirectX()), DownloadFailedSentence(DirectX())}));
  EXPECT_EQ(transfer.bytes_done.load(), 0);
  EXPECT_EQ(transfer.bytes_total.load(), 0);

  // A download that announces more than the cap is cut off (the download
  // sees its stop flag raised) and fails.
  reports.lines.clear();
  struct Oversized {
    static bool Download(std::string_view, const std::wstring& target, TransferProgress& t,
                         const std::atomic<bool>* s) {
      t.bytes_total = kMaxInstallerBytes + 1;
      for (int i = 0; i < 200 && !s->load(); ++i) Sleep(10);
      return s->load() ? false : test::WriteTestFile(target, "MZ");
    }
  };
  SetInstallerDownloadForTesting(&Oversized::Download);
  EXPECT_FALSE(InstallPrerequisite("directx", transfer, stop, reports.callback()));
  EXPECT_EQ(reports.lines,
            std::vector<std::string>({DownloadingSentence(DirectX()), DownloadFailedSentence(DirectX())}));

  // A stop during the download ends silently after the first sentence.
  reports.lines.clear();
  static std::atomic<bool>* playerStop = nullptr;
  playerStop = &stop;
  struct StopDuring {
    static bool Download(std::string_view, const std::wstring&, TransferProgress&, const std::atomic<bool>* s) {
      playerStop->store(true);
      for (int i = 0; i < 200 && !s->load(); ++i) Sleep(10);
      return false;
    }
  };
  SetInstallerDownloadForTesting(&StopDuring::Download);
  EXPECT_FALSE(InstallPrerequisite("directx", transfer, stop, reports.callback()));
  EXPECT_EQ(reports.lines, std::vector<std::string>({DownloadingSentence(DirectX())}));
}

// The folder's descriptor reaches CreateDirectoryW; a name that exists
// already is passed over for another.
std::vector<std::wstring> stagingCalls;
bool RecordingCreate(const std::wstring& path, SECURITY_ATTRIBUTES& security) {
  LPWSTR text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(
      security.lpSecurityDescriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      &text, nullptr);
  stagingCalls.push_back(path + L"|" + (text ? text : L"") + L"|" + (security.bInheritHandle ? L"1" : L"0"));
  LocalFree(text);
  if (stagingCalls.size() == 1) {  // taken by someone else
    CreateDirectoryW(path.c_str(), nullptr);
    return false;
  }
  return CreateDirectoryW(path.c_str(), &security) != 0;
}

TEST_F(InstallPrerequisiteTest, AnUnsignedInstallerIsDeletedBeforeItCanRunFromItsOwnFolder) {
  stagingCalls.clear();
  SetStagingFolderCreateForTesting(&RecordingCreate);
  SetInstallerDownloadForTesting(&UnsignedDownload);
  EXPECT_FALSE(InstallPrerequisite("directx", transfer, stop, reports.callback()));
  EXPECT_EQ(reports.lines,
            std::vector<std::string>({DownloadingSentence(DirectX()), DamagedDownloadSentence(DirectX())}));
  ASSERT_EQ(downloadedUrls.size(), 1u);
  EXPECT_TRUE(downloadedUrls[0].ends_with("/download/1/7/1/1718CCC4-6315-4D8E-9543-8E28A4E18C4C/dxwebsetup.exe"));
  EXPECT_FALSE(IsRegularFile(downloadedTargets[0]));

  ASSERT_EQ(stagingCalls.size(), 2u);
  const std::wstring taken = stagingCalls[0].substr(0, stagingCalls[0].find(L'|'));
  const std::wstring used = stagingCalls[1].substr(0, stagingCalls[1].find(L'|'));
  EXPECT_NE(taken, used);
  EXPECT_EQ(downloadedTargets[0], used + L"\\dxwebsetup.exe");
  EXPECT_EQ(stagingCalls[1], used + L"|O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)|0");
  EXPECT_TRUE(IsFolder(taken)) << "someone else's folder is left alone";
  RemoveDirectoryW(taken.c_str());
}

}  // namespace
}  // namespace nv
