// File names as NTFS sees them, for the manifest rules: which UTF-8 is text
// at all, and which two names are one file. Pure rules, no locale.
#pragma once

#include <string>
#include <string_view>

#include "sync/fs/path_text.h"  // NtfsUpcase

namespace nv {

// Well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF. Anything else has no UTF-16 name on
// disk, and two different byte strings could turn into the same one.
bool IsValidUtf8(std::string_view text);

// The code points of a valid UTF-8 name after NtfsUpcase.
std::u32string NtfsUpcased(std::string_view name);

// -1, 0 or 1 as two valid UTF-8 names compare code point by code point after
// NtfsUpcase: 0 exactly when NTFS would open the same file for both.
int CompareNtfsNames(std::string_view a, std::string_view b);

}  // namespace nv
