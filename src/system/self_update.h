// The launcher replaces itself with the build the download server offers in
// its launcher content set: the new build, started with the same command line
// under "<name>.new", takes the launcher's name once this one has ended.
// Silent: nothing reaches the page.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

// Removes what an earlier self-update left beside the running executable:
// an ".old" sibling (tried again while it is still locked) and a cut-short
// ".new.part". Called by SelfUpdate.
void RemoveSelfUpdateLeftovers();

// In a launcher started as "<name>.exe.new": waits for the build that
// started it to end and takes "<name>.exe" in one replacing rename. True
// when this process now runs under the launcher's name; false when it was
// not started that way or the name stayed held (it then runs as ".new").
bool CompleteSelfUpdateHandOver();

// Whether the launcher at running may hand over to the executable at
// offered: yes when running carries no valid Authenticode signature (a
// development build); otherwise only when offered carries a valid one by
// the same signing key. With offeredFile (an open handle of offered), that
// very file is checked.
bool SignedBySameSigner(const std::wstring& running, const std::wstring& offered,
                        HANDLE offeredFile = INVALID_HANDLE_VALUE);

// True when a new build was downloaded, verified and started as ".new": the
// caller then closes this launcher. False to carry on with this process (no
// update, up to date, "--no-self-update" given, a failure, or stop raised:
// then a complete ".new" is kept for the next start and nothing is started).
bool SelfUpdate(const std::vector<std::string>& mirrors, const std::atomic<bool>* stop);

}  // namespace nv
