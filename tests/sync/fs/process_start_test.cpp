// Starting a program: the working folder, a hidden start with standard input
// from a pipe, and the error of a failed start.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/temp_folder.h"
#include "sync/fs/process_start.h"
#include "sync/fs/unique_handle.h"

namespace nv {
namespace {

std::wstring Interpreter() {
  wchar_t system[MAX_PATH];
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system, n) + L"\\cmd.exe";
}

DWORD ExitCodeAfterEnd(const StartedProcess& started) {
  if (WaitForSingleObject(started.process.get(), 20000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(started.process.get(), &code);
  return code;
}

TEST(StartProcess, RunsInTheGivenFolder) {
  test::TempFolder folder;
  ASSERT_TRUE(test::WriteTestFile(folder / L"marker.txt", "x"));
  const std::wstring line = L"cmd.exe /c if exist marker.txt (exit 3) else (exit 4)";
  const StartedProcess inFolder = StartProcess(Interpreter(), line, {folder.path()});
  ASSERT_TRUE(inFolder);
  EXPECT_EQ(inFolder.error, 0u);
  EXPECT_EQ(ExitCodeAfterEnd(inFolder), 3u);
}

TEST(StartProcess, AHiddenStartReadsTheHandedDownInput) {
  UniqueKernelHandle readEnd;
  UniqueKernelHandle writeEnd;
  ASSERT_TRUE(CreatePipe(readEnd.put(), writeEnd.put(), nullptr, 0));
  ASSERT_TRUE(SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
  const char input[] = "exit 9\r\n";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(writeEnd.get(), input, sizeof input - 1, &written, nullptr));
  writeEnd.reset();  // end of input after the line

  const StartedProcess started = StartProcess(Interpreter(), L"cmd.exe /q", {{}, true, readEnd.get()});
  ASSERT_TRUE(started);
  EXPECT_EQ(ExitCodeAfterEnd(started), 9u);
}

TEST(StartProcess, AMissingProgramGivesItsError) {
  test::TempFolder folder;
  const StartedProcess started = StartProcess(folder / L"missing.exe", L"missing.exe");
  EXPECT_FALSE(started);
  EXPECT_FALSE(started.process.valid());
  EXPECT_TRUE(started.error == ERROR_FILE_NOT_FOUND || started.error == ERROR_PATH_NOT_FOUND) << started.error;
}

}  // namespace
}  // namespace nv
