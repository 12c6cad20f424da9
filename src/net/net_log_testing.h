// Test support for the network log: not for production code.
#pragma once

#include <functional>
#include <string>

namespace nv {

// While a sink is set, each line's text (without the prefix) is also handed
// to it; nullptr or an empty sink stops that.
using NetLogSink = std::function<void(const std::wstring& text)>;
void SetNetLogSink(NetLogSink sink);

}  // namespace nv
