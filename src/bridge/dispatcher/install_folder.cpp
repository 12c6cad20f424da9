#include "bridge/dispatcher/install_folder.h"

#include <cwctype>

#include "sync/fs/ascii_text.h"
#include "sync/fs/product_name.h"

namespace nv {

namespace {

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'"'; }

bool IsForbidden(wchar_t c) {
  return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

}  // namespace

std::wstring NormalizeInstallFolder(std::wstring_view text) {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  std::wstring folder(text);
  for (wchar_t& c : folder)
    if (c == L'/') c = L'\\';
  // A blank before a trailing separator would stay at the end, and Windows
  // drops it from the folder it creates: blanks and separators go together.
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L' ')) folder.pop_back();

  const bool driveForm = folder.size() >= 3 && std::iswalpha(static_cast<wint_t>(folder[0])) &&
                         folder[1] == L':' && folder[2] == L'\\';
  // A UNC path names its server, which starts with neither a separator nor
  // a blank: three backslashes alone are no folder.
  const bool uncForm = folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\' &&
                       folder[2] != L'\\' && folder[2] != L' ';
  if (!driveForm && !uncForm) return {};
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (IsForbidden(folder[i]) || (folder[i] == L':' && i != 1)) return {};
    // Windows drops a trailing dot or blank from each name it creates, so
    // "C:\Games.\Norvane" is not the folder it says; ".." would leave it.
    const bool endsName = i + 1 == folder.size() || folder[i + 1] == L'\\';
    if (endsName && i > 2 && (folder[i] == L'.' || folder[i] == L' ')) return {};
  }
  // \\.\ and \\?\ open the device namespace (disks, pipes, GLOBALROOT),
  // never a folder on a drive or a share.
  if (uncForm && (folder[2] == L'.' || folder[2] == L'?')) return {};
  if (driveForm && folder.size() == 3) folder += kProductName;
  return folder;
}

std::wstring InstallFolderForPick(std::wstring_view picked, const PickedFolderFacts& facts) {
  std::wstring folder(picked);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  const std::size_t sep = folder.find_last_of(L"\\/");
  const std::wstring_view last =
      sep == std::wstring::npos ? std::wstring_view(folder) : std::wstring_view(folder).substr(sep + 1);
  const bool calledNorvane = EqualsIgnoringAsciiCase(last, kProductName);
  if (calledNorvane || facts.holdsGame || facts.isEmpty) return folder;
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder + kProductName;
}

}  // namespace nv
