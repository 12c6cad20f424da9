// Registration as Windows stores it: registry values read back with their
// types, shortcuts loaded through IShellLinkW, the launcher copy on disk.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "bridge/player_texts.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/install_registration.h"
#include "system/launcher_settings.h"
#include "system/shell_files.h"
#include "system/system_support.h"
#include "system/uninstall_entry.h"

namespace nv {
namespace {

using test::FileExists;
using test::ReadAll;
using test::ReadRegValue;
using test::TempFolder;

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { test::ClearLauncherRegistry(); }
  void TearDown() override {
    test::ClearLauncherRegistry();
    const std::wstring programs = KnownFolderPath(FOLDERID_CommonPrograms);
    DeleteFileW((programs + L"\\Norvane\\Norvane.lnk").c_str());
    RemoveDirectoryW((programs + L"\\Norvane").c_str());
    DeleteFileW((KnownFolderPath(FOLDERID_PublicDesktop) + L"\\Norvane.lnk").c_str());
  }
  ScopedComInit com_;
};

TEST_F(Registration, InstallDirIsStoredAndReadNormalised) {
  WriteInstallDir(L"D:/Games//Norvane\\\\");
  const auto raw = ReadRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"InstallDir");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw->data.size(), (std::wstring(L"D:\\Games\\\\Norvane").size() + 1) * 2);
  EXPECT_EQ(raw->Text(), L"D:\\Games\\\\Norvane");
  EXPECT_EQ(ReadInstallDir(), L"D:\\Games\\\\Norvane");

  WriteInstallDir(L"E:\\\\");
  EXPECT_EQ(ReadInstallDir(), L"E:\\");
  WriteInstallDir(L"E:/");
  EXPECT_EQ(ReadInstallDir(), L"E:\\");

  // A value written by someone else, not normalised, still reads normalised.
  const wchar_t odd[] = L"F:/x/y//";
  test::SetRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"InstallDir", REG_SZ, odd, sizeof odd);
  EXPECT_EQ(ReadInstallDir(), L"F:\\x\\y");
}

TEST_F(Registration, WrongOrEmptyValuesReadAsAbsent) {
  EXPECT_EQ(ReadInstallDir(), L"");
  EXPECT_TRUE(ReadLauncherFlag(kHdFlag, true));
  EXPECT_FALSE(ReadLauncherFlag(kInstalledFlag, false));

  const wchar_t empty[] = L"";
  test::SetRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"InstallDir", REG_SZ, empty, sizeof empty);
  EXPECT_EQ(ReadInstallDir(), L"");
  const DWORD one = 1;
  test::SetRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"InstallDir", REG_DWORD, &one, sizeof one);
  EXPECT_EQ(ReadInstallDir(), L"");
  const wchar_t text[] = L"1";
  test::SetRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"Hd", REG_SZ, text, sizeof text);
  EXPECT_FALSE(ReadLauncherFlag(kHdFlag, false));
  EXPECT_TRUE(ReadLauncherFlag(kHdFlag, true));

  WriteLauncherFlag(kHdFlag, true);
  const auto hd = ReadRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"Hd");
  ASSERT_TRUE(hd);
  EXPECT_EQ(hd->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(hd->Dword(), 1u);
  EXPECT_TRUE(ReadLauncherFlag(kHdFlag, false));
  WriteLauncherFlag(kHdFlag, false);
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kLauncherSettingsKey, L"Hd")->Dword(), 0u);
}

TEST_F(Registration, IsInstalledNeedsTheGameAndTheStateFile) {
  TempFolder game;
  EXPECT_FALSE(IsInstalled(L""));
  ASSERT_TRUE(test::WriteTestFile(game / L"norvane.exe", "MZ"));
  EXPECT_FALSE(IsInstalled(game.path()));
  CreateDirectoryW((game / L"launcher_state.txt").c_str(), nullptr);
  EXPECT_FALSE(IsInstalled(game.path()));
  RemoveDirectoryW((game / L"launcher_state.txt").c_str());
  ASSERT_TRUE(test::WriteTestFile(game / L"launcher_state.txt", ""));
  EXPECT_TRUE(IsInstalled(game.path()));
  EXPECT_TRUE(IsInstalled(game.path() + L"/"));
}

TEST_F(Registration, UninstallEntryWithEmptyStateAndNoIcon) {
  TempFolder game;
  ASSERT_TRUE(test::WriteTestFile(game / L"launcher_state.txt", ""));
  ASSERT_TRUE(RegisterInstall(game.path() + L"\\\\", true));

  const std::wstring copy = game / L"Norvane-Launcher.exe";
  ASSERT_TRUE(FileExists(copy));
  EXPECT_EQ(ReadAll(copy), ReadAll(OwnExePath()));
  EXPECT_EQ(ReadInstallDir(), game.path());
  EXPECT_TRUE(ReadLauncherFlag(kShortcutFlag, false));

  // Exactly the nine values. Wine enumerates values sorted by name, so the
  // write order is checked on UninstallEntryValues, which the writer walks.
  std::vector<std::wstring> names = test::RegValueNames(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"DisplayIcon", L"DisplayName", L"DisplayVersion",
                                              L"EstimatedSize", L"InstallLocation", L"NoModify",
                                              L"NoRepair", L"Publisher", L"UninstallString"}));
  auto text = [](const wchar_t* name) {
    const auto value = ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, name);
    EXPECT_TRUE(value) << name;
    if (!value) return std::wstring(L"<missing>");
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << name;
    // Stored with its terminating NUL.
    EXPECT_EQ(value->data.size(), (value->Text().size() + 1) * 2) << name;
    return value->Text();
  };
  auto dword = [](const wchar_t* name) {
    const auto value = ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, name);
    EXPECT_TRUE(value) << name;
    if (!value) return DWORD{0xDEAD};
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD)) << name;
    return value->Dword();
  };
  EXPECT_EQ(text(L"DisplayName"), L"Norvane");
  EXPECT_EQ(text(L"DisplayIcon"), copy + L",0");
  EXPECT_EQ(text(L"DisplayVersion"), L"1.0");
  EXPECT_EQ(text(L"Publisher"), L"Norvane");
  EXPECT_EQ(text(L"InstallLocation"), game.path());
  EXPECT_EQ(text(L"UninstallString"), L"\"" + copy + L"\" --uninstall");
  EXPECT_EQ(dword(L"NoModify"), 1u);
  EXPECT_EQ(dword(L"NoRepair"), 1u);
  EXPECT_EQ(dword(L"EstimatedSize"), test::SizeOf(copy) / 1024);
}

