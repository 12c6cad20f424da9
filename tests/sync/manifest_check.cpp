// manifest_check [--launcher] <file>: reads a manifest with the launcher's own
// parser (a content manifest, or with --launcher the self-update's reader of
// launcher/manifest.txt) and prints its verdict and entries, so that the
// publisher's tests can check that what it writes is what the launcher
// accepts. Exit code: 0 valid, 1 invalid, 2 unreadable.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

#include "sync/manifest.h"
#include "system/launcher_manifest.h"

int main(int argc, char** argv) {
  const bool launcher = argc == 3 && std::string_view(argv[1]) == "--launcher";
  if (argc != 2 && !launcher) {
    std::cerr << "usage: manifest_check [--launcher] <manifest.txt>\n";
    return 2;
  }
  std::ifstream in(argv[argc - 1], std::ios::binary);
  if (!in) return 2;
  std::ostringstream text;
  text << in.rdbuf();
  if (launcher) {
    nv::LauncherEntry entry;
    const bool found = nv::FindLauncherEntry(text.str(), entry);
    std::cout << (found ? "valid" : "invalid") << "\nversion \ntotal \n";
    if (found) std::cout << nv::kLauncherFileName << "|" << entry.size << "|" << entry.sha256 << "\n";
    return found ? 0 : 1;
  }
  const nv::ContentManifest m = nv::ParseManifest(text.str());
  std::cout << (m.valid ? "valid" : "invalid") << "\nversion " << m.version << "\ntotal " << m.total
            << "\n";
  for (const nv::ManifestEntry& e : m.entries)
    std::cout << e.path << "|" << e.size << "|" << e.sha256 << (e.userFile ? "|u" : "") << "\n";
  return m.valid ? 0 : 1;
}
