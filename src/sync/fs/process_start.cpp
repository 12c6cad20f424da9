#include "sync/fs/process_start.h"

#include <vector>

namespace nv {

StartedProcess StartProcess(const std::wstring& exe, std::wstring_view commandLine,
                            const ProcessOptions& options) {
  StartedProcess started;
  // CreateProcessW may write into the command line.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  const std::wstring folder(options.folder);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  DWORD flags = 0;
  if (options.hidden) {
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    flags |= CREATE_NO_WINDOW;
  }
  const bool inherit = options.standardInput != nullptr;
  if (inherit) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = options.standardInput;
  }
  if (options.environment) flags |= CREATE_UNICODE_ENVIRONMENT;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, inherit ? TRUE : FALSE, flags,
                      const_cast<wchar_t*>(options.environment),
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    started.error = GetLastError();
    return started;
  }
  started.process.reset(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  return started;
}

}  // namespace nv
