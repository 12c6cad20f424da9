#include <gtest/gtest.h>

#include <set>

#include "sync/fs/path_text.h"

namespace nv {
namespace {

TEST(LongPath, PrefixFromTwoHundredFortyEightUnits) {
  const std::wstring base = L"C:\\Games\\";
  const std::wstring p247 = base + std::wstring(247 - base.size(), L'a');
  const std::wstring p248 = base + std::wstring(248 - base.size(), L'a');
  EXPECT_EQ(LongPath(p247), p247);
  EXPECT_EQ(LongPath(p248), L"\\\\?\\" + p248);

  const std::wstring already = L"\\\\?\\C:\\" + std::wstring(300, L'b');
  EXPECT_EQ(LongPath(already), already);

  const std::wstring unc = L"\\\\server\\share\\" + std::wstring(300 - 15, L'c');
  ASSERT_EQ(unc.size(), 300u);
  EXPECT_EQ(LongPath(unc), L"\\\\?\\UNC\\server\\share\\" + std::wstring(285, L'c'));

  // Nothing else is normalised: forward slashes and relative paths stay.
  const std::wstring slashes = L"C:/" + std::wstring(260, L'd');
  EXPECT_EQ(LongPath(slashes), L"\\\\?\\" + slashes);
  EXPECT_EQ(LongPath(L""), L"");
}

// Final paths come back with \\?\ (or \\?\UNC\) whatever the path opened,
// and in the case the disk holds.
TEST(NtfsPaths, SameAndBelowAfterTheLongPrefixAndNtfsCase) {
  const std::wstring longName(300, L'x');
  struct Row {
    std::wstring folder, path;
    bool same, below;
  } rows[] = {
      {L"C:\\Games\\Norvane", L"\\\\?\\C:\\games\\NORVANE", true, false},
      {L"C:\\Games\\Norvane\\", L"\\\\?\\C:\\Games\\Norvane\\" + longName, false, true},
      {L"\\\\?\\C:\\Games\\" + longName, L"C:\\Games\\" + longName + L"\\data.grf", false, true},
      {L"\\\\server\\share\\Norvane", L"\\\\?\\UNC\\server\\share\\Norvane\\a", false, true},
      {L"\\\\server\\share\\Norvane", L"\\\\?\\unc\\SERVER\\share\\norvane", true, false},
      {L"C:\\Spiele\\\u00c4", L"C:\\spiele\\\u00e4\\x", false, true},  // NTFS folds non-ASCII case too
      {L"C:\\Games\\Norvane", L"C:\\Games\\Norvane2\\a", false, false},
      {L"C:\\Games\\Norvane", L"C:\\Games", false, false},
      {L"C:\\Games\\Norvane", L"D:\\Games\\Norvane\\a", false, false},
      {L"C:\\Games\\Norvane", L"\\\\?\\UNC\\C:\\Games\\Norvane\\a", false, false},
      {L"C:\\Stra\u00dfe", L"C:\\STRASSE", false, false},  // no expansion: one unit is one unit
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsSameNtfsPath(row.folder, row.path), row.same) << row.path;
    EXPECT_EQ(IsBelowNtfsPath(row.folder, row.path), row.below) << row.path;
  }
}

TEST(AsciiLower, OnlyAsciiLettersChange) {
  EXPECT_EQ(AsciiLower("Data/HD1.GRF"), "data/hd1.grf");
  EXPECT_EQ(AsciiLower("\xc3\x89T\xc3\x89"), "\xc3\x89t\xc3\x89");  // É stays
  EXPECT_EQ(AsciiLower("@[`{"), "@[`{");  // the neighbours of A-Z and a-z
}

TEST(JoinGamePath, SeparatorsOnBothSides) {
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X\\", L"data/sub/a.grf"), L"C:\\Games\\X\\data\\sub\\a.grf");
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X//\\", L"//\\a.grf"), L"C:\\Games\\X\\a.grf");
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X", L""), L"C:\\Games\\X");
  EXPECT_EQ(JoinGamePath(L"C:\\Games\\X\\", L"/\\/"), L"C:\\Games\\X");
  EXPECT_EQ(JoinGamePath(L"\\\\srv\\share\\N", L"a b/c.txt"), L"\\\\srv\\share\\N\\a b\\c.txt");
}

TEST(NormalizeFolderAndJoinPath, OneSeparatorBetweenFolderAndName) {
  EXPECT_EQ(NormalizeFolder(L"C:/Games/Norvane//"), L"C:\\Games\\Norvane");
  EXPECT_EQ(NormalizeFolder(L"C:\\\\"), L"C:\\");  // a drive root keeps its backslash
  EXPECT_EQ(NormalizeFolder(L""), L"");
  EXPECT_EQ(JoinPath(L"C:\\Games", L"norvane.exe"), L"C:\\Games\\norvane.exe");
  EXPECT_EQ(JoinPath(L"C:\\", L"norvane.exe"), L"C:\\norvane.exe");
  EXPECT_EQ(JoinPath(L"", L"norvane.exe"), L"norvane.exe");
}

TEST(ParentFoldersToCreate, DrivePaths) {
  using List = std::vector<std::wstring>;
  EXPECT_EQ(ParentFoldersToCreate(L"D:\\a\\b\\c.txt"), List({L"D:\\a", L"D:\\a\\b"}));
  EXPECT_EQ(ParentFoldersToCreate(L"D:/a/b/c.txt"), List({L"D:\\a", L"D:\\a\\b"}));
  EXPECT_EQ(ParentFoldersToCreate(L"D:\\c.txt"), List());
  EXPECT_EQ(ParentFoldersToCreate(L"c.txt"), List());
  EXPECT_EQ(ParentFoldersToCreate(L"\\c.txt"), List());
  EXPECT_EQ(ParentFoldersToCreate(L"rel\\dir\\c.txt"), List({L"rel", L"rel\\dir"}));
}

TEST(ParentFoldersToCreate, UncPathsStartBelowTheShare) {
  using List = std::vector<std::wstring>;
  EXPECT_EQ(ParentFoldersToCreate(L"\\\\srv\\share\\a\\b\\c.txt"),
            List({L"\\\\srv\\share\\a", L"\\\\srv\\share\\a\\b"}));
  EXPECT_EQ(ParentFoldersToCreate(L"\\\\srv\\share\\c.txt"), List());
  EXPECT_EQ(ParentFoldersToCreate(L"\\\\srv\\c.txt"), List());
}

class FakeDisk {
 public:
  explicit FakeDisk(std::set<std::wstring> folders) : folders_(std::move(folders)) {}
  std::optional<std::wstring> Nearest(std::wstring_view path) {
    asked_.clear();
    return NearestExistingFolder(path, [this](const std::wstring& p) {
      asked_.push_back(p);
      return folders_.count(p) > 0;
    });
  }
  std::vector<std::wstring> asked_;

