// The jobs end to end, each started as the page starts it (StartJob with a
// real main window) against the test nginx serving trees written by
// tools/publish; driven by scripts/suites/jobs-e2e.sh, which sets:
//   NV_E2E_MIRROR1, NV_E2E_MIRROR2  version 1, and version 2 with two files changed
//   NV_E2E_WORK                     a fresh work folder (Windows path)
//   NV_E2E_CLIENT_TOTAL, NV_E2E_HD_TOTAL, NV_E2E_CLIENT_FILES
// The cases run in order on one game folder, as a player would.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "jobs/jobs.h"
#include "prereq/installer_testing.h"
#include "prereq/prerequisites.h"
#include "support/page_recorder.h"
#include "support/registry_cleanup.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "sync/file_state.h"
#include "sync/fs/folder_security.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/game_folder_testing.h"
#include "sync/fs/unique_handle.h"
#include "sync/sync_engine.h"
#include "sync/sync_engine_testing.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"

namespace nv {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string mirror;  // what the mirror list loads
std::vector<std::string> OneMirror() { return {mirror}; }
// The player cancels as the job asks for the mirrors.
std::vector<std::string> CancelThenOneMirror() {
  RequestStop(kStopCancel);
  return {mirror};
}

std::wstring Work() { return FromUtf8(Env("NV_E2E_WORK")); }
std::wstring Game() { return Work() + L"\\game"; }
std::wstring InGame(const wchar_t* name) { return Game() + L"\\" + name; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DWORD ReadDword(const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kLauncherSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS)
    return 99;  // absent
  return value;
}

void ClearSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kLauncherSettingsKey); }

bool Has(const std::string& json, const std::string& part) { return json.find(part) != std::string::npos; }

bool DownloadInstallerFails(std::string_view, const std::wstring&, TransferProgress&, const std::atomic<bool>*) {
  return false;
}

// The player pauses while a runtime's installer is half fetched.
bool InstallerDownloadPausedHalfway(std::string_view, const std::wstring&, TransferProgress& transfer,
                                    const std::atomic<bool>*) {
  transfer.bytes_total = 65536;
  transfer.bytes_done = 32768;
  RequestStop(kStopPause);
  return false;
}

bool GameFileDownloadFails(const std::vector<std::string>&, std::string_view, const std::wstring&, std::int64_t,
                           std::string_view, TransferProgress&, const std::atomic<bool>*) {
  return false;
}

// Raises the stop request (as the page's pause or cancel does) once bytes of
// the named file flow.
class StopWhenFlowing {
 public:
  StopWhenFlowing(std::string file, StopReason reason)
      : thread_([this, file = std::move(file), reason] {
          while (!done_) {
            bool current = false;
            {
              std::lock_guard<std::mutex> lock(progressMutex);
              current = progressRecord.currentFile == file;
            }
            if (current && jobTransfer.bytes_done.load() > 0) {
              RequestStop(reason);
              raised_ = true;
              return;
            }
            Sleep(1);
          }
        }) {}
  ~StopWhenFlowing() {
    done_ = true;
    thread_.join();
  }
  bool raised() const { return raised_; }

 private:
  std::atomic<bool> done_{false};
  std::atomic<bool> raised_{false};
  std::thread thread_;
};

