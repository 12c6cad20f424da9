// The launcher replaces itself with the build the download server offers in
// its launcher content set, and starts it with the same command line.
// Silent: nothing reaches the page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nv {

// Removes what an earlier self-update left beside the running executable:
// its ".old" sibling (tried again while it is still locked) and a ".new"
// sibling. Called at every start of the launcher and by SelfUpdate.
void RemoveSelfUpdateLeftovers();

// True when the running executable was replaced and the new one started: the
// caller then closes this launcher. False to carry on with this process (no
// update, up to date, "--no-self-update" given, or a failure that left the
// running executable under its own name).
bool SelfUpdate(const std::vector<std::string>& mirrors);

}  // namespace nv
