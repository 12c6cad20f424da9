// PlanClientDataList on any bytes, with "missing" decided by the input: the
// reduced list must never be longer in lines, must keep every line that is
// not an entry, and must be stable when planned again with nothing missing.
#include <cstdlib>
#include <string>
#include <string_view>

#include "system/game_client/data_ini.h"

namespace {

std::size_t CountLines(std::string_view text) {
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines + (!text.empty() && text.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses which archives are missing, bit by bit per question.
  const unsigned pattern = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  unsigned question = 0;
  const nv::DataListPlan plan = nv::PlanClientDataList(text, [&](std::string_view value) {
    if (!nv::IsHdArchiveName(value)) std::abort();  // only HD entries are asked about
    return ((pattern >> (question++ % 8)) & 1u) != 0;
  });
  if (plan.action != nv::DataListAction::kWriteReduced) {
    if (!plan.reducedText.empty()) std::abort();
    return 0;
  }
  if (question == 0) std::abort();
  if (CountLines(plan.reducedText) > CountLines(text) + 1) std::abort();
  // Nothing missing any more: the reduced list is already what it should be.
  const nv::DataListPlan again =
      nv::PlanClientDataList(plan.reducedText, [](std::string_view) { return false; });
  if (again.action == nv::DataListAction::kWriteReduced) std::abort();
  return 0;
}