class JobsE2e : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(Env("NV_E2E_WORK").empty()) << "run through scripts/suites/jobs-e2e.sh";
    ASSERT_TRUE(CreateJobDoneEvent());
    SyncSeamsForTests().loadMirrorList = &OneMirror;
    CreateDirectoryW(Work().c_str(), nullptr);
  }
  void SetUp() override {
    ASSERT_NE(window.hwnd(), nullptr) << "no window: is DISPLAY set?";
    UseMirror(Env("NV_E2E_MIRROR1"));
    status = StatusRecord{};
    SetPageReady(true);
    // No runtime installer is fetched: a missing one fails with its toast.
    SetInstallerDownloadForTesting(&DownloadInstallerFails);
  }
  void TearDown() override {
    SetInstallerDownloadForTesting(nullptr);
    RequestStop(kStopQuit);
    EXPECT_TRUE(WaitForJobEnd(5000));
    window.Pump(30);
  }
  static void UseMirror(const std::string& url) {
    mirror = url;
    ClearMirrorsForTests();
  }
  // Starts the job as the page does and waits for its end message.
  void Run(std::int32_t jobId, const JobArgument& argument = {}) {
    ASSERT_TRUE(StartJob(jobId, argument));
    ASSERT_TRUE(window.PumpUntil([] { return !jobBusy.load(); }, 300000));
    window.Pump(50);
  }
  std::vector<std::string> Of(const std::string& type) const {
    std::vector<std::string> out;
    for (const std::string& json : page.messages())
      if (test::MessageType(json) == type) out.push_back(json);
    return out;
  }
  std::string LastState() const {
    const auto states = Of("state");
    return states.empty() ? "" : states.back();
  }
  // The screens reported, in order ("ready+checking", "updating+paused", ...).
  std::vector<std::string> Screens() const {
    std::vector<std::string> screens;
    for (const std::string& json : Of("state")) {
      const std::size_t at = json.find("\"state\":\"") + 9;
      std::string screen = json.substr(at, json.find('"', at) - at);
      if (Has(json, "\"paused\":1")) screen += "+paused";
      if (Has(json, "\"checking\":1")) screen += "+checking";
      screens.push_back(screen);
    }
    return screens;
  }
  std::vector<std::string> Texts(const std::string& type) const {
    std::vector<std::string> texts;
    for (const std::string& json : Of(type)) {
      const std::size_t at = json.find("\"text\":\"") + 8;
      texts.push_back(json.substr(at, json.rfind('"') - at));
    }
    return texts;
  }
  void MarkInstalled(bool installed) {
    WriteInstallDir(Game());
    WriteLauncherFlag(kInstalledFlag, installed);
  }

  test::TestWindow window;
  test::PageRecorder page;
  test::ScopedRegistryKey vcRuntime_{HKEY_LOCAL_MACHINE,
                                     L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86",
                                     KEY_WOW64_32KEY};
};

// The toasts of runtimes this machine lacks: their installers are never
// fetched here, so each fails and the job goes on.
std::vector<std::string> MissingRuntimeToasts() {
  std::vector<std::string> toasts;
  for (const PrerequisiteStatus& item : ListPrerequisites())
    if (item.id != "webview2" && !item.installed)
      toasts.push_back(PrerequisiteFailedText(item.name));
  return toasts;
}

// One row of a steps message as the page receives it.
std::string StepRow(std::string_view name, std::string_view state) {
  return "{\"name\":" + JsonString(name) + ",\"state\":\"" + std::string(state) + "\"}";
}
// The install's last two rows, which close every steps message.
std::string LastRows(std::string_view gameFiles, std::string_view shortcuts) {
  return StepRow(kGameFilesStepName, gameFiles) + "," + StepRow(kShortcutsStepName, shortcuts) + "]}";
}

std::string NeedBytes(std::int64_t bytes) { return "\"needBytes\":" + std::to_string(bytes) + ","; }
std::int64_t ClientTotal() { return std::stoll(Env("NV_E2E_CLIENT_TOTAL")); }
std::int64_t HdTotal() { return std::stoll(Env("NV_E2E_HD_TOTAL")); }

