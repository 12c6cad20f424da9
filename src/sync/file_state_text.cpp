// The pure half of the file-state file: its text format and the indexed list.
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>

#include "sync/file_state.h"
#include "sync/line_syntax.h"

namespace nv {

namespace {

constexpr std::string_view kHeader =
    "# Norvane launcher state: path|size|mtime|sha256 (delete this file to re-check everything)\n";

}  // namespace

// The one place that touches a state's entries and index together.
class FileStateEditor {
 public:
  static std::size_t PathHash(std::string_view path) { return std::hash<std::string_view>{}(path); }

  // The slot that holds path, or the free slot where it belongs. The table is
  // never full: it grows before half of it is used.
  static std::size_t FindSlot(const FileState& state, std::string_view path) {
    const std::size_t mask = state.index_.size() - 1;
    std::size_t slot = PathHash(path) & mask;
    while (state.index_[slot] != 0 && state.entries_[state.index_[slot] - 1].path != path)
      slot = (slot + 1) & mask;
    return slot;
  }

  // Sizes the table for at least `entries` entries at most half full, and
  // places every entry again.
  static void ResizeIndex(FileState& state, std::size_t entries) {
    std::size_t size = 16;
    while (size < entries * 2) size *= 2;
    state.index_.assign(size, 0);
    for (std::size_t i = 0; i < state.entries_.size(); ++i)
      state.index_[FindSlot(state, state.entries_[i].path)] = static_cast<std::uint32_t>(i + 1);
  }

  static void Reserve(FileState& state, std::size_t entries) {
    state.entries_.reserve(entries);
    ResizeIndex(state, entries);
  }

  static const FileStateEntry* Find(const FileState& state, const std::string& path) {
    if (state.index_.empty()) return nullptr;  // a new state: nothing recorded yet
    const std::uint32_t found = state.index_[FindSlot(state, path)];
    return found == 0 ? nullptr : &state.entries_[found - 1];
  }

  static FileStateEntry& Record(FileState& state, const std::string& path) {
    if (const FileStateEntry* known = Find(state, path))
      return state.entries_[static_cast<std::size_t>(known - state.entries_.data())];
    if (state.index_.size() < (state.entries_.size() + 1) * 2)
      ResizeIndex(state, state.entries_.size() + 1);
    state.index_[FindSlot(state, path)] = static_cast<std::uint32_t>(state.entries_.size() + 1);
    FileStateEntry& entry = state.entries_.emplace_back();
    entry.path = path;
    return entry;
  }

