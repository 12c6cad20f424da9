#include "bridge/dispatcher/command_parser.h"

#include <vector>

#include "bridge/nv_api.h"

namespace nv {

namespace {

struct NamedCommand {
  std::wstring_view name;
  CommandKind kind;
};

constexpr NamedCommand kCommands[] = {
    {L"ready", CommandKind::kReady},         {L"drag", CommandKind::kDrag},
    {L"install", CommandKind::kInstall},     {L"browse", CommandKind::kBrowse},
    {L"pause", CommandKind::kPause},         {L"resume", CommandKind::kResume},
    {L"cancel", CommandKind::kCancel},       {L"play", CommandKind::kPlay},
    {L"repair", CommandKind::kRepair},       {L"hd", CommandKind::kHd},
    {L"checkdeps", CommandKind::kCheckDeps}, {L"openfolder", CommandKind::kOpenFolder},
    {L"uninstall", CommandKind::kUninstall}, {L"url", CommandKind::kUrl},
    {L"min", CommandKind::kMin},             {L"close", CommandKind::kClose},
};

constexpr std::size_t kUrlPrefixUnits = 4;  // "url|"

}  // namespace

Command ParseCommand(std::wstring_view text) {
  const std::vector<std::wstring> fields = SplitCommand(text);
  Command command;
  for (const NamedCommand& known : kCommands) {
    if (CommandField(fields, 0) == known.name) command.kind = known.kind;
  }
  switch (command.kind) {
    case CommandKind::kInstall:
      command.folder = CommandField(fields, 1);
      command.hd = IsTrueField(fields, 2);
      command.shortcut = fields.size() >= 4 ? IsTrueField(fields, 3) : true;
      break;
    case CommandKind::kHd:
      command.hd = IsTrueField(fields, 1);
      break;
    case CommandKind::kUrl:
      if (text.size() > kUrlPrefixUnits) command.address = text.substr(kUrlPrefixUnits);
      break;
    default:
      break;
  }
  return command;
}

}  // namespace nv
