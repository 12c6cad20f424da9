// ReportState under Wine: the folder shown and its free space.
#include <gtest/gtest.h>

#include <windows.h>

#include "bridge/nv_api.h"
#include "support/page_recorder.h"
#include "support/temp_folder.h"
#include "sync/fs/fs_helpers.h"

namespace nv {
namespace {

std::string DrainOneState(test::PageRecorder& page) {
  SetPageReady(true);
  DrainOutbox();
  EXPECT_EQ(page.messages().size(), 1u);
  return page.messages().empty() ? std::string() : page.messages().back();
}

std::int64_t FreeMember(const std::string& json) {
  const std::size_t at = json.find("\"freeBytes\":");
  return at == std::string::npos ? -2 : std::stoll(json.substr(at + 12));
}

TEST(ReportState, EmptyFolderReportsTheDefaultFolderAndItsDriveSpace) {
  test::PageRecorder page;
  const StatusRecord saved = status;
  status = StatusRecord{};
  ReportState(Screen::kInstall, false, false);
  const std::string json = DrainOneState(page);
  status = saved;

  EXPECT_NE(json.find("\"dir\":\"C:\\\\Games\\\\Norvane\""), std::string::npos) << json;
  EXPECT_EQ(CurrentScreen(), Screen::kInstall);
  // C:\Games\Norvane does not exist in the test prefix: C:\ is measured.
  ULARGE_INTEGER free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &free, nullptr, nullptr));
  const std::int64_t reported = FreeMember(json);
  EXPECT_GT(reported, 0);
  // The disk may change a little between the two measurements.
  EXPECT_LT(std::llabs(reported - static_cast<std::int64_t>(free.QuadPart)), 64LL << 20);
}

TEST(ReportState, InstallFolderFlagsAndScreen) {
  test::PageRecorder page;
  test::TempFolder folder;
  const StatusRecord saved = status;
  status = StatusRecord{};
  status.installDir = folder.path() + L"\\not\\there\\yet";
  status.hdEnabled = true;
  status.contentVersion = "20261105021000";
  ReportState(Screen::kUpdating, true, false);
  const std::string json = DrainOneState(page);
  status = saved;

  EXPECT_NE(json.find("\"dir\":" + JsonString(ToUtf8(folder.path() + L"\\not\\there\\yet"))),
            std::string::npos);
  EXPECT_GT(FreeMember(json), 0);  // measured on the temp folder
  EXPECT_TRUE(json.ends_with(",\"paused\":1}")) << json;
  EXPECT_NE(json.find("\"hd\":1,"), std::string::npos);
  EXPECT_EQ(CurrentScreen(), Screen::kUpdating);
}

TEST(ReportState, UnmeasurableFolderReportsMinusOne) {
  test::PageRecorder page;
  const StatusRecord saved = status;
  status = StatusRecord{};
  status.installDir = L"Q:\\Norvane";  // no such drive in the prefix
  ReportState(Screen::kReady, false, true);
  const std::string json = DrainOneState(page);
  status = saved;
  EXPECT_EQ(FreeMember(json), -1) << json;
  EXPECT_TRUE(json.ends_with(",\"checking\":1}"));
}

}  // namespace
}  // namespace nv
