#include <gtest/gtest.h>

#include "bridge/dispatcher/install_folder.h"

namespace nv {
namespace {

TEST(NormalizeInstallFolder, CleansWhatPlayersType) {
  EXPECT_EQ(NormalizeInstallFolder(L"\"C:/Games/Norvane/\"  "), L"C:\\Games\\Norvane");
  EXPECT_EQ(NormalizeInstallFolder(L"  D:\\Spiele\\Norvane\\\\\\"), L"D:\\Spiele\\Norvane");
  EXPECT_EQ(NormalizeInstallFolder(L"D:\\"), L"D:\\Norvane");
  EXPECT_EQ(NormalizeInstallFolder(L"D:\\Games \\ \\"), L"D:\\Games");
  EXPECT_EQ(NormalizeInstallFolder(L"\\\\srv\\x) \\"), L"\\\\srv\\x)");
  EXPECT_EQ(NormalizeInstallFolder(L"d:/"), L"d:\\Norvane");
  EXPECT_EQ(NormalizeInstallFolder(L"\\\\server\\share\\Norvane"), L"\\\\server\\share\\Norvane");
  EXPECT_EQ(NormalizeInstallFolder(L"E:\\Caf\u00e9 \u65e5\u672c"), L"E:\\Caf\u00e9 \u65e5\u672c");
}

TEST(NormalizeInstallFolder, RefusesWhatIsNoAbsoluteFolder) {
  for (const wchar_t* bad : {L"", L"  \"\" ", L"D:", L"Games\\Norvane", L"C:\\Games\\a:b", L"1:\\Games",
                             L"C:Games", L"\\Games", L"C:\\Games\\N?", L"C:\\Games\\N*", L"C:\\a<b",
                             L"C:\\a>b", L"C:\\a|b", L"C:\\a\"b", L"C:\\a\tb", L"C:\\a\x01" L"b",
                             L"\\\\\\", L"\\\\\\share", L"\\\\ \\",
                             // device paths, and names Windows would cut short
                             L"\\\\.\\PhysicalDrive0", L"\\\\.\\pipe\\x", L"\\\\.\\GLOBALROOT\\Device\\x",
                             L"\\\\?\\C:\\Games", L"//./C:/Games", L"C:\\Games.\\Norvane", L"C:\\Norvane.",
                             L"C:\\Norvane...", L"C:\\Games \\Norvane", L"C:\\Games\\..\\Windows",
                             L"C:\\.\\Norvane", L"\\\\srv.\\share"}) {
    EXPECT_EQ(NormalizeInstallFolder(bad), L"") << bad;
  }
}

TEST(InstallFolderForPick, KeepsNorvaneGameAndEmptyFoldersAppendsOtherwise) {
  EXPECT_EQ(InstallFolderForPick(L"E:\\Stuff", {}), L"E:\\Stuff\\Norvane");
  EXPECT_EQ(InstallFolderForPick(L"E:\\Stuff\\", {}), L"E:\\Stuff\\Norvane");
  EXPECT_EQ(InstallFolderForPick(L"C:\\", {}), L"C:\\Norvane");
  EXPECT_EQ(InstallFolderForPick(L"E:\\Games\\NORVANE", {}), L"E:\\Games\\NORVANE");
  EXPECT_EQ(InstallFolderForPick(L"E:\\Games\\Norvane2", {}), L"E:\\Games\\Norvane2\\Norvane");
  EXPECT_EQ(InstallFolderForPick(L"E:\\Old", {true, false}), L"E:\\Old");
  EXPECT_EQ(InstallFolderForPick(L"E:\\New", {false, true}), L"E:\\New");
}

}  // namespace
}  // namespace nv