 private:
  std::set<std::wstring> folders_;
};

TEST(NearestExistingFolder, WalksUpToTheNearestExistingAncestor) {
  FakeDisk disk({L"C:\\", L"C:\\Games"});
  EXPECT_EQ(disk.Nearest(L"C:\\Games\\Norvane\\deep"), L"C:\\Games\\");
  EXPECT_EQ(disk.asked_, std::vector<std::wstring>(
                             {L"C:\\Games\\Norvane\\deep", L"C:\\Games\\Norvane", L"C:\\Games"}));
  EXPECT_EQ(disk.Nearest(L"C:/Games/"), L"C:\\Games\\");
  EXPECT_EQ(disk.Nearest(L"C:\\Other"), L"C:\\");
  EXPECT_EQ(disk.Nearest(L"C:\\\\\\"), L"C:\\");
}

TEST(NearestExistingFolder, UnknownWhenNothingExists) {
  FakeDisk disk({L"C:\\"});
  EXPECT_EQ(disk.Nearest(L"Q:\\Norvane"), std::nullopt);  // missing drive root
  EXPECT_EQ(disk.Nearest(L"Q:\\"), std::nullopt);
  EXPECT_EQ(disk.Nearest(L""), std::nullopt);
  EXPECT_EQ(disk.Nearest(L"relative"), std::nullopt);
  EXPECT_EQ(disk.Nearest(L"\\\\srv\\share\\Norvane"), std::nullopt);
}

TEST(NearestExistingFolder, UncShareCountsWhenItExists) {
  FakeDisk disk({L"\\\\srv\\share"});
  EXPECT_EQ(disk.Nearest(L"\\\\srv\\share\\Games\\Norvane"), L"\\\\srv\\share\\");
}

}  // namespace
}  // namespace nv
