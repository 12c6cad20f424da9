// Which recorded paths uninstall may touch, the folder order, the deferred
// self-delete line and the registration values, as pure rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "system/uninstall_entry.h"
#include "system/uninstall_plan.h"

namespace nv {
namespace {

TEST(IsSafeRelativePath, RejectsEverythingThatLeavesTheFolder) {
  for (const char* path : {"", "/x", "\\x", "C:x", "data/C:/x", "a:b", "..", ".", "../x",
                           "data/../../x", "data\\..\\x", "data/./x", "x/.", "x/..", "...",
                           "data/.. /x", "data/. ./x"}) {
    EXPECT_FALSE(IsSafeRelativePath(path)) << path;
  }
  for (const char* path : {"norvane.exe", "data/a/b.grf", "data\\c.grf", "data//x.grf",
                           ".hidden", "..x/y", "x../y", "a.b/c..d"}) {
    EXPECT_TRUE(IsSafeRelativePath(path)) << path;
  }
}

TEST(IsScreenshotPath, AnyCaseEitherSeparator) {
  EXPECT_TRUE(IsScreenshotPath("screenshot/a.png"));
  EXPECT_TRUE(IsScreenshotPath("Screenshot\\b.png"));
  EXPECT_TRUE(IsScreenshotPath("SCREENSHOT/sub/c.png"));
  EXPECT_TRUE(IsScreenshotPath("screenshot /d.png"));  // the same folder for Win32
  EXPECT_FALSE(IsScreenshotPath("screenshot"));
  EXPECT_FALSE(IsScreenshotPath("screenshots/a.png"));
  EXPECT_FALSE(IsScreenshotPath("data/screenshot/a.png"));
}

TEST(FolderSet, EveryParentOnceDeepestFirst) {
  std::set<std::string> folders;
  AddParentFolders("data/a/b.grf", folders);
  AddParentFolders("data/c.grf", folders);
  AddParentFolders("norvane.exe", folders);
  AddParentFolders("x\\y\\z/w.txt", folders);
  EXPECT_EQ(folders, (std::set<std::string>{"data", "data/a", "x", "x\\y", "x\\y\\z"}));
  const std::vector<std::string> order = DeepestFirst(folders);
  ASSERT_EQ(order.size(), 5u);
  EXPECT_EQ(order[0], "x\\y\\z");
  auto position = [&](const std::string& name) {
    return std::find(order.begin(), order.end(), name) - order.begin();
  };
  EXPECT_LT(position("data/a"), position("data"));
  EXPECT_LT(position("x\\y"), position("x"));
  EXPECT_LT(position("data/a"), position("x"));
}

TEST(DeferredDelete, CommandLineByteForByte) {
  // AutoRun off, and no path in the line: only delayed references.
  EXPECT_EQ(BuildDeferredDeleteCommand(L"C:\\windows\\system32\\cmd.exe"),
            L"\"C:\\windows\\system32\\cmd.exe\" /d /v:on /c set /p nv= & ping.exe 127.0.0.1 -n 2 > nul & "
            L"del /f /q \"!NV_COPY!\" \"!NV_COPY!.old\" & rmdir \"!NV_FOLDER!\"");
  EXPECT_EQ(InterpreterPath(L"C:\\windows\\system32"), L"C:\\windows\\system32\\cmd.exe");
  EXPECT_EQ(InterpreterPath(L""), L"cmd.exe");
  EXPECT_EQ(InterpreterPath(std::wstring(260, L'x')), L"cmd.exe");
}

TEST(DeferredDelete, PathsTravelAsDataInTheEnvironmentBlock) {
  using namespace std::string_literals;
  const std::wstring folder = L"D:\\G %X% \"!NV_COPY!\" a&b ^c";  // '"' cannot be in a name; as data it is fine
  const std::wstring copy = folder + L"\\Norvane-Launcher.exe";
  EXPECT_EQ(BuildDeferredDeleteEnvironment(L"C:\\W\\system32", L"C:\\W", copy, folder),
            L"NV_COPY="s + copy + L"\0NV_FOLDER="s + folder +
                L"\0PATH=C:\\W\\system32\0SystemRoot=C:\\W\0\0"s);
  EXPECT_EQ(BuildDeferredDeleteEnvironment(L"C:\\W\\system32", L"C:\\W", L"a\0PATH=x"s, folder), L"");
  EXPECT_EQ(BuildDeferredDeleteEnvironment(L"C:\\W\\system32", L"", copy, folder), L"");
}

TEST(UninstallEntry, NineValuesInOrderWithTheirTypes) {
  UninstallEntryInput input;
  input.folder = L"C:\\G";
  input.copyPath = L"C:\\G\\Norvane-Launcher.exe";
  input.iconPath = input.copyPath;
  input.totalBytes = 5 * 1024 + 1023;
  const std::vector<RegistryValue> values = UninstallEntryValues(input);
  const std::vector<std::wstring> names = {L"DisplayName", L"DisplayIcon",     L"DisplayVersion",
                                           L"Publisher",   L"InstallLocation", L"UninstallString",
                                           L"NoModify",    L"NoRepair",        L"EstimatedSize"};
  ASSERT_EQ(values.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(values[i].name, names[i]);
    EXPECT_EQ(values[i].isDword, i >= 6) << i;
  }
  EXPECT_EQ(values[1].text, L"C:\\G\\Norvane-Launcher.exe,0");
  EXPECT_EQ(values[2].text, L"1.0");
  EXPECT_EQ(values[5].text, L"\"C:\\G\\Norvane-Launcher.exe\" --uninstall");
  EXPECT_EQ(values[8].dword, 5u);

  input.iconPath = L"C:\\G\\norvane.ico";
  input.version = L"2024.5";
  EXPECT_EQ(UninstallEntryValues(input)[1].text, L"C:\\G\\norvane.ico");
  EXPECT_EQ(UninstallEntryValues(input)[2].text, L"2024.5");
}

TEST(UninstallEntry, TheFolderComesFromTheEntryAndADisagreeingSettingRefuses) {
  struct Row {
    const wchar_t *entry, *setting, *folder;
    bool refused;
  } rows[] = {
      {L"C:\\Games\\Norvane", L"C:\\Games\\Norvane", L"C:\\Games\\Norvane", false},
      {L"C:\\Games\\Norvane", L"c:/games/norvane/", L"C:\\Games\\Norvane", false},
      {L"C:\\Games\\Norvane", L"", L"C:\\Games\\Norvane", false},  // another admin's settings
      {L"C:\\Games\\Norvane", L"C:\\Windows\\System32", L"", true},
      {L"", L"C:\\Windows\\System32", L"", true},  // no entry: the setting alone is not trusted
      {L"", L"", L"", false},
  };
  for (const Row& row : rows) {
    const UninstallFolderChoice choice = ChooseUninstallFolder(row.entry, row.setting);
    EXPECT_EQ(choice.folder, row.folder) << row.entry << L" | " << row.setting;
    EXPECT_EQ(choice.refused, row.refused) << row.entry << L" | " << row.setting;
  }
}

TEST(UninstallEntry, EstimatedSizeRoundsDownAndCaps) {
  EXPECT_EQ(EstimatedSizeKiB(0), 0u);
  EXPECT_EQ(EstimatedSizeKiB(1023), 0u);
  EXPECT_EQ(EstimatedSizeKiB(2048), 2u);
  EXPECT_EQ(EstimatedSizeKiB(0xFFFFFFFFull * 1024 + 1023), 0xFFFFFFFFu);
  EXPECT_EQ(EstimatedSizeKiB(0x100000000ull * 1024), 0xFFFFFFFFu);
  EXPECT_EQ(EstimatedSizeKiB(~0ull), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace nv