// The registry starts empty: the first case clears it, later ones build on
// what the earlier ones left, as on a player's machine.
TEST_F(JobsE2e, NotInstalledShowsTheInstallScreenWithSizes) {
  ClearSettings();
  Run(kJobUpdateCheck);
  EXPECT_EQ(Screens(), std::vector<std::string>{"install"});
  EXPECT_TRUE(Has(LastState(), R"("dir":"C:\\Games\\Norvane")")) << LastState();
  EXPECT_TRUE(Has(LastState(), NeedBytes(ClientTotal()))) << LastState();
  EXPECT_EQ(Of("deps").size(), 1u);
  EXPECT_TRUE(Of("error").empty());

  page.clear();
  WriteLauncherFlag(kHdFlag, true);
  Run(kJobUpdateCheck);
  EXPECT_TRUE(Has(LastState(), NeedBytes(ClientTotal() + HdTotal()))) << LastState();
  EXPECT_TRUE(Has(LastState(), "\"hd\":1")) << LastState();

  // Installed 0 with an existing folder proposes that folder.
  page.clear();
  CreateDirectoryW(Game().c_str(), nullptr);
  MarkInstalled(false);
  WriteLauncherFlag(kHdFlag, false);
  Run(kJobUpdateCheck);
  EXPECT_TRUE(Has(LastState(), "\"dir\":" + JsonString(ToUtf8(Game())))) << LastState();

  // The client manifest missing on the server: the install screen stays usable.
  page.clear();
  UseMirror(Env("NV_E2E_MIRROR1") + "/nothing-here");
  Run(kJobUpdateCheck);
  EXPECT_EQ(Screens(), std::vector<std::string>{"install"});
  EXPECT_EQ(Texts("error"), std::vector<std::string>{kServerUnreachableText});

  // A stop that cut the same fetch short is no failure to reach the server.
  page.clear();
  SyncSeamsForTests().loadMirrorList = &CancelThenOneMirror;
  ClearMirrorsForTests();
  Run(kJobUpdateCheck);
  SyncSeamsForTests().loadMirrorList = &OneMirror;
  EXPECT_EQ(Screens(), std::vector<std::string>{"install"});
  EXPECT_TRUE(Of("error").empty());
}

TEST_F(JobsE2e, RepairAndHdSwitchOnAMachineWithoutTheGame) {
  ClearSettings();
  Run(kJobRepair);
  EXPECT_EQ(Texts("error"), std::vector<std::string>{kNotInstalledText});
  EXPECT_TRUE(Screens().empty());

  // HD on only keeps the choice for a later install; HD off clears it.
  page.clear();
  Run(kJobHdOn);
  EXPECT_EQ(ReadDword(kHdFlag), 1u);
  Run(kJobHdOff);
  EXPECT_EQ(ReadDword(kHdFlag), 0u);
  EXPECT_TRUE(Of("state").empty() && Of("toast").empty() && Of("error").empty());
}

TEST_F(JobsE2e, UnwritableFolderIsRefusedBeforeTheRegistry) {
  ClearSettings();
  // A file where a parent folder would have to be created.
  const std::wstring blocker = Work() + L"\\blocker";
  ASSERT_TRUE(test::WriteTestFile(blocker, "x"));
  JobArgument argument{blocker + L"\\Norvane", false, false};
  Run(kJobInstall, argument);
  EXPECT_EQ(Screens(), (std::vector<std::string>{"installing", "install"}));
  EXPECT_EQ(Texts("error"),
            std::vector<std::string>{JsonEscape(FolderNotWritableText(ToUtf8(argument.folder)))});
  EXPECT_TRUE(ReadInstallDir().empty());
  EXPECT_EQ(ReadDword(kHdFlag), 99u);
}

// Wine reports one owner for every file: the other account is the seam's answer.
std::wstring AnotherAccount(std::wstring_view) { return L"S-1-5-21-7-7-7-1002"; }

TEST_F(JobsE2e, FolderOwnedByAnotherAccountIsRefusedBeforeTheRegistry) {
  ClearSettings();
  const std::wstring theirs = Work() + L"\\theirs";
  CreateDirectoryW(theirs.c_str(), nullptr);
  GameFolderSeamsForTests().folderOwnerSid = &AnotherAccount;
  Run(kJobInstall, JobArgument{theirs, false, false});
  GameFolderSeamsForTests().folderOwnerSid = nullptr;
  EXPECT_EQ(Screens(), (std::vector<std::string>{"installing", "install"}));
  EXPECT_EQ(Texts("error"), std::vector<std::string>{JsonEscape(FolderForeignOwnerText(ToUtf8(theirs)))});
  EXPECT_TRUE(ReadInstallDir().empty());
  EXPECT_FALSE(Exists(theirs + L"\\.nrv_write_test"));
}

