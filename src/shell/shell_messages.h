// The shell's own window message beside the shared ones of the bridge.
#pragma once

#include "bridge/window_messages.h"

namespace nv {

// Page commands accepted inside WebView2's message event wait for this.
inline constexpr unsigned kWmPageCommands = kWmApp + 16;

}  // namespace nv
