// Stand-in program for the system tests. As norvane.exe it records how it
// was started; as the launcher copy it runs registration or removal from the
// game folder, the way the real copy does.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <string>

#include "sync/fs/fs_helpers.h"
#include "sync/fs/unique_handle.h"
#include "system/install_registration.h"
#include "system/uninstall.h"

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring text(path, n);
  return text.substr(0, text.rfind(L'\\'));
}

int RecordLaunch() {
  wchar_t current[MAX_PATH * 4];
  const DWORD n = GetCurrentDirectoryW(MAX_PATH * 4, current);
  const std::string record =
      nv::ToUtf8(GetCommandLineW()) + "\n" + nv::ToUtf8(std::wstring(current, n)) + "\n";
  nv::UniqueFile file(CreateFileW((OwnFolder() + L"\\launch_record.txt").c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  DWORD written = 0;
  WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);  // lives as long as the process
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"--linger") {
    Sleep(30000);
    return 0;
  }
  // As any program of any account could: a mutex of the given name made
  // first (owned by Everyone) and held; "held" on standard output once it is.
  if (mode == L"--hold-foreign-mutex" && argc > 3) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:WDD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
      return 2;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const nv::UniqueKernelHandle mutex(CreateMutexW(&attributes, TRUE, argv[2]));
    LocalFree(descriptor);
    if (!mutex) return 3;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "held\n", 5, &written, nullptr);
    Sleep(static_cast<DWORD>(_wtoi(argv[3])));
    return 0;
  }
  if (mode == L"--register" && argc > 3) {
    nv::ScopedComInit com;
    return nv::RegisterInstall(argv[2], std::wstring(argv[3]) == L"1") ? 0 : 1;
  }
  if (mode == L"--remove" && argc > 2) {
    nv::ScopedComInit com;
    return nv::RemoveInstallation(argv[2]) ? 0 : 1;
  }
  // As the uninstall roads do: removal, then a result box the player reads
  // for a while before the launcher ends.
  if (mode == L"--remove-then-wait" && argc > 3) {
    nv::ScopedComInit com;
    const bool ok = nv::RemoveInstallation(argv[2]);
    Sleep(static_cast<DWORD>(_wtoi(argv[3])));
    return ok ? 0 : 1;
  }
  return RecordLaunch();
}