// Another account's links (their owner the seam's answer): the game folder
// itself, and a folder above it. Nothing reaches the registry or the decoy.
TEST_F(JobsE2e, FolderThatIsOrLiesBehindAnotherAccountsLinkIsRefused) {
  ClearSettings();
  const std::wstring decoy = Work() + L"\\decoy";
  ASSERT_TRUE(CreateParentDirectories(decoy + L"\\Norvane\\x"));
  const struct {
    const wchar_t *link, *target, *game;
  } rows[] = {{L"\\linked", L"\\decoy\\Norvane", L"\\linked"}, {L"\\above", L"\\decoy", L"\\above\\Norvane"}};
  GameFolderSeamsForTests().folderOwnerSid = &AnotherAccount;
  for (const auto& row : rows) {
    ASSERT_TRUE(test::PlantFolderLink(Work() + row.link, Work() + row.target));
    page.clear();
    const std::wstring game = Work() + row.game;
    Run(kJobInstall, JobArgument{game, false, false});
    EXPECT_EQ(Texts("error"), std::vector<std::string>{JsonEscape(FolderForeignLinkText(ToUtf8(game)))});
    EXPECT_EQ(Screens(), std::vector<std::string>{"install"});
  }
  GameFolderSeamsForTests().folderOwnerSid = nullptr;
  EXPECT_TRUE(ReadInstallDir().empty());
  EXPECT_TRUE(IsFolder(decoy + L"\\Norvane"));
  EXPECT_FALSE(Exists(decoy + L"\\Norvane\\.nrv_write_test"));
}

TEST_F(JobsE2e, CancelDuringGameFilesReturnsToTheInstallScreen) {
  vcRuntime_.SetDword(L"Installed", 1);
  JobArgument argument{Game(), true, false};
  {
    StopWhenFlowing cancel("data/big.grf", kStopCancel);
    Run(kJobInstall, argument);
    ASSERT_TRUE(cancel.raised());
  }
  EXPECT_EQ(Screens(), (std::vector<std::string>{"installing", "installing", "install"}));
  EXPECT_TRUE(Has(LastState(), NeedBytes(ClientTotal() + HdTotal()))) << LastState();
  EXPECT_EQ(ReadDword(kInstalledFlag), 99u);
  EXPECT_EQ(ReadDword(kHdFlag), 1u);
  EXPECT_FALSE(Exists(InGame(L".nrv_write_test")));

  // Game files that fail to download leave the game not installed either.
  page.clear();
  SyncSeamsForTests().downloadManifestEntry = &GameFileDownloadFails;
  Run(kJobInstall, argument);
  SyncSeamsForTests().downloadManifestEntry = nullptr;
  EXPECT_EQ(Texts("error").size(), 1u);
  EXPECT_EQ(ReadDword(kInstalledFlag), 99u);
}

TEST_F(JobsE2e, FailingPrerequisiteKeepsTheInstallGoing) {
  // The runtime is missing (the fixture removed its key) and its installer
  // cannot be fetched.
  const std::vector<PrerequisiteStatus> prerequisites = ListPrerequisites();
  JobArgument argument{Game(), false, false};
  // A pause inside the installer's download: the paused screen carries no
  // figures of a download that is not running.
  SetInstallerDownloadForTesting(&InstallerDownloadPausedHalfway);
  Run(kJobInstall, argument);
  SetInstallerDownloadForTesting(&DownloadInstallerFails);
  EXPECT_EQ(Screens().back(), "installing+paused");
  EXPECT_EQ(jobTransfer.bytes_done.load() + jobTransfer.bytes_total.load(), 0);
  page.clear();

  Run(kJobInstall, argument);

  const auto steps = Of("steps");
  ASSERT_FALSE(steps.empty());
  EXPECT_TRUE(Has(steps.front(), LastRows("wait", "wait"))) << steps.front();
  EXPECT_TRUE(Has(steps.back(), StepRow(kGameFilesStepName, "done") + ",{\"name\":" +
                                    JsonString(kShortcutsStepName) + ",\"state\":"))
      << steps.back();
  std::string vcName;
  for (const PrerequisiteStatus& item : prerequisites)
    if (item.id == "vcredist") vcName = item.name;
  ASSERT_FALSE(vcName.empty());
  EXPECT_TRUE(Has(steps.back(), StepRow(vcName, "fail"))) << steps.back();
  const auto toasts = Texts("toast");
  ASSERT_GE(toasts.size(), 2u);
  EXPECT_EQ(toasts.front(), PrerequisiteFailedText(vcName));
  EXPECT_EQ(toasts.back(), kInstalledText);
  EXPECT_EQ(Screens().back(), "ready");
}

