// Every sentence the player reads, in one place: the page's errors, toasts
// and step names, the runtimes' names and progress lines, the message boxes
// and the folder picker. The wording is the launcher's own: change it here
// and nowhere else.
//
// A "{}" stands for a piece put in by FillText, in order (a name, a number, a
// second sentence). The Node tests read the constants straight from this
// file (tests/support/player_texts.mjs), so each one stays an inline
// constexpr char or wchar_t array of plain string literals.
//
// No Windows header: the texts are checked on every flavour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace nv {

// ---------------------------------------------------------------------------
// Page commands and the job engine

inline constexpr char kInvalidFolderText[] =
    "Please choose a valid folder (for example C:\\Games\\Norvane).";
inline constexpr char kBusyText[] = "Please wait until the current task finishes.";
inline constexpr char kWorkerThreadFailedText[] = "Could not start a worker thread.";
inline constexpr char kUnexpectedErrorText[] = "Unexpected error.";
inline constexpr char kUnexpectedErrorWhyText[] = "Unexpected error: {}";
inline constexpr char kPausedText[] = "Paused. Press Resume to continue where it stopped.";
inline constexpr char kRepairStoppedText[] = "Repair stopped.";
inline constexpr char kHdCancelledText[] = "4K HD pack download cancelled.";
inline constexpr wchar_t kFolderPickerTitle[] = L"Choose where to install Norvane";

// ---------------------------------------------------------------------------
// Start-up check, install, repair and the HD pack

inline constexpr char kGameFilesStepName[] = "Game files";
inline constexpr char kShortcutsStepName[] = "Shortcuts";
inline constexpr char kCheckFailedText[] = "Could not check for updates. {}";
inline constexpr char kFolderNotWritableText[] =
    "Can't create or write to the folder \"{}\". Pick another folder.";
inline constexpr char kFolderForeignOwnerText[] =
    "The folder \"{}\" belongs to another account, which could change the game behind your back. "
    "Pick another folder.";
inline constexpr char kFolderForeignLinkText[] =
    "The folder \"{}\" is, or lies behind, a link another account made, which could send the game's "
    "files anywhere. Pick another folder.";
inline constexpr char kPrerequisiteFailedText[] =
    "{} could not be installed. The game may not start without it; Repair tries again.";
inline constexpr char kRegistrationFailedText[] =
    "The shortcuts / Windows uninstall entry could not be created. The game works anyway.";
inline constexpr char kInstalledText[] = "Norvane is installed. Have fun!";
inline constexpr char kRepairAllFineText[] = "Repair finished: every file is fine.";
inline constexpr char kRepairFixedText[] = "Repair finished: {} file(s) fixed.";
inline constexpr char kHdInstalledText[] = "4K HD pack installed.";
inline constexpr char kHdRemovedText[] = "4K HD pack removed.";
inline constexpr char kHdCloseGameText[] = "Close the game first, then turn the 4K HD pack off.";
inline constexpr char kHdNotRemovedText[] =
    "Some HD files could not be removed (in use or blocked by an antivirus). They are no longer "
    "used.";
inline constexpr char kHdDownloadFailedText[] =
    "The 4K HD pack could not be downloaded completely. {} (It tries again at the next start.)";

// ---------------------------------------------------------------------------
// Content synchronisation

inline constexpr char kServerUnreachableText[] =
    "Can't reach the update server. Check your internet connection and try again.";
// The server answered, but no mirror had a manifest signed with the studio's
// release key (or only an older release than the one installed): told apart
// from an unreachable server so that a studio knows to look at its mirrors.
inline constexpr char kUnsignedReleaseText[] =
    "The update server offered files that are not signed by Norvane, so nothing was "
    "downloaded. Try again later; if this keeps happening, contact support.";
inline constexpr char kFilesInUseText[] = "Some files are in use. Close the game, then try again.";
inline constexpr char kDownloadFailedText[] =
    "Some files could not be downloaded. Check your internet connection (and that your "
    "antivirus is not blocking the launcher), then try again.";
inline constexpr char kStateNotSavedText[] =
    "Could not save the launcher's file list (disk full?). The next start checks the files "
    "again.";
inline constexpr char kNotEnoughDiskSpaceText[] =
    "Not enough disk space: the download needs {}, the drive has {} free. Free some space or "
    "pick another folder.";
inline constexpr char kChangedAfterDownloadText[] =
    "{} file(s) were changed or removed right after downloading - usually an antivirus. Add the "
    "game folder as an exception, then use Repair.";

// ---------------------------------------------------------------------------
// Starting the game and uninstalling it

inline constexpr char kGameMissingText[] =
    "norvane.exe is missing (an antivirus may have removed it). Use Repair.";
inline constexpr char kGameStartFailedText[] =
    "The game could not be started. If your antivirus blocked norvane.exe, allow it or use Repair.";
inline constexpr char kNotInstalledText[] = "The game is not installed.";
inline constexpr char kCloseGameFirstText[] = "Close the game first, then uninstall.";
inline constexpr wchar_t kUninstallConfirmText[] =
    L"Uninstall Norvane from\n{} ?\n\nThe game files are removed. Your screenshots are kept.";
