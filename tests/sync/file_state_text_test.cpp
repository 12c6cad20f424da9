#include <gtest/gtest.h>

#include <string>

#include "sync/file_state.h"

namespace nv {
namespace {

const std::string kHashA(64, 'a');
const std::string kHashB(64, 'b');

TEST(FileStateText, RoundTripKeepsOrderAndEmptyHashes) {
  FileState state;
  state.version = "2024.1";
  RecordFileState(state, "data/b.grf", 100, 133500000000000000, kHashA);
  RecordFileState(state, "user/opt.ini", 7, 133500000000000001, "");
  RecordFileState(state, "Caf\xc3\xa9.dat", 0, 0, "");
  const std::string text = FormatFileState(state);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "# Norvane launcher state: path|size|mtime|sha256 (delete this file to re-check "
            "everything)");
  EXPECT_NE(text.find("\nversion|2024.1\ndata/b.grf|100|133500000000000000|" + kHashA +
                      "\nuser/opt.ini|7|133500000000000001|\n"),
            std::string::npos);

  FileState back = ParseFileState(text);
  EXPECT_EQ(back.version, "2024.1");
  ASSERT_EQ(back.entries().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.entries()[i].path, state.entries()[i].path);
    EXPECT_EQ(back.entries()[i].size, state.entries()[i].size);
    EXPECT_EQ(back.entries()[i].mtime, state.entries()[i].mtime);
    EXPECT_EQ(back.entries()[i].sha256, state.entries()[i].sha256);
    EXPECT_EQ(FindFileStateEntry(back, back.entries()[i].path),
              &back.entries()[i]);
  }
  EXPECT_EQ(FormatFileState(back), text);
  EXPECT_EQ(ParseFileState(FormatFileState(FileState{})).entries().size(), 0u);
}

TEST(FileStateText, DamagedLinesAreSkippedOneByOne) {
  const std::string text =
      "\xEF\xBB\xBF# header\r\n"
      "version|7\r\n"
      "good/one|1|2|" + kHashA + "\r\n"
      "bad/hash|1|2|" + std::string(80, 'a') + "\n"
      "bad/size|1234567890123456789|2|" + kHashA + "\n"
      "bad/../dots|1|2|" + kHashA + "\n"
      "bad/neg|-1|2|\n"
      "bad/mtime|1|x|\n"
      "bad/g|1|2|" + std::string(63, 'a') + "g\n"
      "too|many|fields|here|x\n"
      "three|fields|only\n"
      "other|header\n"
      "good/two|3|4|" + std::string(64, 'B') + "\n"
      "good/three|5|6|\n";
  const FileState state = ParseFileState(text);
  EXPECT_EQ(state.version, "7");
  ASSERT_EQ(state.entries().size(), 3u);
  EXPECT_EQ(state.entries()[0].path, "good/one");
  EXPECT_EQ(state.entries()[1].path, "good/two");
  EXPECT_EQ(state.entries()[1].sha256, kHashB);  // lowered
  EXPECT_EQ(state.entries()[2].path, "good/three");
  EXPECT_EQ(state.entries()[2].size, 5);
  EXPECT_EQ(state.entries()[2].mtime, 6);
  EXPECT_TRUE(state.entries()[2].sha256.empty());
}

TEST(FileStateText, RepeatedPathReplacesInPlace) {
  const FileState state = ParseFileState("a|1|1|" + kHashA + "\nb|2|2|\na|3|3|" + kHashB + "\n");
  ASSERT_EQ(state.entries().size(), 2u);
  EXPECT_EQ(state.entries()[0].path, "a");
  EXPECT_EQ(state.entries()[0].size, 3);
  EXPECT_EQ(state.entries()[0].sha256, kHashB);
  EXPECT_EQ(state.entries()[1].path, "b");
  // The key is exact: another case is another entry.
  EXPECT_EQ(ParseFileState("a|1|1|\nA|1|1|\n").entries().size(), 2u);
}

