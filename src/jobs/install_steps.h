// What the jobs tell the page, as pure functions: the steps list of an
// install and the need on the install screen. Their sentences are in
// bridge/player_texts.h.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "bridge/nv_api.h"

namespace nv {

// The prerequisite that start-up installs before any window; the jobs leave it.
inline constexpr std::string_view kWebView2PrerequisiteId = "webview2";

// One row per prerequisite but WebView2 (done when installed, else waiting),
// then the game files and the shortcuts, both waiting.
std::vector<StepItem> BuildInstallSteps(const std::vector<PrerequisiteStatus>& prerequisites);

// The install screen's need: the client plus, when chosen, the HD pack. The
// totals come from manifests, so the sum saturates instead of overflowing.
std::int64_t InstallNeedBytes(std::int64_t clientBytes, std::int64_t hdBytes, bool hd);

}  // namespace nv
