// Internal to the bridge: what delivery and the progress report share.
#pragma once

#include <string>

#include "bridge/nv_api.h"

namespace nv {

// Window thread: sets the cache entry the replay will send for type.
void CacheMessage(MessageType type, const std::string& json);

}  // namespace nv
