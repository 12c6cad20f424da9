// DATA.INI in the game folder matched to the HD archives really on disk.
// Worker thread only: two data-list operations never overlap.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nv {

// While an HD archive named in DATA.INI is missing, or the HD pack is
// switched off (hdOn false: archives left on disk by a cancel or a failed
// delete count as missing), the shipped list waits as DATA.INI.full and
// DATA.INI lists only what the game should read.
void ApplyClientDataList(const std::wstring& folder, bool hdOn);

// Puts DATA.INI.full back as DATA.INI (before the client files are checked,
// and when the HD pack is removed).
void RestoreFullClientDataList(std::wstring_view folder);

inline constexpr std::uint64_t kSmallFileLimit = 0xFFFFF;  // 1,048,575 bytes

// The whole file, at most kSmallFileLimit bytes.
bool ReadSmallFile(std::wstring_view path, std::string& bytes);

}  // namespace nv
