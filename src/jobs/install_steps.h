// What the jobs tell the page, as pure functions: the steps list of an
// install and the texts built around a name or a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/nv_api.h"

namespace nv {

inline constexpr char kCheckFailedPrefix[] = "Could not check for updates. ";
inline constexpr char kRegistrationFailedText[] =
    "The shortcuts / Windows uninstall entry could not be created. The game works anyway.";
inline constexpr char kInstalledText[] = "Norvane is installed. Have fun!";
inline constexpr char kHdInstalledText[] = "4K HD pack installed.";
inline constexpr char kHdRemovedText[] = "4K HD pack removed.";
inline constexpr char kHdCloseGameText[] = "Close the game first, then turn the 4K HD pack off.";
inline constexpr char kHdNotRemovedText[] =
    "Some HD files could not be removed (in use or blocked by an antivirus). They are no longer "
    "used.";

// The prerequisite that start-up installs before any window; the jobs leave it.
inline constexpr std::string_view kWebView2PrerequisiteId = "webview2";

// One row per prerequisite but WebView2 ("done" when installed, else
// "wait"), then "Game files" and "Shortcuts", both "wait".
std::vector<StepItem> BuildInstallSteps(const std::vector<PrerequisiteStatus>& prerequisites);

// The install screen's need: the client plus, when chosen, the HD pack. The
// totals come from manifests, so the sum saturates instead of overflowing.
std::int64_t InstallNeedBytes(std::int64_t clientBytes, std::int64_t hdBytes, bool hd);

// "Can't create or write to the folder "<folder>". Pick another folder."
std::string FolderNotWritableText(std::string_view folderUtf8);
// "<name> could not be installed. The game may not start without it; ..."
std::string PrerequisiteFailedText(std::string_view displayName);
// "Repair finished: every file is fine." or "Repair finished: N file(s) fixed."
std::string RepairFinishedText(std::int32_t fixed);
// "The 4K HD pack could not be downloaded completely. <why> (It tries ...)"
std::string HdDownloadFailedText(std::string_view errorText);

}  // namespace nv
