// What the system tests share: reading back registry values and shortcuts
// as Windows stores them, and the stand-in program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sync/content_types.h"

namespace nv::test {

bool FileExists(const std::wstring& path);    // a file, not a folder
bool FolderExists(const std::wstring& path);
std::uint64_t SizeOf(const std::wstring& path);

// The stand-in program beside this test executable: run as norvane.exe it
// records its command line and working folder in launch_record.txt beside
// itself; "--linger" keeps it running; "--register folder 0|1" and
// "--remove folder" run RegisterInstall and RemoveInstallation from wherever
// it was copied to.
std::wstring HelperPath();
bool CopyHelperTo(const std::wstring& path);
// Runs a program and waits for it; its exit code, or -1 when it did not start
// or end within timeoutMs.
int RunAndWait(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs = 60000);

struct RegValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  std::wstring Text() const;  // REG_SZ data without its NUL
  DWORD Dword() const;
};
std::optional<RegValue> ReadRegValue(HKEY hive, const wchar_t* key, const wchar_t* name);
// Value names in the order the registry enumerates them.
std::vector<std::wstring> RegValueNames(HKEY hive, const wchar_t* key);
bool RegKeyExists(HKEY hive, const wchar_t* key);
void SetRegValue(HKEY hive, const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
                 DWORD size);
// HKCU\Software\Norvane and the uninstall entry gone.
void ClearLauncherRegistry();

struct ShortcutInfo {
  std::wstring target;
  std::wstring workingDir;
  std::wstring iconPath;
  int iconIndex = -1;
  std::wstring description;
};
// Loads a .lnk through IShellLinkW (COM must be initialised).
std::optional<ShortcutInfo> ReadShortcut(const std::wstring& linkPath);

// launcher_state.txt with these paths (size each), written by the real saver.
bool WriteState(const std::wstring& folder, const std::vector<std::pair<std::string, std::int64_t>>& files,
                const std::string& version = "");

bool SameText(const std::wstring& a, const std::wstring& b);  // ignoring case

}  // namespace nv::test