TEST_F(Registration, UninstallEntryWithIconVersionAndRecordedSizes) {
  TempFolder game;
  ASSERT_TRUE(test::WriteTestFile(game / L"norvane.ico", "ico"));
  ASSERT_TRUE(test::WriteState(game.path(), {{"norvane.exe", 3 << 20}, {"data/a.grf", 5000}},
                               "2026.12 \xc3\xa9"));
  ASSERT_TRUE(RegisterInstall(game.path(), false));
  const std::wstring copy = game / L"Norvane-Launcher.exe";
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"DisplayIcon")->Text(),
            game / L"norvane.ico");
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"DisplayVersion")->Text(),
            L"2026.12 \u00e9");
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"EstimatedSize")->Dword(),
            (test::SizeOf(copy) + (3 << 20) + 5000) / 1024);
  EXPECT_FALSE(ReadLauncherFlag(kShortcutFlag, true));
}

TEST_F(Registration, ShortcutsReadBack) {
  TempFolder game;
  const std::wstring programs = KnownFolderPath(FOLDERID_CommonPrograms);
  const std::wstring desktop = KnownFolderPath(FOLDERID_PublicDesktop);
  ASSERT_FALSE(programs.empty());
  ASSERT_FALSE(desktop.empty());
  const std::wstring menuLink = programs + L"\\Norvane\\Norvane.lnk";
  const std::wstring desktopLink = desktop + L"\\Norvane.lnk";
  const std::wstring copy = game / L"Norvane-Launcher.exe";

  ASSERT_TRUE(RegisterInstall(game.path(), true));
  for (const std::wstring& link : {menuLink, desktopLink}) {
    const auto info = test::ReadShortcut(link);
    ASSERT_TRUE(info) << test::FileExists(link);
    EXPECT_TRUE(test::SameText(info->target, copy)) << info->target;
    EXPECT_TRUE(test::SameText(info->workingDir, game.path())) << info->workingDir;
    EXPECT_TRUE(test::SameText(info->iconPath, copy)) << info->iconPath;
    EXPECT_EQ(info->iconIndex, 0);
    EXPECT_EQ(info->description, kShortcutDescription);
  }

  // With the icon present and the desktop option off: the Start-menu link
  // takes the icon, the existing desktop link goes.
  ASSERT_TRUE(test::WriteTestFile(game / L"norvane.ico", "ico"));
  ASSERT_TRUE(RegisterInstall(game.path(), false));
  EXPECT_FALSE(FileExists(desktopLink));
  const auto info = test::ReadShortcut(menuLink);
  ASSERT_TRUE(info);
  EXPECT_TRUE(test::SameText(info->iconPath, game / L"norvane.ico")) << info->iconPath;
}

TEST_F(Registration, EmptyFolderFailsAtOnce) {
  EXPECT_FALSE(RegisterInstall(L"", true));
  EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryKey));
  EXPECT_EQ(ReadInstallDir(), L"");
}

TEST_F(Registration, LockedCopyIsMovedAsideAndReplaced) {
  TempFolder game;
  const std::wstring copy = game / L"Norvane-Launcher.exe";
  ASSERT_TRUE(test::WriteTestFile(copy, "an older launcher"));
  {
    // Held the way a running launcher holds its image: no writers, renames allowed.
    UniqueFile held(CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ASSERT_TRUE(RegisterInstall(game.path(), false));
  }
  EXPECT_EQ(ReadAll(copy + L".old"), std::string("an older launcher"));
  EXPECT_EQ(ReadAll(copy), ReadAll(OwnExePath()));
}

TEST_F(Registration, ReadOnlyCopyIsReplaced) {
  TempFolder game;
  const std::wstring copy = game / L"Norvane-Launcher.exe";
  ASSERT_TRUE(test::WriteTestFile(copy, "old"));
  SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(RegisterInstall(game.path() + L"\\sub", false));  // parent folders are created
  EXPECT_EQ(ReadAll(game / L"sub\\Norvane-Launcher.exe"), ReadAll(OwnExePath()));
  ASSERT_TRUE(RegisterInstall(game.path(), false));
  EXPECT_EQ(ReadAll(copy), ReadAll(OwnExePath()));
  EXPECT_FALSE(FileExists(copy + L".old"));
}

TEST_F(Registration, RunningFromTheCopyCopiesNothing) {
  TempFolder game;
  const std::wstring copy = game / L"Norvane-Launcher.exe";
  ASSERT_TRUE(test::CopyHelperTo(copy));
  const auto before = ReadAll(copy);
  EXPECT_EQ(test::RunAndWait(copy, L"--register \"" + game.path() + L"\" 0"), 0);
  EXPECT_EQ(ReadAll(copy), before);
  EXPECT_FALSE(FileExists(copy + L".old"));
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"UninstallString")->Text(),
            L"\"" + copy + L"\" --uninstall");
  EXPECT_EQ(ReadInstallDir(), game.path());
}

}  // namespace
}  // namespace nv
