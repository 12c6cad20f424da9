// SHA-256 of a file through CNG, as 64 lower-case hex characters.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace nv {

// Empty on any failure, and when stopFlag is raised before the last read.
// Every hashed byte is added to progressCounter (may be null, as stopFlag).
std::string Sha256OfFile(std::wstring_view path, std::atomic<std::int64_t>* progressCounter,
                         const std::atomic<bool>* stopFlag);

}  // namespace nv
