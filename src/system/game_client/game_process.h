// Whether the game client runs: asked before files it may hold are replaced
// or deleted.
#pragma once

namespace nv {

// A process whose executable is norvane.exe (any letter case) is running.
bool IsGameRunning();

}  // namespace nv
