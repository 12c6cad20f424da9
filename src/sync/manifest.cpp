#include "sync/manifest.h"

#include <cstdint>
#include <string>
#include <unordered_set>

#include "sync/line_syntax.h"
#include "sync/path_text.h"

namespace nv {

ContentManifest ParseManifest(std::string_view text) {
  ContentManifest manifest;
  std::int64_t count = -1;  // no "count" line
  bool failed = false;
  // Lowered paths seen so far: Windows folders ignore the case of A-Z, so two
  // entries differing only there would fight over one file on disk.
  std::unordered_set<std::string> seen;

  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line.front() == '#') continue;
    const auto fields = SplitFields(line, '|');
    if (fields.size() == 2) {
      const std::string_view key = fields[0];
      if (key == "version") {
        manifest.version.assign(fields[1]);
      } else if (key == "count" || key == "total") {
        const auto value = ParseDecimal(fields[1]);
        if (!value) {
          failed = true;
        } else if (key == "count") {
          count = static_cast<std::int64_t>(*value);
        } else {
          manifest.total = *value;
        }
      }
      continue;
    }
    if (fields.size() != 3 && fields.size() != 4) {
      failed = true;
      continue;
    }
    const auto size = ParseDecimal(fields[1]);
    auto sha256 = ParseSha256(fields[2]);
    if (!IsValidContentPath(fields[0]) || !size || !sha256) {
      failed = true;
      continue;
    }
    if (!seen.insert(AsciiLower(fields[0])).second) {
      failed = true;
      continue;
    }
    ManifestEntry entry;
    entry.path.assign(fields[0]);
    entry.size = *size;
    entry.sha256 = std::move(*sha256);
    entry.userFile = fields.size() == 4 && fields[3].find('u') != std::string_view::npos;
    manifest.entries.push_back(std::move(entry));
  }

  manifest.valid = !failed && !manifest.version.empty() && !manifest.entries.empty() &&
                   (count < 0 || count == static_cast<std::int64_t>(manifest.entries.size()));
  return manifest;
}

}  // namespace nv
