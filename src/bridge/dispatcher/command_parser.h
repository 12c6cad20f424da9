// The page's command text read into what it asks for: the grammar of
// "name|field|field" without any effect, so that it builds everywhere and
// can be fuzzed. The dispatcher acts on the result.
#pragma once

#include <string>
#include <string_view>

namespace nv {

enum class CommandKind {
  kUnknown,  // a name the launcher does not know: nothing happens
  kReady,
  kDrag,
  kInstall,
  kBrowse,
  kPause,
  kResume,
  kCancel,
  kPlay,
  kRepair,
  kHd,
  kCheckDeps,
  kOpenFolder,
  kUninstall,
  kUrl,
  kMin,
  kClose,
};

struct Command {
  CommandKind kind = CommandKind::kUnknown;
  // install: the folder as the page sent it (field 1); the dispatcher cleans it.
  std::wstring folder;
  // install: whether the HD pack comes too (field 2); hd: on or off (field 1).
  bool hd = false;
  // install: whether shortcuts are made (field 3); on when the page sends no
  // fourth field.
  bool shortcut = true;
  // url: everything after "url|", not split further: an address may hold '|'.
  std::wstring address;
};

// Field 0 names the command, exactly (case-sensitive); fields a command does
// not read are ignored; a boolean field is true only when it is exactly "1".
Command ParseCommand(std::wstring_view text);

}  // namespace nv
