// Version text rules of our WebView2 runtime loader. No Windows header.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace nv {

// "131.0.2903.146" -> {131, 0, 2903, 146}; anything else -> nothing.
std::optional<std::array<unsigned, 4>> ParseRuntimeVersion(std::wstring_view text);

// The last component of a runtime's version folder, when it is a version at
// least as new as the oldest runtime the web view interfaces need (86.0.616.0).
std::optional<std::wstring_view> UsableRuntimeVersion(std::wstring_view versionFolder);

// Where the loader may look for a runtime. The launcher runs elevated, so the
// shipped build takes the runtime only from where an administrator installed
// it (the machine-wide updater entry): the environment variable and the
// per-user entry are the unelevated user's to change. The test builds keep
// both for the stand-in runtime.
struct RuntimeLookup {
  bool environmentFolder;  // WEBVIEW2_BROWSER_EXECUTABLE_FOLDER
  bool perUserInstall;     // the updater's entry under HKCU
};
inline constexpr RuntimeLookup kShippedRuntimeLookup{false, false};
inline constexpr RuntimeLookup kTestRuntimeLookup{true, true};

}  // namespace nv
