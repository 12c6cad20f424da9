// Test support for the transfers: not for production code.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

// LoadMirrorList from another address than the built-in server's.
std::vector<std::string> LoadMirrorListFrom(std::string_view mirrorsUrl);

// Stands in for the pause between fruitless passes over the mirrors, given
// its length; nullptr puts the real pause back.
using BackoffPauseFunction = void (*)(std::uint32_t ms, const std::atomic<bool>* stopFlag);
void SetBackoffPauseForTesting(BackoffPauseFunction pause);

}  // namespace nv
