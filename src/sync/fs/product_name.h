// The product's name as the player sees it: window and message box titles,
// the folder the launcher suggests and keeps its downloads in, the Start menu
// folder and the programs list.
#pragma once

namespace nv {

inline constexpr wchar_t kProductName[] = L"Norvane";

}  // namespace nv
