// Starting the game client from the game folder.
#pragma once

#include <string_view>

namespace nv {

// The fixed switch the game client expects from its launcher.
inline constexpr wchar_t kGameStartArgument[] = L"-4tqz7";

// Job 6: data list matched, game started, the window told to minimise.
void StartGameJob();

// norvane.exe of the folder with the game folder as current directory; true
// when the process was created. The launcher does not watch the game.
bool LaunchGame(std::wstring_view folder);

}  // namespace nv