// What reached CreateDirectoryW or SetNamedSecurityInfoW, in order.
std::vector<std::wstring> descriptorsApplied;
void RecordDescriptor(std::wstring_view folder, std::wstring_view sddl, bool created) {
  descriptorsApplied.push_back(std::wstring(created ? L"create " : L"set ") + std::wstring(folder) + L" " +
                               std::wstring(sddl));
}

TEST_F(JobsE2e, FullInstallIntoAFreshFolder) {
  vcRuntime_.SetDword(L"Installed", 1);
  test::RemoveTree(Game());
  ClearSettings();
  JobArgument argument{Game(), false, true};
  descriptorsApplied.clear();
  GameFolderSeamsForTests().descriptorApplied = &RecordDescriptor;
  Run(kJobInstall, argument);
  GameFolderSeamsForTests().descriptorApplied = nullptr;
  // The game folder alone gets the administrators-only descriptor, as it is made.
  EXPECT_EQ(descriptorsApplied, std::vector<std::wstring>{L"create " + Game() + L" " + kGameFolderSddl});

  EXPECT_EQ(Screens(), (std::vector<std::string>{"installing", "installing", "ready"}));
  // The rows move in order: game files now, done, then shortcuts now, then done or fail.
  // (Rows of missing runtimes change in between; their own case is above.)
  std::vector<std::string> tails;
  for (const std::string& json : Of("steps")) {
    std::string tail = json.substr(json.find("{\"name\":" + JsonString(kGameFilesStepName)));
    if (tails.empty() || tails.back() != tail) tails.push_back(tail);
  }
  ASSERT_EQ(tails.size(), 4u);
  EXPECT_EQ(tails[0], LastRows("wait", "wait"));
  EXPECT_EQ(tails[1], LastRows("now", "wait"));
  EXPECT_EQ(tails[2], LastRows("done", "now"));
  const bool registered = Has(tails[3], StepRow(kShortcutsStepName, "done"));
  std::vector<std::string> expectedToasts = MissingRuntimeToasts();
  if (!registered) expectedToasts.push_back(kRegistrationFailedText);
  expectedToasts.push_back(kInstalledText);
  EXPECT_EQ(Texts("toast"), expectedToasts);

  EXPECT_EQ(ReadInstallDir(), Game());
  EXPECT_EQ(ReadDword(kHdFlag), 0u);
  EXPECT_EQ(ReadDword(kShortcutFlag), 1u);
  EXPECT_EQ(ReadDword(kInstalledFlag), 1u);
  EXPECT_TRUE(Exists(InGame(L"norvane.exe")));
  EXPECT_TRUE(Exists(InGame(L"Norvane-Launcher.exe")));
  EXPECT_FALSE(Exists(InGame(L".nrv_write_test")));
  EXPECT_EQ(static_cast<int>(LoadFileState(Game()).entries().size()), std::stoi(Env("NV_E2E_CLIENT_FILES")));
}

