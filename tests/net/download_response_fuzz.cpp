// The answer an attempt acts on, for statuses and sizes taken from the input:
// the decision never writes a body over bytes it cannot continue, never
// calls a file complete that is not, and says why it gives up.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/download_response.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Small sizes, -1 among them, so that the input's sizes often agree.
std::int64_t Size(const std::uint8_t* data, std::size_t size, std::size_t at) {
  return at < size ? static_cast<std::int64_t>(data[at]) - 1 : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nv::PartialCut;
  using nv::ResponseStep;
  static constexpr std::uint32_t kStatuses[] = {200, 206, 416, 404, 304, 500};
  nv::ResponseFacts facts;
  facts.status = size > 0 ? kStatuses[data[0] % 6] : 0;
  facts.rangeStart = Size(data, size, 1);
  facts.rangeLength = Size(data, size, 2);
  facts.contentLength = Size(data, size, 3);
  facts.partialSize = size > 4 ? data[4] : 0;
  facts.expectedSize = Size(data, size, 5);
  const std::wstring url = L"https://h/f";
  const nv::ResponseDecision decision = nv::DecideResponse(facts, url);

  const bool ranged = facts.status == 206;
  const std::int64_t serverSize = ranged ? facts.rangeLength : facts.contentLength;
  switch (decision.step) {
    case ResponseStep::kWriteBody:
      Check(facts.status == 200 || ranged);
      Check(decision.logLine.empty() && decision.cut != PartialCut::kDiscard);
      // A 206 goes on exactly at the end of the partial file; a 200 from byte 0.
      Check(!ranged || facts.rangeStart == facts.partialSize);
      Check(decision.writeFrom == (ranged ? facts.partialSize : 0));
      Check((decision.cut == PartialCut::kRestart) == (!ranged && facts.partialSize > 0));
      // The size to reach is the manifest's, which the server never contradicts.
      Check(decision.total == (facts.expectedSize >= 0 ? facts.expectedSize : serverSize));
      Check(serverSize < 0 || decision.total == serverSize);
      break;
    case ResponseStep::kComplete:
      Check(facts.status == 416 && facts.expectedSize < 0 && facts.rangeLength == facts.partialSize);
      Check(decision.cut == PartialCut::kKeep && decision.logLine.empty());
      break;
    case ResponseStep::kRetry:
      Check(facts.status == 416 || decision.logLine.find(url) != std::wstring::npos);
      Check(decision.cut != PartialCut::kRestart || (facts.status == 200 && facts.partialSize > 0));
      Check(decision.cut != PartialCut::kDiscard || ranged || facts.status == 416);
      break;
  }
  return 0;
}
