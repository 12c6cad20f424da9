// Detecting and silently installing the Microsoft runtimes. Runs on the
// worker thread or the start-up setup thread; detection may run anywhere.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/nv_api.h"
#include "prereq/prerequisite_table.h"

namespace nv {

using ReportCallback = std::function<void(const std::string& message)>;

std::vector<PrerequisiteStatus> ListPrerequisites();
bool IsPrerequisiteInstalled(std::string_view id);

// True when the runtime is present afterwards (or already was). Every
// outcome the player should see goes through report.
bool InstallPrerequisite(std::string_view id, TransferProgress& transfer,
                         const std::atomic<bool>& stop, const ReportCallback& report);

// Starts the installer hidden and waits for it (never kills it). False when
// it could not be started: startError then holds the Windows error.
bool RunInstaller(const std::wstring& path, const std::wstring& arguments, std::uint32_t& exitCode,
                  std::uint32_t& startError, const std::atomic<bool>& stop,
                  const ReportCallback& report, std::string_view displayName);

// Authenticode-valid and signed by a certificate named exactly
// "Microsoft Corporation". With file (an open handle of path), that very
// file is checked.
bool IsSignedByMicrosoft(const std::wstring& path, HANDLE file = INVALID_HANDLE_VALUE);

// Where each install makes its fresh staging folder ("Norvane-" and 16 hex
// digits): the system's own temporary folder, %SystemRoot%\Temp. Not the
// user's %TEMP% (nor anything the environment names): the unelevated half of
// the same user can write there and change what runs elevated.
std::wstring PrerequisiteStagingRoot();

// The staging folder's security: owned by Administrators, and only SYSTEM
// and Administrators have any access, none inherited from the parent.
inline constexpr wchar_t kStagingFolderSddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

}  // namespace nv
