// Opening a link or folder as the signed-in desktop user, from the elevated
// launcher: through the desktop shell's own dispatch object.
#pragma once

#include <string>

namespace nv {

// Hands target to the running desktop shell (Explorer), which opens it as
// its own user with its own rights. False when any step fails: no desktop
// shell window (another shell, a session without Explorer), a shell that
// refuses, or Wine (where the launcher's own call opens as the player);
// nothing was opened then. The calling thread has COM
// initialised.
bool OpenThroughDesktopShell(const std::wstring& target) noexcept;

}  // namespace nv
