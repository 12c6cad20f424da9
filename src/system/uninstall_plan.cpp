#include "system/uninstall_plan.h"

#include <algorithm>
#include <utility>

#include "sync/fs/path_text.h"

namespace nv {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t SeparatorCount(std::string_view path) {
  return static_cast<std::size_t>(std::count_if(path.begin(), path.end(), IsSeparator));
}

// "." and "..", and also "...", ".. " or ". .": Win32 drops trailing dots and
// blanks from a path component, so those reach the parent folder as well.
bool IsDotsComponent(std::string_view piece) {
  if (piece.empty()) return false;  // "a//b": an empty component is harmless
  for (char c : piece)
    if (c != '.' && c != ' ') return false;
  return piece.find('.') != std::string_view::npos;
}

}  // namespace

bool IsSafeRelativePath(std::string_view path) {
  if (path.empty() || IsSeparator(path.front())) return false;
  if (path.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (IsDotsComponent(path.substr(start, end - start))) return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

bool IsScreenshotPath(std::string_view path) {
  const std::size_t separator = path.find_first_of("/\\");
  if (separator == std::string_view::npos) return false;
  // "screenshot /" and "screenshot./" name the same folder on Windows.
  std::string_view first = path.substr(0, separator);
  while (!first.empty() && (first.back() == '.' || first.back() == ' ')) first.remove_suffix(1);
  return AsciiLower(first) == "screenshot";
}

void AddParentFolders(std::string_view path, std::set<std::string>& folders) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && i > 0) folders.emplace(path.substr(0, i));
  }
}

std::vector<std::string> DeepestFirst(const std::set<std::string>& folders) {
  std::vector<std::string> out(folders.begin(), folders.end());
  std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
    return SeparatorCount(a) > SeparatorCount(b);
  });
  return out;
}

std::wstring InterpreterPath(std::wstring_view systemFolder) {
  if (systemFolder.empty() || systemFolder.size() >= 260) return L"cmd.exe";
  return std::wstring(systemFolder) + L"\\cmd.exe";
}

std::wstring BuildDeferredDeleteCommand(std::wstring_view interpreter) {
  // The interpreter's input is a pipe whose other end only the launcher
  // holds: "set /p" waits on it until the launcher has really ended (the
  // system closes that end with the process), however long its result box
  // stays up. ping then waits about one second (two echo requests to the
  // local host) for the executable to be released before del runs; rmdir
  // without /s removes the game folder only when it is empty by then.
  //
  // The interpreter runs elevated: /d keeps the per-user AutoRun command
  // (which the unelevated user can set) from running with it, and the paths
  // never appear in the line, where %NAME% would be expanded even inside
  // quotes and the result parsed again. They arrive in the environment block
  // this process builds and are read with delayed expansion (/v:on), whose
  // result is data: no quote, '&', '%' or '!' in a folder name can end the
  // quoted text or start a command.
  std::wstring line;
  line += L'"';
  line += interpreter;
  line += L'"';
  line += L" /d /v:on /c set /p nv= & ping.exe 127.0.0.1 -n 2 > nul & "
          L"del /f /q \"!NV_COPY!\" \"!NV_COPY!.old\" & rmdir \"!NV_FOLDER!\"";
  return line;
}

std::wstring BuildDeferredDeleteEnvironment(std::wstring_view systemFolder, std::wstring_view windowsFolder,
                                            std::wstring_view copyPath, std::wstring_view folder) {
  // Names in the case-blind order the system keeps a block in. PATH is the
  // system folder alone, so nothing of the user's decides what ping is.
  const std::pair<std::wstring_view, std::wstring_view> entries[] = {
      {L"NV_COPY", copyPath}, {L"NV_FOLDER", folder}, {L"PATH", systemFolder}, {L"SystemRoot", windowsFolder}};
  std::wstring block;
  for (const auto& [name, value] : entries) {
    // A NUL would end the entry early and hand the rest over as another.
    if (value.empty() || value.find(L'\0') != std::wstring_view::npos) return {};
    block += name;
    block += L'=';
    block += value;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

}  // namespace nv
