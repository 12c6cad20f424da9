// DATA.INI and DATA.INI.full in a real game folder.
#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "system/game_client/client_data_list.h"
#include "system/system_support.h"

namespace nv {
namespace {

using test::FileExists;
using test::ReadAll;
using test::TempFolder;
using test::WriteTestFile;

constexpr char kShipped[] =
    "[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=custom_hd2.grf\r\n3=other.grf\r\n";

class DataList : public ::testing::Test {
 protected:
  std::wstring Ini() const { return game_ / L"DATA.INI"; }
  std::wstring Full() const { return game_ / L"DATA.INI.full"; }
  TempFolder game_;
};

TEST_F(DataList, BothArchivesMissing) {
  ASSERT_TRUE(WriteTestFile(Ini(), kShipped));
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Full()), std::string(kShipped));
  EXPECT_EQ(ReadAll(Ini()), std::string("[data]\r\n0=data.grf\r\n1=other.grf\r\n"));
  EXPECT_FALSE(FileExists(game_ / L"DATA.INI.tmp"));

  // Applied again, the reduced list names no HD archive: nothing changes.
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Full()), std::string(kShipped));
  EXPECT_EQ(ReadAll(Ini()), std::string("[data]\r\n0=data.grf\r\n1=other.grf\r\n"));

  RestoreFullClientDataList(game_.path());
  EXPECT_EQ(ReadAll(Ini()), std::string(kShipped));
  EXPECT_FALSE(FileExists(Full()));
}

TEST_F(DataList, OnlySecondArchiveMissing) {
  ASSERT_TRUE(WriteTestFile(Ini(), kShipped));
  ASSERT_TRUE(WriteTestFile(game_ / L"custom_hd1.grf", "hd"));
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()),
            std::string("[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=other.grf\r\n"));
  EXPECT_EQ(ReadAll(Full()), std::string(kShipped));
}

TEST_F(DataList, BothPresentDeletesAStaleFullCopy) {
  ASSERT_TRUE(WriteTestFile(Ini(), kShipped));
  ASSERT_TRUE(WriteTestFile(Full(), "stale"));
  ASSERT_TRUE(WriteTestFile(game_ / L"custom_hd1.grf", "hd"));
  ASSERT_TRUE(WriteTestFile(game_ / L"custom_hd2.grf", "hd"));
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()), std::string(kShipped));
  EXPECT_FALSE(FileExists(Full()));
}

TEST_F(DataList, ArchiveThatIsAFolderCountsAsMissing) {
  ASSERT_TRUE(WriteTestFile(Ini(), "[data]\n0=custom_hd1.grf\n1=custom_hd2.grf\n"));
  ASSERT_TRUE(WriteTestFile(game_ / L"custom_hd1.grf", "hd"));
  CreateDirectoryW((game_ / L"custom_hd2.grf").c_str(), nullptr);
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()), std::string("[data]\n0=custom_hd1.grf\n"));
}

TEST_F(DataList, NamesAsWrittenAndRelativePaths) {
  ASSERT_TRUE(WriteTestFile(Ini(),
                            "[data]\n0=data.grf\n5 = Custom_HD1.GRF\n6=hd/custom_hd2.grf\n"
                            "7=hd\\custom_hd1.grf\nno final ending"));
  ASSERT_TRUE(WriteTestFile(game_ / L"Custom_HD1.GRF", "hd"));
  CreateDirectoryW((game_ / L"hd").c_str(), nullptr);
  ASSERT_TRUE(WriteTestFile(game_ / L"hd\\custom_hd2.grf", "hd"));
  ApplyClientDataList(game_.path(), true);
  // hd\custom_hd1.grf is the only one missing; the last line has no ending.
  EXPECT_EQ(ReadAll(Ini()),
            std::string("[data]\n0=data.grf\n1=Custom_HD1.GRF\n2=hd/custom_hd2.grf\nno final ending"));
}

TEST_F(DataList, KeysThatAreNotDigitsStay) {
  const std::string text = "[data]\r\na1=custom_hd1.grf\r\n0=custom_hd2.grf\r\n";
  ASSERT_TRUE(WriteTestFile(Ini(), text));
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()), std::string("[data]\r\na1=custom_hd1.grf\r\n"));
  EXPECT_EQ(ReadAll(Full()), text);
}

TEST_F(DataList, FailedWritePutsTheListBack) {
  ASSERT_TRUE(WriteTestFile(Ini(), kShipped));
  // A folder where the temporary file must go makes the write fail.
  CreateDirectoryW((game_ / L"DATA.INI.tmp").c_str(), nullptr);
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()), std::string(kShipped));
  EXPECT_FALSE(FileExists(Full()));
}

TEST_F(DataList, HugeMissingOrUnreadableListIsLeftAlone) {
  ApplyClientDataList(game_.path(), true);  // no DATA.INI at all
  EXPECT_FALSE(FileExists(Ini()));
  EXPECT_FALSE(FileExists(Full()));

  std::string huge = kShipped;
  huge.resize(0x100000, ';');  // one byte over the limit
  ASSERT_TRUE(WriteTestFile(Ini(), huge));
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()), huge);
  EXPECT_FALSE(FileExists(Full()));

  std::string binary(kShipped);
  binary += std::string("\0\x01\x02", 3);
  ASSERT_TRUE(WriteTestFile(Ini(), binary));
  ApplyClientDataList(game_.path(), true);
  EXPECT_EQ(ReadAll(Ini()), binary);
  EXPECT_FALSE(FileExists(Full()));
}

TEST(SmallFiles, ReadLimit) {
  TempFolder folder;
  std::string bytes;
  EXPECT_FALSE(ReadSmallFile(folder / L"missing", bytes));
  ASSERT_TRUE(WriteTestFile(folder / L"empty", ""));
  EXPECT_TRUE(ReadSmallFile(folder / L"empty", bytes));
  EXPECT_TRUE(bytes.empty());
  const std::string limit(0xFFFFF, 'x');
  ASSERT_TRUE(WriteTestFile(folder / L"limit", limit));
  EXPECT_TRUE(ReadSmallFile(folder / L"limit", bytes));
  EXPECT_EQ(bytes, limit);
}

}  // namespace
}  // namespace nv
