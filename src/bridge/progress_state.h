// Internal to the bridge: what delivery and the progress report share.
#pragma once

#include <string>
#include <string_view>

namespace nv {

// Window thread: sets the cache entry the replay will send for type.
void CacheMessage(std::string_view type, const std::string& json);

}  // namespace nv