TEST_F(JobsE2e, InstallOverAPlantedProgramHashesItInsteadOfTrustingTheState) {
  // Same size and time as the real one, which the file state vouches for.
  const std::wstring program = InGame(L"norvane.exe");
  const std::optional<std::string> real = test::ReadAll(program);
  ASSERT_TRUE(real && !real->empty());
  FILETIME written{};
  {
    UniqueFile file(CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && GetFileTime(file.get(), nullptr, nullptr, &written));
  }
  std::string planted = *real;
  planted[0] = static_cast<char>(planted[0] ^ 0x55);
  ASSERT_TRUE(test::WriteTestFile(program, planted));
  {
    UniqueFile file(CreateFileW(program.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &written));
  }
  ClearSettings();
  vcRuntime_.SetDword(L"Installed", 1);
  descriptorsApplied.clear();
  GameFolderSeamsForTests().descriptorApplied = &RecordDescriptor;
  Run(kJobInstall, JobArgument{Game(), false, true});
  GameFolderSeamsForTests().descriptorApplied = nullptr;
  EXPECT_EQ(Screens().back(), "ready");
  EXPECT_EQ(test::ReadAll(program), real);
  // An existing folder gets the descriptor put back, protected from its parent's.
  EXPECT_EQ(descriptorsApplied, std::vector<std::wstring>{L"set " + Game() + L" " + kGameFolderSddl});
}

TEST_F(JobsE2e, UpToDateGameIsReadyWithoutMessages) {
  Run(kJobUpdateCheck);
  EXPECT_EQ(Screens(), (std::vector<std::string>{"ready+checking", "ready"}));
  EXPECT_TRUE(Of("toast").empty());
  EXPECT_TRUE(Of("error").empty());
}

TEST_F(JobsE2e, NoServerOnAnInstalledGameStaysPlayable) {
  UseMirror("https://localhost:18447/download");
  Run(kJobUpdateCheck);
  EXPECT_EQ(Screens(), (std::vector<std::string>{"ready+checking", "ready"}));
  EXPECT_EQ(Texts("toast"), std::vector<std::string>{CheckFailedText(kServerUnreachableText)});
}

// Too little room is found before any download: the game stays playable.
// A download that began and failed is no failed check: the half-updated
// game waits on the paused screen.
TEST_F(JobsE2e, AnUpdateFailingBeforeOrAfterItsDownloadBegan) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  SyncSeamsForTests().freeBytesForPath = [](std::wstring_view) { return std::uint64_t{1}; };
  Run(kJobUpdateCheck);
  SyncSeamsForTests().freeBytesForPath = nullptr;
  EXPECT_EQ(Screens(), (std::vector<std::string>{"ready+checking", "ready"}));
  ASSERT_EQ(Texts("toast").size(), 1u);
  EXPECT_EQ(Texts("toast")[0].rfind(CheckFailedText(""), 0), 0u) << Texts("toast")[0];
  EXPECT_TRUE(Of("error").empty());

  page.clear();
  SyncSeamsForTests().downloadManifestEntry = &GameFileDownloadFails;
  Run(kJobUpdateCheck);
  SyncSeamsForTests().downloadManifestEntry = nullptr;
  EXPECT_EQ(Screens(), (std::vector<std::string>{"ready+checking", "updating", "updating+paused"}));
  EXPECT_EQ(Texts("error").size(), 1u);
  EXPECT_TRUE(Texts("toast").empty());
}

TEST_F(JobsE2e, PausedUpdateResumesFromTheStart) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  {
    StopWhenFlowing pause("data/big.grf", kStopPause);
    Run(kJobUpdateCheck);
    ASSERT_TRUE(pause.raised());
  }
  EXPECT_EQ(Screens(), (std::vector<std::string>{"ready+checking", "updating", "updating+paused"}));
  EXPECT_EQ(Texts("toast"), std::vector<std::string>{kPausedText});

  page.clear();
  ASSERT_TRUE(ResumeLastJob());
  ASSERT_TRUE(window.PumpUntil([] { return !jobBusy.load(); }, 300000));
  window.Pump(50);
  // Step 1 again: the ready screen with the check running comes first.
  EXPECT_EQ(Screens(), (std::vector<std::string>{"ready+checking", "updating", "ready"}));
  EXPECT_EQ(filesTotal.load(), 2);
  EXPECT_EQ(filesDone.load(), 2);
  EXPECT_TRUE(Has(LastState(), R"("version":"2")")) << LastState();
}

