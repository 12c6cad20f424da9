// Detection of the three runtimes against the test prefix's registry and
// system folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "bridge/player_texts.h"
#include "prereq/prerequisites.h"
#include "support/registry_cleanup.h"
#include "support/temp_folder.h"

namespace nv {
namespace {

using test::ScopedRegistryKey;

constexpr wchar_t kVcKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
constexpr wchar_t kClientKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

TEST(VcRuntimeDetection, EitherRegistryViewCountsOnlyAsDwordOne) {
  ScopedRegistryKey view32(HKEY_LOCAL_MACHINE, kVcKey, KEY_WOW64_32KEY);
  ScopedRegistryKey view64(HKEY_LOCAL_MACHINE, kVcKey, KEY_WOW64_64KEY);
  EXPECT_FALSE(IsPrerequisiteInstalled("vcredist"));

  ASSERT_TRUE(view64.SetDword(L"Installed", 1));
  EXPECT_TRUE(IsPrerequisiteInstalled("vcredist"));  // the 64-bit view alone is enough

  ASSERT_TRUE(view64.SetDword(L"Installed", 0));
  EXPECT_FALSE(IsPrerequisiteInstalled("vcredist"));
  ASSERT_TRUE(view64.SetString(L"Installed", L"1"));  // a string "1" is not the DWORD
  EXPECT_FALSE(IsPrerequisiteInstalled("vcredist"));
  ASSERT_TRUE(view64.SetDword(L"Installed", 2));
  EXPECT_FALSE(IsPrerequisiteInstalled("vcredist"));

  ASSERT_TRUE(view32.SetDword(L"Installed", 1));
  EXPECT_TRUE(IsPrerequisiteInstalled("vcredist"));
}

class DirectXFiles {
 public:
  DirectXFiles() {
    wchar_t buffer[MAX_PATH];
    UINT n = GetSystemWow64DirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) n = GetSystemDirectoryW(buffer, MAX_PATH);
    folder_.assign(buffer, n);
    Remove();
  }
  ~DirectXFiles() { Remove(); }
  void Add(const wchar_t* name) { test::WriteTestFile(folder_ + L"\\" + name, "MZ"); }
  const std::wstring& folder() const { return folder_; }
  void Remove() {
    for (const wchar_t* name : {L"d3dx9_43.dll", L"d3dx9_42.dll", L"xinput1_3.dll"}) {
      const std::wstring path = folder_ + L"\\" + name;
      DeleteFileW(path.c_str());
      RemoveDirectoryW(path.c_str());
    }
  }

 private:
  std::wstring folder_;
};

TEST(DirectXDetection, AllThreeFilesInThe32BitSystemFolder) {
  DirectXFiles files;
  EXPECT_FALSE(IsPrerequisiteInstalled("directx"));
  files.Add(L"d3dx9_43.dll");
  files.Add(L"d3dx9_42.dll");
  EXPECT_FALSE(IsPrerequisiteInstalled("directx"));  // xinput1_3.dll missing
  ASSERT_TRUE(CreateDirectoryW((files.folder() + L"\\xinput1_3.dll").c_str(), nullptr));
  EXPECT_FALSE(IsPrerequisiteInstalled("directx"));  // a folder is not the file
  RemoveDirectoryW((files.folder() + L"\\xinput1_3.dll").c_str());
  files.Add(L"xinput1_3.dll");
  EXPECT_TRUE(IsPrerequisiteInstalled("directx"));
}

TEST(WebView2Detection, UpdaterVersionValuesInEveryPlace) {
  ScopedRegistryKey machine32(HKEY_LOCAL_MACHINE, kClientKey, KEY_WOW64_32KEY);
  ScopedRegistryKey machine64(HKEY_LOCAL_MACHINE, kClientKey, KEY_WOW64_64KEY);
  ScopedRegistryKey user(HKEY_CURRENT_USER, kClientKey);
  EXPECT_FALSE(IsPrerequisiteInstalled("webview2"));

  ASSERT_TRUE(machine32.SetString(L"pv", L"0.0.0.0"));
  EXPECT_FALSE(IsPrerequisiteInstalled("webview2"));
  ASSERT_TRUE(machine64.SetString(L"pv", L""));
  EXPECT_FALSE(IsPrerequisiteInstalled("webview2"));
  ASSERT_TRUE(user.SetString(L"pv", L"131.0.2903.146"));
  EXPECT_TRUE(IsPrerequisiteInstalled("webview2"));  // a per-user install beside a broken machine key
}

TEST(PrerequisiteDetection, UnknownIdsAreNeverInstalledAndTheListKeepsTableOrder) {
  EXPECT_FALSE(IsPrerequisiteInstalled("physx"));
  EXPECT_FALSE(IsPrerequisiteInstalled(""));
  ScopedRegistryKey view64(HKEY_LOCAL_MACHINE, kVcKey, KEY_WOW64_64KEY);
  ScopedRegistryKey view32(HKEY_LOCAL_MACHINE, kVcKey, KEY_WOW64_32KEY);
  ASSERT_TRUE(view64.SetDword(L"Installed", 1));
  DirectXFiles noDirectX;
  const auto list = ListPrerequisites();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].id, "vcredist");
  EXPECT_EQ(list[0].name, kVcRedistName);
  EXPECT_TRUE(list[0].installed);
  EXPECT_EQ(list[1].id, "directx");
  EXPECT_FALSE(list[1].installed);
  EXPECT_EQ(list[2].id, "webview2");
}

}  // namespace
}  // namespace nv
