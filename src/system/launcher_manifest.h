// The launcher's own line in launcher/manifest.txt, read leniently: the
// self-update only needs the size and hash of Norvane-Launcher.exe, and a
// line it cannot use is passed over. Pure text rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nv {

inline constexpr char kLauncherFileName[] = "Norvane-Launcher.exe";

// Spaces, tabs, CR and LF removed at both ends.
std::string_view TrimSpaceTabCrLf(std::string_view text);

struct LauncherEntry {
  std::int64_t size = 0;  // above 0
  std::string sha256;     // 64 lower-case hex characters
};

// The first line "Norvane-Launcher.exe|size|sha256" (name and hash in any
// case, blanks around fields allowed, further fields ignored) whose size is a
// positive decimal number and whose hash has 64 hex digits. False when the
// text holds no such line.
bool FindLauncherEntry(std::string_view text, LauncherEntry& entry);

}  // namespace nv
