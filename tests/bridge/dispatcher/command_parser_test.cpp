#include "bridge/dispatcher/command_parser.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

struct Row {
  const wchar_t* text;
  CommandKind kind;
  const wchar_t* folder = L"";
  bool hd = false;
  bool shortcut = true;
  const wchar_t* address = L"";
};

TEST(ParseCommand, NamesFieldsAndTheirDefaults) {
  using enum CommandKind;
  const Row rows[] = {
      {L"ready|extra|fields", kReady},
      {L"checkdeps", kCheckDeps},
      {L"openfolder", kOpenFolder},
      {L"min", kMin},
      {L"close|", kClose},
      // install|folder|hd|shortcut: a missing shortcut field means on, an empty one off.
      {L"install|C:\\Games\\Norvane|1", kInstall, L"C:\\Games\\Norvane", true, true},
      {L"install|\"D:/x\" |0|0", kInstall, L"\"D:/x\" ", false, false},
      {L"install|D:\\x|1|", kInstall, L"D:\\x", true, false},
      {L"install|D:\\x|yes|1", kInstall, L"D:\\x", false, true},
      {L"install", kInstall},
      {L"hd|1", kHd, L"", true},
      {L"hd|0", kHd},
      {L"hd|on", kHd},
      {L"hd", kHd},
      // url: the rest of the text, '|' and all.
      {L"url|https://h/news?id=1|2", kUrl, L"", false, true, L"https://h/news?id=1|2"},
      {L"url|javascript:alert(1)", kUrl, L"", false, true, L"javascript:alert(1)"},
      {L"url|", kUrl},
      {L"url", kUrl},
      // Names are exact.
      {L"PLAY", kUnknown},
      {L"play ", kUnknown},
      {L"urlx|https://h/", kUnknown},
      {L"", kUnknown},
      {L"|ready", kUnknown},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
    const Command command = ParseCommand(row.text);
    EXPECT_EQ(command.kind, row.kind);
    EXPECT_EQ(command.folder, row.folder);
    EXPECT_EQ(command.hd, row.hd);
    EXPECT_EQ(command.shortcut, row.shortcut);
    EXPECT_EQ(command.address, row.address);
  }
}

}  // namespace
}  // namespace nv
