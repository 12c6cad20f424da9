#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "support/temp_folder.h"
#include "sync/file_state.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"

namespace nv {
namespace {

const std::string kHashA(64, 'a');

FileState SampleState(const std::string& version) {
  FileState state;
  state.version = version;
  RecordFileState(state, "data/a.grf", 10, 133500000000000000, kHashA);
  RecordFileState(state, "user.ini", 3, 133500000000000001, "");
  return state;
}

TEST(FileStateFile, SaveThenLoadIntoAFolderNotYetThere) {
  test::TempFolder temp;
  const std::wstring folder = temp / L"new\\game";
  ASSERT_TRUE(SaveFileState(folder, SampleState("v1")));
  EXPECT_EQ(GetFileAttributesW((folder + L"\\launcher_state.txt.tmp").c_str()),
            INVALID_FILE_ATTRIBUTES);
  const FileState back = LoadFileState(folder);
  EXPECT_EQ(back.version, "v1");
  ASSERT_EQ(back.entries().size(), 2u);
  EXPECT_EQ(back.entries()[0].sha256, kHashA);
  EXPECT_EQ(back.entries()[1].mtime, 133500000000000001);

  // Saving again replaces the whole file.
  ASSERT_TRUE(SaveFileState(folder, FileState{}));
  EXPECT_EQ(LoadFileState(folder).entries().size(), 0u);
  EXPECT_EQ(LoadFileState(folder).version, "");
}

TEST(FileStateFile, MissingDamagedOrHugeFilesGiveWhatCanBeRead) {
  test::TempFolder temp;
  EXPECT_TRUE(LoadFileState(temp.path()).entries().empty());

  ASSERT_TRUE(test::WriteTestFile(temp / L"launcher_state.txt",
                                  "version|3\nok|1|2|\nbroken|1|2|zz\n\xff\xfe|1|2|\n"));
  const FileState partial = LoadFileState(temp.path());
  EXPECT_EQ(partial.version, "3");
  ASSERT_EQ(partial.entries().size(), 1u);  // 0xFF 0xFE is no UTF-8: no name of ours
  EXPECT_EQ(partial.entries()[0].path, "ok");

  // 256 MiB or more is not a state file of ours: not even read.
  {
    UniqueFile file(CreateFileW((temp / L"launcher_state.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    LARGE_INTEGER end{};
    end.QuadPart = 0x10000000;
    ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  const FileState huge = LoadFileState(temp.path());
  EXPECT_TRUE(huge.entries().empty());
  EXPECT_EQ(huge.version, "");
}

TEST(FileStateFile, LargeStateReadAcrossPieces) {
  test::TempFolder temp;
  FileState state;
  state.version = "big";
  // About 7 MB: lines cross the 4 MiB reads.
  for (int i = 0; i < 70000; ++i)
    RecordFileState(state, "data/folder" + std::to_string(i % 97) + "/file" + std::to_string(i),
                    i, 133500000000000000 + i, i % 3 ? kHashA : "");
  ASSERT_TRUE(SaveFileState(temp.path(), state));
  FileState back = LoadFileState(temp.path());
  EXPECT_EQ(back.version, "big");
  ASSERT_EQ(back.entries().size(), state.entries().size());
  for (std::size_t i = 0; i < state.entries().size(); ++i) {
    ASSERT_EQ(back.entries()[i].path, state.entries()[i].path) << i;
    ASSERT_EQ(back.entries()[i].mtime, state.entries()[i].mtime) << i;
    ASSERT_EQ(back.entries()[i].sha256, state.entries()[i].sha256) << i;
  }
  ASSERT_NE(FindFileStateEntry(back, "data/folder0/file69937"), nullptr);
  EXPECT_EQ(FindFileStateEntry(back, "data/folder0/file69937")->size, 69937);
}

TEST(FileStateFile, LoadWaitsForABriefLock) {
  test::TempFolder temp;
  ASSERT_TRUE(SaveFileState(temp.path(), SampleState("v1")));
  UniqueFile holder(CreateFileW((temp / L"launcher_state.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.valid());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    holder.reset();
  });
  const FileState state = LoadFileState(temp.path());
  release.join();
  EXPECT_EQ(state.version, "v1");
}

TEST(FileStateFile, SaveWaitsForAHolderThatLetsGo) {
  test::TempFolder temp;
  ASSERT_TRUE(SaveFileState(temp.path(), SampleState("old")));
  UniqueFile holder(CreateFileW((temp / L"launcher_state.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.valid());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    holder.reset();
  });
  const bool saved = SaveFileState(temp.path(), SampleState("new"));
  release.join();
  EXPECT_TRUE(saved);
  EXPECT_EQ(LoadFileState(temp.path()).version, "new");
  EXPECT_EQ(GetFileAttributesW((temp / L"launcher_state.txt.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileStateFile, SaveFailsCleanlyWhenTheHolderStays) {
  test::TempFolder temp;
  ASSERT_TRUE(SaveFileState(temp.path(), SampleState("old")));
  const std::optional<std::string> before = test::ReadAll(temp / L"launcher_state.txt");
  ASSERT_TRUE(before.has_value());
  {
    UniqueFile holder(CreateFileW((temp / L"launcher_state.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.valid());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SaveFileState(temp.path(), SampleState("new")));
    // Five attempts with four pauses of 250 ms in between.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  }
  EXPECT_EQ(GetFileAttributesW((temp / L"launcher_state.txt.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(test::ReadAll(temp / L"launcher_state.txt"), before);
}

TEST(FileStateFile, SaveFailsWhenTheFolderCannotBeMade) {
  test::TempFolder temp;
  ASSERT_TRUE(test::WriteTestFile(temp / L"file", "x"));
  EXPECT_FALSE(SaveFileState(temp / L"file\\game", SampleState("v")));
}

}  // namespace
}  // namespace nv
