// Authenticode under Wine with a per-build test CA, and the whole install
// flow with signed stand-in installers.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "prereq/installer_testing.h"
#include "prereq/prerequisites.h"
#include "support/registry_cleanup.h"
#include "prereq/staging_support.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {
namespace {

std::wstring Signed(const wchar_t* name) { return test::BesideTestExe(std::wstring(L"signed\\") + name); }

const Prerequisite& Vc() { return *FindPrerequisite("vcredist"); }
const Prerequisite& Dx() { return *FindPrerequisite("directx"); }


// The test CA goes into the prefix's Root store once per run.
class TestCaEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    const std::string der = test::ReadAll(Signed(L"test_ca.der")).value_or("");
    ASSERT_FALSE(der.empty()) << "test_ca.der missing";
    ASSERT_TRUE(CertAddEncodedCertificateToSystemStoreW(
        L"Root", reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size())));
  }
};
const testing::Environment* const kTestCa = testing::AddGlobalTestEnvironment(new TestCaEnvironment);

TEST(IsSignedByMicrosoft, OnlyAnIntactFileSignedWithAMicrosoftNamePasses) {
  EXPECT_TRUE(IsSignedByMicrosoft(Signed(L"signed_microsoft.exe")));
  EXPECT_FALSE(IsSignedByMicrosoft(Signed(L"signed_other.exe")));
  EXPECT_FALSE(IsSignedByMicrosoft(Signed(L"signed_lookalike.exe")));
  EXPECT_FALSE(IsSignedByMicrosoft(Signed(L"unsigned.exe")));
  EXPECT_FALSE(IsSignedByMicrosoft(Signed(L"signed_altered.exe")));
  EXPECT_FALSE(IsSignedByMicrosoft(Signed(L"missing.exe")));
  // Called again and again: the verification state is released every time.
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(IsSignedByMicrosoft(Signed(L"signed_microsoft.exe")));
}

// Trusted by the machine (the rogue root is not, but Wine's WinVerifyTrust
// accepts any root) is not enough: the root must be a pinned one.
TEST(IsSignedByMicrosoft, AMicrosoftNameFromAnUnpinnedRootFails) {
  EXPECT_FALSE(IsSignedByMicrosoft(Signed(L"signed_untrusted.exe")));
}

// Sets an environment variable for the installers started during one test.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
  ~ScopedEnv() { SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
};

// The download stand-in: "fetches" the file named by the test.
const wchar_t* servedFile = L"signed_microsoft.exe";
int downloads = 0;
std::wstring lastTarget;
bool CopyingDownload(std::string_view, const std::wstring& target, TransferProgress& transfer,
                     const std::atomic<bool>*) {
  ++downloads;
  lastTarget = target;
  transfer.bytes_done = 1;
  return CopyFileW(Signed(servedFile).c_str(), target.c_str(), FALSE) != 0;
}

class SignedInstallFlow : public testing::Test {
 protected:
  void SetUp() override {
    downloads = 0;
    servedFile = L"signed_microsoft.exe";
    SetInstallerDownloadForTesting(&CopyingDownload);
    staged = test::StagingFolders();  // earlier runs' leftovers are not this test's
  }
  void TearDown() override {
    SetInstallerDownloadForTesting(nullptr);
    EXPECT_EQ(test::StagingFolders(), staged) << "a staging folder was left behind";
  }
  bool Install(const char* id) {
    return InstallPrerequisite(id, transfer, stop, [this](const std::string& s) { reports.push_back(s); });
  }

  TransferProgress transfer;
  std::atomic<bool> stop{false};
  std::vector<std::string> reports;
  std::vector<std::wstring> staged;
  test::ScopedRegistryKey vc64{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86",
                               KEY_WOW64_64KEY};
  test::ScopedRegistryKey vc32{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86",
                               KEY_WOW64_32KEY};
};

TEST_F(SignedInstallFlow, TheInstallerThatInstallsIsDeletedAfterwards) {
  ScopedEnv installs(L"NV_STANDIN_VC", L"1");
  ScopedEnv code(L"NV_STANDIN_EXIT", L"1603");  // detection wins over the exit code
  EXPECT_TRUE(Install("vcredist"));
  EXPECT_EQ(reports, std::vector<std::string>({DownloadingSentence(Vc()), InstallingSentence(Vc()),
                                               InstalledSentence(Vc(), 0)}));
  EXPECT_EQ(test::StagingFolders(), staged);
}

TEST_F(SignedInstallFlow, VisualCppRestartCodesCountAsSuccessOthersDoNot) {
  const struct {
    const wchar_t* code;
    std::string sentence;
  } vcCodes[] = {
      {L"3010", InstalledSentence(Vc(), 3010)},
      {L"1641", InstalledSentence(Vc(), 1641)},
      {L"1638", InstalledSentence(Vc(), 1638)},
  };
  for (const auto& vc : vcCodes) {
    ScopedEnv code(L"NV_STANDIN_EXIT", vc.code);
    EXPECT_TRUE(Install("vcredist"));
    EXPECT_EQ(reports.back(), vc.sentence);
    EXPECT_EQ(test::StagingFolders(), staged);
  }
  reports.clear();
  {
    ScopedEnv code(L"NV_STANDIN_EXIT", L"5");
    EXPECT_FALSE(Install("vcredist"));
    EXPECT_EQ(reports.back(), SetupFailedSentence(Vc(), 5));
  }
  reports.clear();
  {
    ScopedEnv code(L"NV_STANDIN_EXIT", L"3010");
    EXPECT_FALSE(Install("directx"));
    EXPECT_EQ(reports.back(), SetupFailedSentence(Dx(), 3010));
    EXPECT_EQ(test::StagingFolders(), staged);  // a failed installer goes too
  }
  reports.clear();
  {
    // Nothing is reused: the next try downloads afresh.
    ScopedEnv code(L"NV_STANDIN_EXIT", L"1618");
    const int downloadsBefore = downloads;
    EXPECT_FALSE(Install("directx"));
    EXPECT_EQ(downloads, downloadsBefore + 1);
    EXPECT_EQ(reports, std::vector<std::string>({DownloadingSentence(Dx()), InstallingSentence(Dx()),
                                                 SetupFailedSentence(Dx(), 1618)}));
  }
}

