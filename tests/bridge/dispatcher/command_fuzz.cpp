// The page's command text (UTF-16, two input bytes a unit) split into fields
// and parsed, and every field put through the install folder rules: joining
// the fields gives the text back; the command's name alone decides its kind
// and each value comes from its own field; a folder the rules accept is
// absolute, clean and accepted again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/dispatcher/command_parser.h"
#include "bridge/dispatcher/install_folder.h"
#include "bridge/nv_api.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

void CheckFolder(const std::wstring& folder) {
  if (folder.empty()) return;
  const bool drive = folder.size() >= 4 && folder[1] == L':' && folder[2] == L'\\';
  const bool unc = folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\';
  Check(drive || unc);
  Check(!drive || IsAsciiLetter(folder[0]));
  Check(folder.back() != L'\\' && folder.back() != L' ');
  for (std::size_t i = 0; i < folder.size(); ++i) {
    const wchar_t c = folder[i];
    Check(c >= 0x20 && c != L'/' && c != L'"' && c != L'<' && c != L'>' && c != L'|' &&
          c != L'?' && c != L'*' && (c != L':' || i == 1));
  }
  Check(nv::NormalizeInstallFolder(folder) == folder);
}

void CheckCommand(std::wstring_view text, const std::vector<std::wstring>& fields) {
  using nv::CommandKind;
  const nv::Command command = nv::ParseCommand(text);
  if (command.kind != CommandKind::kUnknown) {
    Check(nv::ParseCommand(fields[0]).kind == command.kind);
    for (wchar_t c : fields[0]) Check(c >= L'a' && c <= L'z');
  }
  const bool install = command.kind == CommandKind::kInstall;
  Check(command.folder == (install ? nv::CommandField(fields, 1) : std::wstring_view()));
  const std::size_t hdField = install ? 2 : 1;
  Check(command.hd == ((install || command.kind == CommandKind::kHd) && nv::IsTrueField(fields, hdField)));
  Check(command.shortcut == (!install || fields.size() < 4 || nv::IsTrueField(fields, 3)));
  if (command.kind == CommandKind::kUrl && text.size() > 4) {
    Check(text.substr(0, 4) == L"url|" && text.substr(4) == command.address);
  } else {
    Check(command.address.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

  const std::vector<std::wstring> fields = nv::SplitCommand(text);
  std::wstring joined;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) joined += L'|';
    joined += fields[i];
    Check(fields[i].find(L'|') == std::wstring::npos);
  }
  Check(joined == text);
  Check(nv::CommandField(fields, fields.size()).empty());
  CheckCommand(text, fields);

  for (const std::wstring& field : fields) {
    const std::wstring folder = nv::NormalizeInstallFolder(field);
    CheckFolder(folder);
    if (folder.empty()) continue;
    const nv::PickedFolderFacts facts{(size & 1) != 0, (size & 2) != 0};
    const std::wstring picked = nv::InstallFolderForPick(folder, facts);
    Check(picked == folder || picked == folder + L"\\Norvane");
  }
  return 0;
}
