#include "bridge/nv_api.h"

namespace nv {

std::vector<std::wstring> SplitCommand(std::wstring_view text) {
  std::vector<std::wstring> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find(L'|', start);
    if (bar == std::wstring_view::npos) {
      fields.emplace_back(text.substr(start));
      return fields;
    }
    fields.emplace_back(text.substr(start, bar - start));
    start = bar + 1;
  }
}

std::wstring_view CommandField(const std::vector<std::wstring>& fields, std::size_t index) {
  return index < fields.size() ? std::wstring_view(fields[index]) : std::wstring_view();
}

bool IsTrueField(const std::vector<std::wstring>& fields, std::size_t index) {
  return CommandField(fields, index) == L"1";
}

}  // namespace nv
