#include "bridge/player_texts.h"

#include <cwchar>

namespace nv {

namespace {

template <class Char>
std::basic_string<Char> Fill(std::basic_string_view<Char> pattern,
                             std::initializer_list<std::basic_string_view<Char>> pieces) {
  constexpr Char kSlot[] = {Char('{'), Char('}'), Char(0)};
  std::basic_string<Char> text;
  auto piece = pieces.begin();
  std::size_t from = 0;
  for (std::size_t at = pattern.find(kSlot); at != pattern.npos && piece != pieces.end();
       at = pattern.find(kSlot, from)) {
    text.append(pattern.substr(from, at - from));
    text.append(*piece++);
    from = at + 2;
  }
  text.append(pattern.substr(from));
  return text;
}

}  // namespace

std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> pieces) {
  return Fill(pattern, pieces);
}

std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> pieces) {
  return Fill(pattern, pieces);
}

std::string UnexpectedErrorText(const char* what) {
  return what ? FillText(kUnexpectedErrorWhyText, {what}) : std::string(kUnexpectedErrorText);
}

std::string CheckFailedText(std::string_view errorText) {
  return FillText(kCheckFailedText, {errorText});
}

std::string FolderNotWritableText(std::string_view folderUtf8) {
  return FillText(kFolderNotWritableText, {folderUtf8});
}

std::string FolderForeignOwnerText(std::string_view folderUtf8) {
  return FillText(kFolderForeignOwnerText, {folderUtf8});
}

std::string FolderForeignLinkText(std::string_view folderUtf8) {
  return FillText(kFolderForeignLinkText, {folderUtf8});
}

std::string PrerequisiteFailedText(std::string_view displayName) {
  return FillText(kPrerequisiteFailedText, {displayName});
}

std::string RepairFinishedText(std::int32_t fixed) {
  if (fixed <= 0) return kRepairAllFineText;
  return FillText(kRepairFixedText, {std::to_string(fixed)});
}

std::string HdDownloadFailedText(std::string_view errorText) {
  return FillText(kHdDownloadFailedText, {errorText});
}

std::string ChangedAfterDownloadText(std::size_t count) {
  return FillText(kChangedAfterDownloadText, {std::to_string(count)});
}

std::wstring UninstallConfirmText(std::wstring_view folder) {
  return FillText(kUninstallConfirmText, {folder});
}

std::wstring UninstallFolderMismatchText(std::wstring_view installedFolder) {
  return FillText(kUninstallFolderMismatchText, {installedFolder});
}

std::wstring UninstallForeignLinkText(std::wstring_view folder) {
  return FillText(kUninstallForeignLinkText, {folder});
}

std::wstring WebViewFailedText(std::uint32_t hresult) {
  wchar_t code[16] = {};
  std::swprintf(code, 16, L"0x%08X", static_cast<unsigned>(hresult));
  return FillText(kWebViewFailedText, {code});
}

}  // namespace nv
