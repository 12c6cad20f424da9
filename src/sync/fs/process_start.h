// Starting another program: the launcher's own restarts, the game, the
// prerequisite installers and the deferred clean-up all go through here.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "sync/fs/unique_handle.h"

namespace nv {

struct ProcessOptions {
  std::wstring_view folder;  // working folder; empty: this process's
  bool hidden = false;       // no window and no console of its own
  // Handed down as standard input when set; it must be inheritable, and the
  // new process then inherits every inheritable handle of this one.
  HANDLE standardInput = nullptr;
  // The new process's whole environment block (UTF-16, NUL-separated, ending
  // in two NULs) when set; else it inherits this process's.
  const wchar_t* environment = nullptr;
};

struct StartedProcess {
  UniqueKernelHandle process;  // invalid when the start failed
  DWORD error = 0;             // GetLastError of the failed start
  explicit operator bool() const noexcept { return process.valid(); }
};

// CreateProcessW of exe with a writable copy of commandLine (which names the
// program itself first, as usual). The thread handle is closed at once.
StartedProcess StartProcess(const std::wstring& exe, std::wstring_view commandLine,
                            const ProcessOptions& options = {});

}  // namespace nv
