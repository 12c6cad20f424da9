// Test support for the installer flow: not for production code.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include <windows.h>

#include "bridge/nv_api.h"

namespace nv {

// How installers are fetched: the single-URL resumable download. Tests may
// put their own in; nullptr puts the real one back.
using InstallerDownload = bool (*)(std::string_view url, const std::wstring& target,
                                   TransferProgress& transfer, const std::atomic<bool>* stop);
void SetInstallerDownloadForTesting(InstallerDownload download);
// How a staging folder is created: CreateDirectoryW. Tests may record what
// reaches it; nullptr puts the real one back.
using StagingFolderCreate = bool (*)(const std::wstring& path, SECURITY_ATTRIBUTES& security);
void SetStagingFolderCreateForTesting(StagingFolderCreate create);
// How many further one-second waits RunInstaller makes (1800 in production).
void SetInstallerWaitLimitForTesting(std::uint32_t waits);

}  // namespace nv
