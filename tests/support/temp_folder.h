// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nv::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

 private:
  std::wstring path_;
};

// Writes bytes to a file (creating it), true on success.
bool WriteTestFile(const std::wstring& path, std::string_view bytes);
// The whole file; nothing when it is missing or anyone still holds it open
// for writing or deleting, so a test also sees a handle the code under test
// forgot to close.
std::optional<std::string> ReadAll(const std::wstring& path);
// A file the build put beside the test executable, relative to its folder.
std::wstring BesideTestExe(std::wstring_view relative);
// Removes a folder tree (long paths included). A linked folder inside it
// loses the link only, never what it points to.
void RemoveTree(const std::wstring& path);

// Makes link a symbolic link to the folder target; true when the link is in
// place and reported as a reparse point. Under Wine the link is made on the
// Unix side (ln -s), which Wine reports as a reparse point; on Windows,
// CreateSymbolicLinkW (needs the right to create links).
bool PlantFolderLink(const std::wstring& link, const std::wstring& target);
bool PlantFileLink(const std::wstring& link, const std::wstring& target);

}  // namespace nv::test
