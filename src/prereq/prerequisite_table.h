// The three Microsoft runtimes the game and the launcher need, and which of
// the launcher's sentences (bridge/player_texts.h) an installation's outcome
// gets. No Windows header: the decisions are tested on Linux too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

struct Prerequisite {
  const char* id;           // "vcredist", "directx", "webview2"
  const char* name;         // display name, from the player's texts
  const char* linkPath;     // path and query below the configured Microsoft host
  const wchar_t* fileName;  // installer file name in the download folder
  const wchar_t* arguments;
};

// The fixed table, in display order.
const std::vector<Prerequisite>& PrerequisiteTable();
const Prerequisite* FindPrerequisite(std::string_view id);
// The https download link: configured host + fixed path.
std::string PrerequisiteLink(const Prerequisite& row);

inline constexpr std::uint32_t kInstallerGaveUp = 258;  // WAIT_TIMEOUT as an exit code

// Whether a finished installer counts as success, in the order the launcher
// checks it: present now, exit code 0, or one of the Visual C++ installer's
// "already newer" and "restart" codes.
bool InstallerSucceeded(std::string_view id, bool presentNow, std::uint32_t exitCode);

// No installer download may grow past this: the largest real one (Visual
// C++ x86) is about 14 MB. A server or path that sends more is cut off.
inline constexpr std::int64_t kMaxInstallerBytes = 64ll * 1024 * 1024;

// An installer's signing chain must end in one of these roots, given as the
// root certificate's SHA-1 thumbprint in hex (either case): Microsoft's own
// roots, and in the test builds the per-build test root instead of nothing.
bool IsPinnedSigningRoot(std::string_view sha1Hex);

// "Norvane-" and the 16 hex digits of seed: one install's staging folder.
std::wstring StagingFolderName(std::uint64_t seed);

// The sentences reported to the player.
std::string UnknownComponentSentence(std::string_view id);
std::string DownloadingSentence(const Prerequisite& row);
std::string DownloadFailedSentence(const Prerequisite& row);
std::string DamagedDownloadSentence(const Prerequisite& row);
std::string InstallingSentence(const Prerequisite& row);
std::string FinishingSentence(const Prerequisite& row);
std::string StartFailedSentence(const Prerequisite& row, std::uint32_t startError);
std::string InstalledSentence(const Prerequisite& row, std::uint32_t exitCode);
std::string SetupFailedSentence(const Prerequisite& row, std::uint32_t exitCode);

}  // namespace nv
