// A stand-in launcher for scripts/suites/self-update.sh, built twice. The
// first build runs SelfUpdate once against the mirror given as its first
// argument and prints "result=<0|1>" and its command line; a second argument
// "fail-start" makes the start fail, "stopped" raises the stop flag first,
// "keyed" pins the release keys given as the third argument.
// The second build (NV_PROBE_NEXT), offered by the launcher manifest, takes
// the launcher's name the way the launcher does at its start and writes the
// command line it was started with to its path + ".started".
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "net/url_text.h"
#include "sync/fs/fs_helpers.h"
#include "system/self_update.h"
#include "sync/release_signature_testing.h"
#include "system/self_update_testing.h"

#ifndef NV_PROBE_NEXT
namespace {

bool FailStart(const std::wstring&) { return false; }

}  // namespace
#endif

int wmain(int argc, wchar_t** argv) {
  const std::string commandLine = nv::ToUtf8(GetCommandLineW());
#ifdef NV_PROBE_NEXT
  (void)argc;
  (void)argv;
  nv::CompleteSelfUpdateHandOver();
  FILE* out = _wfopen((nv::OwnExePath() + L".started").c_str(), L"wb");
  if (!out) return 1;
  std::fwrite(commandLine.data(), 1, commandLine.size(), out);
  std::fclose(out);
  return 0;
#else
  if (argc < 2) {
    std::fprintf(stderr, "usage: self_update_probe <mirror> [fail-start|stopped|keyed <keys>] [...]\n");
    return 2;
  }
  const std::wstring mode = argc > 2 ? argv[2] : L"";
  if (mode == L"fail-start") nv::SelfUpdateSeamsForTests().startProcess = &FailStart;
  if (mode == L"keyed" && argc > 3) nv::PinReleaseKeysForTests(nv::ToUtf8(argv[3]));
  const std::atomic<bool> stop{mode == L"stopped"};
  // The mirror is made into a list the way the launcher reads mirrors.txt.
  const bool replaced = nv::SelfUpdate(nv::ParseMirrorList(nv::ToUtf8(argv[1])), &stop);
  std::printf("result=%d\ncommand=%s\n", replaced ? 1 : 0, commandLine.c_str());
  return 0;
#endif
}