inline constexpr wchar_t kUninstallFolderMismatchText[] =
    L"Your settings name another game folder than the one Norvane was installed to ({}). Nothing "
    L"was removed. Repair the game from the launcher, then uninstall again.";
inline constexpr wchar_t kUninstallForeignLinkText[] =
    L"Nothing was removed: the game folder {} is, or lies behind, a link another account made, which "
    L"could turn the removal against other files.";
inline constexpr wchar_t kGameRunningRetryText[] =
    L"Norvane is running. Close the game, then press Retry.";
inline constexpr wchar_t kRemovedText[] =
    L"Norvane was removed from your PC.\nYour screenshots were kept.";
inline constexpr wchar_t kIncompleteCommandText[] =
    L"Norvane was removed, but some files could not be deleted. You can delete the game folder "
    L"by hand.";
inline constexpr wchar_t kIncompleteJobText[] =
    L"Norvane was removed, but some files could not be deleted (in use or blocked). You can "
    L"delete the game folder by hand.";
inline constexpr wchar_t kShortcutDescription[] = L"Norvane - launcher, updates and PLAY";

// ---------------------------------------------------------------------------
// The Microsoft runtimes: their names, and what installing one reports

inline constexpr char kVcRedistName[] = "Visual C++ 2015-2022 Runtime (x86)";
inline constexpr char kDirectXName[] = "DirectX 9.0c Runtime";
inline constexpr char kWebView2Name[] = "Microsoft Edge WebView2 Runtime";
inline constexpr char kUnknownComponentText[] = "Unknown component: {}";
inline constexpr char kRuntimeDownloadingText[] = "Downloading {}...";
inline constexpr char kRuntimeDownloadFailedText[] =
    "Could not download {}. Check your internet connection.";
inline constexpr char kRuntimeDamagedText[] = "The {} download is damaged. Please try again.";
inline constexpr char kRuntimeInstallingText[] = "Installing {}...";
inline constexpr char kRuntimeFinishingText[] = "Finishing {} setup, please wait...";
inline constexpr char kRuntimeBlockedText[] =
    "Your antivirus blocked the {} installer. Allow it and try again.";
inline constexpr char kRuntimeStartFailedText[] = "Could not start the {} installer (error {}).";
inline constexpr char kRuntimeInstalledText[] = "{} installed.";
inline constexpr char kRuntimeInstalledRestartText[] =
    "{} installed (Windows asks for a restart later).";
inline constexpr char kRuntimeGaveUpText[] =
    "The {} installer did not finish. Please restart your PC and try again.";
inline constexpr char kOtherSetupRunningText[] =
    "Another installation is running in Windows. Wait for it to finish, then try again.";
inline constexpr char kRuntimeSetupFailedText[] = "{} setup failed (code {}).";

// ---------------------------------------------------------------------------
// The window: the WebView2 Runtime questions, closing, the setup window

inline constexpr wchar_t kRuntimeQuestionText[] =
    L"Norvane needs the Microsoft Edge WebView2 Runtime (a free Microsoft component).\n\n"
    L"Download and install it now?";
inline constexpr wchar_t kRuntimeFailedText[] =
    L"The WebView2 Runtime could not be installed automatically.\n\nOpen Microsoft's download page?";
inline constexpr wchar_t kWebViewFailedText[] =
    L"The launcher window could not start (Microsoft Edge WebView2, error {}).\n\n"
    L"Install or repair the Microsoft Edge WebView2 Runtime now?";
inline constexpr wchar_t kCloseDuringDownloadText[] =
    L"A download is running. Close the launcher anyway?\n\n"
    L"It continues where it stopped the next time you open it.";
inline constexpr wchar_t kSetupHeadline[] =
    L"Installing Microsoft Edge WebView2 Runtime (needed by the launcher)...\n\n";
inline constexpr wchar_t kSetupPreparingText[] = L"Preparing...";

// ---------------------------------------------------------------------------
// Builders

// pattern with each "{}" replaced by the next piece, taken as it is (a piece
// holding "{}" is not filled in turn). A "{}" without a piece stays.
std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> pieces);
std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> pieces);

std::string UnexpectedErrorText(const char* what);  // what may be null
std::string CheckFailedText(std::string_view errorText);
std::string FolderNotWritableText(std::string_view folderUtf8);
std::string FolderForeignOwnerText(std::string_view folderUtf8);
std::string FolderForeignLinkText(std::string_view folderUtf8);
std::string PrerequisiteFailedText(std::string_view displayName);
std::string RepairFinishedText(std::int32_t fixed);  // no file fixed: every file was fine
std::string HdDownloadFailedText(std::string_view errorText);
std::string ChangedAfterDownloadText(std::size_t count);
std::wstring UninstallConfirmText(std::wstring_view folder);
std::wstring UninstallFolderMismatchText(std::wstring_view installedFolder);
std::wstring UninstallForeignLinkText(std::wstring_view folder);
// The HRESULT as "0x" and eight upper-case hex digits.
std::wstring WebViewFailedText(std::uint32_t hresult);

}  // namespace nv
