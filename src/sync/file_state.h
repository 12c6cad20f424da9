// launcher_state.txt in the game folder: what was verified, per file (size,
// last-write time, SHA-256), so that a check only hashes what changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sync/content_types.h"

namespace nv {

inline constexpr std::string_view kFileStateName = "launcher_state.txt";

// Never fails: a missing, unreadable, oversized or damaged file gives an empty
// state; a damaged line costs only that file's entry.
FileState LoadFileState(std::wstring_view folder);

// Writes the whole state to a ".tmp" sibling and moves it over the file, so
// the file is always either the old or the new complete text.
bool SaveFileState(std::wstring_view folder, const FileState& state);

// The text of launcher_state.txt, and back. ParseFileState skips lines that
// break a rule; FormatFileState writes what ParseFileState reads back equal.
FileState ParseFileState(std::string_view text);
std::string FormatFileState(const FileState& state);
// FormatFileState's text handed to write in pieces of about pieceBytes (whole
// lines), so a large state is never in memory twice, as entries and as text.
// False as soon as write says false.
bool FormatFileStateInPieces(const FileState& state, std::size_t pieceBytes,
                             const std::function<bool(std::string_view piece)>& write);

// ParseFileState for text that arrives in pieces (the file read 4 MiB at a
// time), so the whole text is never in memory at once. Lines may straddle
// pieces; the result equals ParseFileState of the pieces joined.
class FileStateReader {
 public:
  // expectedBytes (the file size, or 0) sizes the entry list up front.
  explicit FileStateReader(std::uint64_t expectedBytes = 0);
  void Add(std::string_view piece);
  FileState Finish();

 private:
  void AddLine(std::string_view line);
  void EndLine();

  FileState state_;
  std::string pending_;  // the start of a line whose end has not come yet
  std::size_t pendingBytes_ = 0;  // its length so far, counted up to just past the limit
  bool firstLine_ = true;
};

// Lookups and updates that keep the path index in step with the entries. The
// entry found is read-only: its path is the index's key.
const FileStateEntry* FindFileStateEntry(const FileState& state, const std::string& path);
// Updates the entry for path (keeping its place) or appends a new one.
void RecordFileState(FileState& state, const std::string& path, std::int64_t size,
                     std::int64_t mtime, std::string sha256);
// Size 0, time 0, no hash: the file must be checked again next time.
void InvalidateFileState(FileState& state, const std::string& path);
// Drops every entry whose path `remove` accepts (the HD pack's files when it
// is switched off), keeping the order of the rest and the index in step.
// Returns how many were dropped.
std::size_t RemoveFileStateEntries(FileState& state,
                                   const std::function<bool(const std::string& path)>& remove);

}  // namespace nv