TEST(FileStateText, IndexFindsEveryEntryThroughGrowth) {
  FileState state;
  for (int i = 0; i < 5000; ++i) RecordFileState(state, "f/" + std::to_string(i), i, i, "");
  ASSERT_EQ(state.entries().size(), 5000u);
  for (int i = 0; i < 5000; ++i) {
    const FileStateEntry* e = FindFileStateEntry(state, "f/" + std::to_string(i));
    ASSERT_NE(e, nullptr) << i;
    EXPECT_EQ(e->size, i);
  }
  EXPECT_EQ(FindFileStateEntry(state, "f/5000"), nullptr);
  EXPECT_EQ(FindFileStateEntry(state, "F/1"), nullptr);  // exact, case-sensitive key
  // A fresh state is indexed from its first entry on.
  FileState manual;
  EXPECT_EQ(FindFileStateEntry(manual, "a"), nullptr);
  RecordFileState(manual, "a", 1, 2, "");
  RecordFileState(manual, "b", 3, 4, "");
  ASSERT_NE(FindFileStateEntry(manual, "b"), nullptr);
  EXPECT_EQ(FindFileStateEntry(manual, "b")->size, 3);
  RecordFileState(manual, "a", 9, 9, "");
  EXPECT_EQ(manual.entries().size(), 2u);
}

void ExpectSameState(const FileState& a, const FileState& b, const std::string& what) {
  EXPECT_EQ(a.version, b.version) << what;
  ASSERT_EQ(a.entries().size(), b.entries().size()) << what;
  for (std::size_t i = 0; i < a.entries().size(); ++i) {
    EXPECT_EQ(a.entries()[i].path, b.entries()[i].path) << what;
    EXPECT_EQ(a.entries()[i].size, b.entries()[i].size) << what;
    EXPECT_EQ(a.entries()[i].mtime, b.entries()[i].mtime) << what;
    EXPECT_EQ(a.entries()[i].sha256, b.entries()[i].sha256) << what;
  }
}

TEST(FileStateText, ReaderInPiecesEqualsTheWholeText) {
  const std::string text =
      "\xEF\xBB\xBF" "version|9\r\n"
      "a/b|1|2|" + kHashA + "\n"
      "\xEF\xBB\xBF" "bom-led|3|4|\n"  // not the start of the file: part of the path
      "bad|x|1|\n"
      "\n"
      "a/b|5|6|\t \r\n"
      "last|7|8|" + kHashB;  // no LF at the end
  const FileState whole = ParseFileState(text);
  ASSERT_EQ(whole.entries().size(), 3u);
  EXPECT_EQ(whole.entries()[1].path, "\xEF\xBB\xBF" "bom-led");
  // Every way of cutting the text in two and in three pieces.
  for (std::size_t i = 0; i <= text.size(); ++i) {
    FileStateReader two(text.size());
    two.Add(std::string_view(text).substr(0, i));
    two.Add(std::string_view(text).substr(i));
    ExpectSameState(two.Finish(), whole, "cut at " + std::to_string(i));
    for (std::size_t j = i; j <= text.size(); j += 7) {
      FileStateReader three;
      three.Add(std::string_view(text).substr(0, i));
      three.Add(std::string_view(text).substr(i, j - i));
      three.Add(std::string_view(text).substr(j));
      ExpectSameState(three.Finish(), whole, "cuts at " + std::to_string(i) + "," + std::to_string(j));
    }
  }
  // Byte by byte, and a mark split over the first pieces.
  FileStateReader bytes;
  for (char c : text) bytes.Add(std::string_view(&c, 1));
  ExpectSameState(bytes.Finish(), whole, "byte by byte");
  FileStateReader markOnly;
  markOnly.Add("\xEF\xBB\xBF");
  EXPECT_TRUE(markOnly.Finish().entries().empty());
}

