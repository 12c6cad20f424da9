// manifest_check <file>: reads a manifest with the launcher's own parser and
// prints its verdict and entries, so that the publisher's tests can check
// that what it writes is what the launcher accepts.
// Exit code: 0 valid, 1 invalid, 2 unreadable.
#include <fstream>
#include <iostream>
#include <sstream>

#include "sync/manifest.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: manifest_check <manifest.txt>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) return 2;
  std::ostringstream text;
  text << in.rdbuf();
  const nv::ContentManifest m = nv::ParseManifest(text.str());
  std::cout << (m.valid ? "valid" : "invalid") << "\nversion " << m.version << "\ntotal " << m.total
            << "\n";
  for (const nv::ManifestEntry& e : m.entries)
    std::cout << e.path << "|" << e.size << "|" << e.sha256 << (e.userFile ? "|u" : "") << "\n";
  return m.valid ? 0 : 1;
}