TEST_F(SignedInstallFlow, DamagedOrForeignDownloadsNeverRun) {
  test::TempFolder temp;
  const std::wstring record = temp / L"ran.txt";
  ScopedEnv recordTo(L"NV_STANDIN_RECORD", record.c_str());
  const std::vector<const wchar_t*> untrusted = {L"signed_other.exe", L"signed_lookalike.exe", L"signed_altered.exe",
                                                 L"unsigned.exe", L"signed_untrusted.exe"};
  for (const wchar_t* file : untrusted) {
    reports.clear();
    servedFile = file;
    EXPECT_FALSE(Install("directx"));
    EXPECT_EQ(reports.back(), DamagedDownloadSentence(Dx()));
    EXPECT_EQ(test::StagingFolders(), staged);
  }
  EXPECT_FALSE(IsRegularFile(record)) << "an untrusted installer was started";
}

// The user's own %TEMP%\Norvane (which the unelevated half of the same user
// controls) holding a planted installer and DLL is neither used nor touched:
// the installer runs from a fresh staging folder under the system's Temp.
TEST_F(SignedInstallFlow, TheUsersTempFolderIsNeitherUsedNorTouched) {
  test::TempFolder temp;
  const std::wstring record = temp / L"ran.txt";
  ScopedEnv recordTo(L"NV_STANDIN_RECORD", record.c_str());
  wchar_t buffer[MAX_PATH + 1];
  const std::wstring decoy = JoinPath(std::wstring(buffer, GetTempPathW(MAX_PATH + 1, buffer)), L"Norvane");
  CreateDirectoryW(decoy.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(Signed(L"unsigned.exe").c_str(), (decoy + L"\\dxwebsetup.exe").c_str(), FALSE));
  ASSERT_TRUE(test::WriteTestFile(decoy + L"\\version.dll", "planted"));

  EXPECT_TRUE(Install("directx"));  // the stand-in ends with 0
  const std::wstring ranIn = test::RecordedFolder(record);
  EXPECT_TRUE(ranIn.starts_with(PrerequisiteStagingRoot() + L"\\Norvane-")) << ranIn;
  EXPECT_EQ(downloads, 1);
  EXPECT_EQ(test::ReadAll(decoy + L"\\dxwebsetup.exe"), test::ReadAll(Signed(L"unsigned.exe")));
  EXPECT_EQ(test::ReadAll(decoy + L"\\version.dll"), std::optional<std::string>("planted"));
  DeleteFileW((decoy + L"\\dxwebsetup.exe").c_str());
  DeleteFileW((decoy + L"\\version.dll").c_str());
  RemoveDirectoryW(decoy.c_str());
}

// From the check until the process has started, the installer can be read
// and run but not rewritten, replaced or deleted.
TEST_F(SignedInstallFlow, TheCheckedInstallerCannotBeSwappedBeforeItRuns) {
  bool tried = false;
  DWORD writeError = 0;
  bool deleted = true;
  InstallPrerequisite("directx", transfer, stop, [&](const std::string& line) {
    if (line != InstallingSentence(Dx())) return;
    tried = true;
    const std::wstring installer = lastTarget;
    UniqueFile writer(CreateFileW(installer.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    writeError = writer ? 0 : GetLastError();
    deleted = DeleteFileW(installer.c_str()) != 0;
  });
  ASSERT_TRUE(tried);
  EXPECT_EQ(writeError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(deleted);
}

}  // namespace
}  // namespace nv

namespace nv {
namespace {

// The whole road: the configured Microsoft links on the test download host,
// the resumable download, the signature, the hidden start and the verdict.
class DownloadedInstallFlow : public SignedInstallFlow {
 protected:
  void SetUp() override {
    SignedInstallFlow::SetUp();
    SetInstallerDownloadForTesting(nullptr);  // the real transfer
  }
};

TEST_F(DownloadedInstallFlow, EachRuntimeComesFromItsLink) {
  {
    ScopedEnv installs(L"NV_STANDIN_VC", L"1");
    EXPECT_TRUE(Install("vcredist"));
    EXPECT_EQ(reports.back(), InstalledSentence(Vc(), 0));
    EXPECT_EQ(test::StagingFolders(), staged);  // with the download's .part.tag
    EXPECT_GT(transfer.bytes_total.load(), 0);
    EXPECT_EQ(transfer.bytes_done.load(), transfer.bytes_total.load());
  }
  reports.clear();
  {
    ScopedEnv code(L"NV_STANDIN_EXIT", L"1603");
    EXPECT_FALSE(Install("directx"));
    EXPECT_EQ(reports, std::vector<std::string>({DownloadingSentence(Dx()), InstallingSentence(Dx()),
                                                 SetupFailedSentence(Dx(), 1603)}));
    EXPECT_EQ(test::StagingFolders(), staged);
  }
  reports.clear();
  // The WebView2 link forwards to the bootstrapper, as Microsoft's does.
  EXPECT_TRUE(Install("webview2"));
  EXPECT_EQ(reports.back(), InstalledSentence(*FindPrerequisite("webview2"), 0));
}

}  // namespace
}  // namespace nv