TEST(FileStateText, RecordFindAndInvalidate) {
  FileState state;
  EXPECT_EQ(FindFileStateEntry(state, "x"), nullptr);
  RecordFileState(state, "x", 5, 6, kHashA);
  RecordFileState(state, "y", 1, 1, kHashB);
  RecordFileState(state, "x", 7, 8, kHashB);
  ASSERT_EQ(state.entries().size(), 2u);
  const FileStateEntry* x = FindFileStateEntry(state, "x");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x, &state.entries()[0]);
  EXPECT_EQ(x->size, 7);
  EXPECT_EQ(x->sha256, kHashB);
  InvalidateFileState(state, "x");
  EXPECT_EQ(x->size, 0);
  EXPECT_EQ(x->mtime, 0);
  EXPECT_TRUE(x->sha256.empty());
  InvalidateFileState(state, "missing");  // no entry: nothing added
  EXPECT_EQ(state.entries().size(), 2u);
}

TEST(FileStateText, UnreadableEntriesAreNotWritten) {
  FileState state;
  state.version = "bad|version";
  RecordFileState(state, "ok", 1, 2, "");
  RecordFileState(state, "bad|path", 1, 2, "");
  RecordFileState(state, "bad\npath", 1, 2, "");
  const FileState back = ParseFileState(FormatFileState(state));
  EXPECT_EQ(back.version, "");
  ASSERT_EQ(back.entries().size(), 1u);
  EXPECT_EQ(back.entries()[0].path, "ok");
}

TEST(FileStateText, RemovedEntriesLeaveNoStalePositions) {
  FileState state;
  for (int i = 0; i < 40; ++i)
    RecordFileState(state, (i % 4 == 0 ? "hd/" : "data/") + std::to_string(i), i, i, "");
  EXPECT_EQ(RemoveFileStateEntries(state, [](const std::string& p) { return p.rfind("hd/", 0) == 0; }),
            10u);
  ASSERT_EQ(state.entries().size(), 30u);
  EXPECT_EQ(state.entries().front().path, "data/1");
  EXPECT_EQ(FindFileStateEntry(state, "hd/0"), nullptr);
  EXPECT_EQ(FindFileStateEntry(state, "hd/36"), nullptr);
  // The last entry moved forward: a stale table would point past the end.
  const FileStateEntry* last = FindFileStateEntry(state, "data/39");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->size, 39);
  RecordFileState(state, "hd/0", 7, 7, "");
  EXPECT_EQ(state.entries().size(), 31u);
  EXPECT_EQ(FindFileStateEntry(state, "hd/0")->size, 7);
  EXPECT_EQ(RemoveFileStateEntries(state, [](const std::string&) { return false; }), 0u);
}

// Anything that could reorder, drop or rename an entry without the index
// knowing: the entry list itself, the index, or a path reached through a lookup.
template <class T>
concept EntriesEditableFromOutside =
    requires(T& t) { t.entries.clear(); } || requires(T& t) { t.entries().clear(); } ||
    requires(T& t) { t.index.clear(); };
template <class T>
concept PathEditableThroughLookup =
    requires(T& t, const std::string& p) { FindFileStateEntry(t, p)->path = p; };

TEST(FileStateText, IndexCannotBeBrokenFromOutside) {
  EXPECT_FALSE(EntriesEditableFromOutside<FileState>);
  EXPECT_FALSE(PathEditableThroughLookup<FileState>);
  // Copies and moves carry the index with the entries.
  FileState state;
  for (int i = 0; i < 100; ++i) RecordFileState(state, "p/" + std::to_string(i), i, i, "");
  FileState copy = state;
  RemoveFileStateEntries(state, [](const std::string& p) { return p.size() == 3; });
  FileState moved = std::move(copy);
  ASSERT_NE(FindFileStateEntry(moved, "p/5"), nullptr);
  EXPECT_EQ(FindFileStateEntry(moved, "p/5")->size, 5);
  EXPECT_EQ(FindFileStateEntry(state, "p/5"), nullptr);
  ASSERT_NE(FindFileStateEntry(state, "p/99"), nullptr);
  EXPECT_EQ(FindFileStateEntry(state, "p/99")->size, 99);
  EXPECT_EQ(state.entries().size(), 90u);
}

}  // namespace
}  // namespace nv
