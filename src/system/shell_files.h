// Small file and shell operations shared by registration, game start,
// self-update and uninstall. Results are values; nothing here reports.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <string_view>

#include "sync/fs/product_name.h"

namespace nv {

inline constexpr wchar_t kGameExeName[] = L"norvane.exe";
inline constexpr wchar_t kLauncherCopyName[] = L"Norvane-Launcher.exe";
inline constexpr wchar_t kGameIconName[] = L"norvane.ico";
inline constexpr wchar_t kShortcutName[] = L"Norvane.lnk";
inline constexpr const wchar_t* kStartMenuFolderName = kProductName;

// The known folder, or empty.
std::wstring KnownFolderPath(REFKNOWNFOLDERID folderId);

// Both paths open and name the same file (volume and file index); when either
// cannot be opened, a case-insensitive comparison of the two texts decides.
bool SameFile(std::wstring_view a, std::wstring_view b);

// True when the file is gone afterwards or was never there; false when it
// stayed locked (kDeleteRetry) or could not be deleted.
bool DeleteFileRetrying(std::wstring_view path, std::wstring_view anchor = {});

// Replaces the target (write through); a locked file is waited for within
// kExecutableRetry: the launcher's copy and its self-update move with it.
bool MoveFileRetrying(std::wstring_view from, std::wstring_view to);

// A shell link to target. COM must be initialised on the calling thread.
bool CreateShortcut(std::wstring_view linkPath, std::wstring_view target,
                    std::wstring_view workingDir, std::wstring_view iconPath);

}  // namespace nv
