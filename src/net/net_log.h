// The network debug log: one line "[nv_net] " + text per event, to the
// debugger output only. There is no log file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nv {

void NetLog(std::wstring_view text);

// Test seam: while a sink is set, each line's text (without the prefix) is
// also handed to it. Production leaves it empty.
using NetLogSink = std::function<void(const std::wstring& text)>;
void SetNetLogSink(NetLogSink sink);

}  // namespace nv