  static std::size_t Remove(FileState& state,
                            const std::function<bool(const std::string& path)>& remove) {
    auto& entries = state.entries_;
    const auto kept = std::remove_if(entries.begin(), entries.end(),
                                     [&](const FileStateEntry& e) { return remove(e.path); });
    const auto dropped = static_cast<std::size_t>(entries.end() - kept);
    entries.erase(kept, entries.end());
    // Positions after the first dropped entry have moved: place every entry again.
    if (dropped) ResizeIndex(state, entries.size());
    return dropped;
  }
};

const FileStateEntry* FindFileStateEntry(const FileState& state, const std::string& path) {
  return FileStateEditor::Find(state, path);
}

void RecordFileState(FileState& state, const std::string& path, std::int64_t size,
                     std::int64_t mtime, std::string sha256) {
  FileStateEntry& entry = FileStateEditor::Record(state, path);
  entry.size = size;
  entry.mtime = mtime;
  entry.sha256 = std::move(sha256);
}

std::size_t RemoveFileStateEntries(FileState& state,
                                   const std::function<bool(const std::string& path)>& remove) {
  return FileStateEditor::Remove(state, remove);
}

void InvalidateFileState(FileState& state, const std::string& path) {
  if (FileStateEditor::Find(state, path)) RecordFileState(state, path, 0, 0, std::string());
}

namespace {

// No honest state comes near these: a line is a path of at most 400 bytes,
// two numbers and a hash, and the two manifests together name far fewer
// files. They keep a damaged or hostile state (up to 256 MiB of text) from
// costing many times its size: an entry takes about 80 bytes however short
// its line, so 256 MiB of "a|0|0|" lines would otherwise need several GiB.
constexpr std::size_t kMaxLineBytes = 4096;
constexpr std::size_t kMaxEntries = std::size_t{1} << 19;

// One line of the file, as ForEachLine gives it.
void AddFileStateLine(FileState& state, std::string_view line) {
  if (line.empty() || line.front() == '#') return;
  const auto fields = SplitFields(line, '|', 4);
  if (fields.size() == 2) {
    if (fields[0] == "version") state.version.assign(fields[1]);
    return;
  }
  if (fields.size() != 4 || !IsValidContentPath(fields[0])) return;
  const auto size = ParseDecimal(fields[1]);
  const auto mtime = ParseDecimal(fields[2]);
  if (!size || !mtime) return;
  std::string sha256;
  if (!fields[3].empty()) {
    auto parsed = ParseSha256(fields[3]);
    if (!parsed) return;
    sha256 = std::move(*parsed);
  }
  std::string path(fields[0]);
  if (state.entries().size() >= kMaxEntries && !FindFileStateEntry(state, path)) return;
  // 18 digits at most, so both fit the signed fields.
  RecordFileState(state, path, static_cast<std::int64_t>(*size),
                  static_cast<std::int64_t>(*mtime), std::move(sha256));
}

}  // namespace

FileState ParseFileState(std::string_view text) {
  // The reader's rules exactly, without a list of the lines: a list costs
  // 8 to 16 bytes for every line break, many times a file of only those.
  FileStateReader reader;
  reader.Add(text);
  return reader.Finish();
}

FileStateReader::FileStateReader(std::uint64_t expectedBytes) {
  // A line of a verified file is about 100 bytes (path, two numbers, the
  // hash): a guess that spares the list most of its doublings. The cap keeps
  // a wrong size from reserving much.
  const std::size_t guess =
      static_cast<std::size_t>(std::min<std::uint64_t>(expectedBytes / 100, kMaxEntries));
  FileStateEditor::Reserve(state_, guess);
}

void FileStateReader::AddLine(std::string_view line) {
  // The byte order mark counts only at the very start of the file.
  if (firstLine_ && line.starts_with(kUtf8Bom)) line.remove_prefix(kUtf8Bom.size());
  firstLine_ = false;
  AddFileStateLine(state_, TrimLineEnd(line));
}

void FileStateReader::EndLine() {
  if (pendingBytes_ <= kMaxLineBytes) {
    AddLine(pending_);
  } else {
    firstLine_ = false;  // too long to be ours: skipped like any damaged line
  }
  pending_.clear();
  pendingBytes_ = 0;
}

void FileStateReader::Add(std::string_view piece) {
  for (;;) {
    const std::size_t end = piece.find('\n');
    const std::string_view part = piece.substr(0, end);
    // Only the start of an overlong line is kept, enough to know it is one.
    if (pendingBytes_ <= kMaxLineBytes)
      pending_.append(part.substr(0, kMaxLineBytes + 1 - pendingBytes_));
    pendingBytes_ = std::min(pendingBytes_ + part.size(), kMaxLineBytes + 1);
    if (end == std::string_view::npos) return;
    EndLine();
    piece.remove_prefix(end + 1);
  }
}

FileState FileStateReader::Finish() {
  // The text after the last LF is a line too (ForEachLine's rule).
  if (pendingBytes_ != 0) EndLine();
  return std::move(state_);
}

bool FormatFileStateInPieces(const FileState& state, std::size_t pieceBytes,
                             const std::function<bool(std::string_view piece)>& write) {
  std::string text(kHeader);
  text += "version|";
  // A version is one field of one manifest line, so it holds no '|' or LF;
  // anything else would break the line apart when read back (and a line too
  // long would be skipped).
  if (state.version.find_first_of("|\n") == std::string::npos &&
      state.version.size() <= kMaxLineBytes - 8) {
    text += state.version;
  }
  text += '\n';
  for (const FileStateEntry& entry : state.entries()) {
    // Entries that could not be read back are left out rather than written
    // as lines that would be skipped (or, worse, split differently).
    if (!IsValidContentPath(entry.path)) continue;
    text += entry.path;
    text += '|';
    text += std::to_string(entry.size);
    text += '|';
    text += std::to_string(entry.mtime);
    text += '|';
    text += entry.sha256;
    text += '\n';
    if (text.size() >= pieceBytes) {
      if (!write(text)) return false;
      text.clear();
    }
  }
  return text.empty() || write(text);
}

std::string FormatFileState(const FileState& state) {
  std::string text;
  FormatFileStateInPieces(state, std::size_t{1} << 16, [&](std::string_view piece) {
    text += piece;
    return true;
  });
  return text;
}

}  // namespace nv