TEST_F(JobsE2e, RepairOfAnIntactGameFindsEveryFileFine) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  vcRuntime_.SetDword(L"Installed", 1);
  std::vector<std::string> toasts = MissingRuntimeToasts();
  toasts.push_back(RepairFinishedText(0));
  Run(kJobRepair);
  const std::string files = Env("NV_E2E_CLIENT_FILES");
  EXPECT_EQ(Of("repair").back(), "{\"t\":\"repair\",\"checked\":" + files + ",\"broken\":0,\"missing\":0,\"fixed\":0}");
  EXPECT_EQ(Texts("toast"), toasts);
  EXPECT_EQ(Screens(), (std::vector<std::string>{"repair", "ready"}));
}

TEST_F(JobsE2e, RepairFixesADeletedAndAnAlteredFile) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  ASSERT_TRUE(DeleteFileW(InGame(L"config\\options.ini").c_str()));
  // Same size, other bytes, time kept: only the hash can tell.
  const std::wstring altered = InGame(L"data\\small.dat");
  std::string bytes = test::ReadAll(altered).value_or("");
  ASSERT_FALSE(bytes.empty());
  bytes[0] = static_cast<char>(bytes[0] ^ 0x55);
  ASSERT_TRUE(test::WriteTestFile(altered, bytes));
  // A missing runtime fails here (its installer is never fetched) and the
  // repair goes on.
  std::vector<std::string> toasts = MissingRuntimeToasts();
  ASSERT_FALSE(toasts.empty());
  toasts.push_back(RepairFinishedText(2));
  Run(kJobRepair);
  EXPECT_TRUE(Has(Of("repair").back(), R"("broken":1,"missing":1,"fixed":2})")) << Of("repair").back();
  EXPECT_EQ(Texts("toast"), toasts);
  EXPECT_NE(test::ReadAll(altered), bytes);
}

// An antivirus took the game, or the file state went: the game is still
// installed and the repair brings the file back.
TEST_F(JobsE2e, RepairBringsBackTheGameAndTheFileState) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  ASSERT_TRUE(DeleteFileW(InGame(L"norvane.exe").c_str()));
  Run(kJobRepair);
  EXPECT_TRUE(Exists(InGame(L"norvane.exe")));
  EXPECT_EQ(Texts("toast").back(), RepairFinishedText(1));

  page.clear();
  ASSERT_TRUE(DeleteFileW(InGame(L"launcher_state.txt").c_str()));
  Run(kJobRepair);
  EXPECT_EQ(Texts("toast").back(), RepairFinishedText(0));
  EXPECT_EQ(static_cast<int>(LoadFileState(Game()).entries().size()), std::stoi(Env("NV_E2E_CLIENT_FILES")));
}

TEST_F(JobsE2e, HdOnCancelledTurnsTheSwitchOff) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  // An archive a cancel or a failed delete left on disk: the switch, not the
  // disk, decides what the data list names.
  ASSERT_TRUE(test::WriteTestFile(InGame(L"custom_hd2.grf"), "left over"));
  {
    StopWhenFlowing cancel("custom_hd1.grf", kStopCancel);
    Run(kJobHdOn);
    ASSERT_TRUE(cancel.raised());
  }
  EXPECT_EQ(ReadDword(kHdFlag), 0u);
  EXPECT_EQ(Texts("toast"), std::vector<std::string>{kHdCancelledText});
  EXPECT_EQ(Screens().back(), "ready");
  EXPECT_FALSE(Has(test::ReadAll(InGame(L"DATA.INI")).value_or(""), "custom_hd"));
  EXPECT_FALSE(Exists(InGame(L"custom_hd1.grf.part")));
}

TEST_F(JobsE2e, HdOnBringsTheArchivesAndTheDataListNamesThem) {
  UseMirror(Env("NV_E2E_MIRROR2"));
  Run(kJobHdOn);
  EXPECT_EQ(Texts("toast"), std::vector<std::string>{kHdInstalledText});
  EXPECT_EQ(ReadDword(kHdFlag), 1u);
  EXPECT_TRUE(Exists(InGame(L"custom_hd1.grf")));
  EXPECT_TRUE(Exists(InGame(L"custom_hd2.grf")));
  const std::string list = test::ReadAll(InGame(L"DATA.INI")).value_or("");
  EXPECT_TRUE(Has(list, "custom_hd1.grf") && Has(list, "custom_hd2.grf")) << list;
  EXPECT_FALSE(Exists(InGame(L"DATA.INI.full")));
}

