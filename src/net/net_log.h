// The network debug log: one line "[nv_net] " + text per event, to the
// debugger output only. There is no log file.
#pragma once

#include <string_view>

namespace nv {

void NetLog(std::wstring_view text);

}  // namespace nv
