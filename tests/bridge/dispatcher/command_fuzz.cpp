// The page's command text (UTF-16, two input bytes a unit) split into fields,
// and every field put through the install folder rules: joining the fields
// gives the text back, and a folder the rules accept is absolute, clean and
// accepted again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

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