TEST_F(JobsE2e, HdOffWhileTheGameRunsChangesNothing) {
  // A copy of this program named like the game, waiting.
  const std::wstring gameExe = Work() + L"\\running\\norvane.exe";
  CreateDirectoryW((Work() + L"\\running").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(OwnExePath().c_str(), gameExe.c_str(), FALSE));
  std::wstring line = L"\"" + gameExe + L"\" --nv-sleep 60000";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(gameExe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  for (int i = 0; i < 100 && !IsGameRunning(); ++i) Sleep(50);

  Run(kJobHdOff);
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 5000);
  EXPECT_EQ(Texts("error"), std::vector<std::string>{kHdCloseGameText});
  EXPECT_EQ(ReadDword(kHdFlag), 1u);
  EXPECT_TRUE(Exists(InGame(L"custom_hd1.grf")));
  EXPECT_TRUE(Exists(InGame(L"custom_hd2.grf")));
}

TEST_F(JobsE2e, HdOffRemovesTheArchivesTheirStateAndTheirDataListEntries) {
  const std::optional<std::string> shipped = test::ReadAll(InGame(L"DATA.INI"));
  Run(kJobHdOff);
  EXPECT_EQ(Texts("toast"), std::vector<std::string>{kHdRemovedText});
  EXPECT_EQ(ReadDword(kHdFlag), 0u);
  EXPECT_FALSE(Exists(InGame(L"custom_hd1.grf")));
  EXPECT_FALSE(Exists(InGame(L"custom_hd2.grf")));
  const FileState state = LoadFileState(Game());
  for (const FileStateEntry& entry : state.entries())
    EXPECT_EQ(entry.path.find("custom_hd"), std::string::npos) << entry.path;
  // The shipped list waits aside; the game reads one without the archives.
  EXPECT_EQ(test::ReadAll(InGame(L"DATA.INI.full")), shipped);
  EXPECT_FALSE(Has(test::ReadAll(InGame(L"DATA.INI")).value_or(""), "custom_hd"));

  // Off again with nothing left to remove: still removed.
  page.clear();
  Run(kJobHdOff);
  EXPECT_EQ(Texts("toast"), std::vector<std::string>{kHdRemovedText});

  // An archive held open stays, a partial one goes, and neither is named.
  ASSERT_TRUE(test::WriteTestFile(InGame(L"custom_hd1.grf"), "held"));
  ASSERT_TRUE(test::WriteTestFile(InGame(L"custom_hd2.grf.part"), "partial"));
  UniqueFile held(CreateFileW(InGame(L"custom_hd1.grf").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  page.clear();
  Run(kJobHdOff);
  held.reset();
  EXPECT_EQ(Texts("error"), std::vector<std::string>{kHdNotRemovedText});
  EXPECT_FALSE(Exists(InGame(L"custom_hd2.grf.part")));
  EXPECT_FALSE(Has(test::ReadAll(InGame(L"DATA.INI")).value_or(""), "custom_hd"));

  // A state file that cannot be read for a moment is not saved over as empty:
  // held exclusively until a save begins (its ".tmp" appears) or the job ends.
  const std::optional<std::string> stateText = test::ReadAll(InGame(L"launcher_state.txt"));
  ASSERT_TRUE(stateText && !stateText->empty());
  {
    UniqueFile locked(CreateFileW(InGame(L"launcher_state.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked);
    std::atomic<bool> ended{false};
    std::thread release([&] {
      while (!ended && !Exists(InGame(L"launcher_state.txt.tmp"))) Sleep(1);
      locked.reset();
    });
    page.clear();
    Run(kJobHdOff);
    ended = true;
    release.join();
  }
  EXPECT_EQ(test::ReadAll(InGame(L"launcher_state.txt")), stateText);
}

}  // namespace
}  // namespace nv
