// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
#pragma once

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
// Removes a folder tree (long paths included).
void RemoveTree(const std::wstring& path);

}  // namespace nv::test
