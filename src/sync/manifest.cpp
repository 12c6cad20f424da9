#include "sync/manifest.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "sync/line_syntax.h"
#include "sync/name_text.h"

namespace nv {

namespace {

// Removes every entry whose path equals an earlier one as NTFS compares
// names (its own upper-casing, not just A-Z: an upper and a lower A-umlaut
// are one file), so both would fight over one file on disk. True when one
// was found. Sorting positions instead of keeping a set of upper-cased
// copies holds a 100,000-entry manifest to a few hundred KB extra.
bool RemoveCaseDuplicates(std::vector<ManifestEntry>& entries) {
  std::vector<std::uint32_t> order(entries.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const int c = CompareNtfsNames(entries[a].path, entries[b].path);
    return c != 0 ? c < 0 : a < b;
  });
  std::vector<bool> duplicate(entries.size(), false);
  bool found = false;
  for (std::size_t i = 1; i < order.size(); ++i) {
    if (CompareNtfsNames(entries[order[i - 1]].path, entries[order[i]].path) == 0) {
      duplicate[order[i]] = true;  // the later one in file order: order[] is stable by position
      found = true;
    }
  }
  if (!found) return false;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (duplicate[i]) continue;
    if (kept != i) entries[kept] = std::move(entries[i]);  // never onto itself
    ++kept;
  }
  entries.resize(kept);
  return true;
}

}  // namespace

namespace {

ContentManifest ParseManifestLines(std::string_view text) {
  ContentManifest manifest;
  std::int64_t count = -1;  // no "count" line
  bool failed = false;

  // No room is reserved from the number of lines: a hostile file of nothing
  // but line breaks would reserve an entry for each. Entries grow with the
  // lines that really are entries (each at least 68 bytes of text).
  ForEachLine(text, [&](std::string_view line) {
    if (line.empty() || line.front() == '#') return;
    const auto fields = SplitFields(line, '|', 4);
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
      return;
    }
    if (fields.size() != 3 && fields.size() != 4) {
      failed = true;
      return;
    }
    const auto size = ParseDecimal(fields[1]);
    auto sha256 = ParseSha256(fields[2]);
    if (!IsValidContentPath(fields[0]) || !size || !sha256) {
      failed = true;
      return;
    }
    ManifestEntry entry;
    entry.path.assign(fields[0]);
    entry.size = *size;
    entry.sha256 = std::move(*sha256);
    entry.userFile = fields.size() == 4 && fields[3].find('u') != std::string_view::npos;
    manifest.entries.push_back(std::move(entry));
  });

  if (RemoveCaseDuplicates(manifest.entries)) failed = true;
  manifest.valid = !failed && !manifest.version.empty() && !manifest.entries.empty() &&
                   (count < 0 || count == static_cast<std::int64_t>(manifest.entries.size()));
  return manifest;
}

}  // namespace

ContentManifest ParseManifest(std::string_view text) {
  try {
    return ParseManifestLines(text);
  } catch (const std::bad_alloc&) {
    // Out of memory (the 32-bit launcher has 2 GiB of address space): the
    // manifest counts as unusable, so the next mirror is asked.
    return {};
  }
}

}  // namespace nv
