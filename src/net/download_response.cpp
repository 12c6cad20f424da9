#include "net/download_response.h"

namespace nv {

namespace {

std::wstring Decimal(std::int64_t value) { return std::to_wstring(value); }

}  // namespace

ResponseDecision DecideResponse(const ResponseFacts& facts, std::wstring_view url) {
  ResponseDecision decision;
  decision.writeFrom = facts.partialSize;
  std::int64_t serverSize = -1;
  switch (facts.status) {
    case 206:
      // Bytes from anywhere but the end of the partial file would corrupt it.
      if (facts.rangeStart != facts.partialSize) {
        decision.cut = PartialCut::kDiscard;
        decision.logLine = L"bad Content-Range from " + std::wstring(url);
        return decision;
      }
      serverSize = facts.rangeLength;
      break;
    case 200:
      // The server ignored the Range, or the file changed and If-Range said
      // so: the whole file follows, from byte 0.
      if (facts.partialSize > 0) {
        decision.cut = PartialCut::kRestart;
        decision.writeFrom = 0;
      }
      serverSize = facts.contentLength;
      break;
    case 416:
      // Nothing left to send. Only a file of unknown size may call that
      // complete, and only when the server's size is the partial file's.
      if (facts.expectedSize < 0 && facts.rangeLength == facts.partialSize) {
        decision.step = ResponseStep::kComplete;
        return decision;
      }
      decision.cut = PartialCut::kDiscard;
      return decision;
    default:
      decision.logLine = L"HTTP " + std::to_wstring(facts.status) + L" " + std::wstring(url);
      return decision;
  }

  // The manifest's size wins: a server that offers another is serving
  // another file (a mirror out of date), and the partial file is left for one
  // that serves the right one.
  if (facts.expectedSize >= 0 && serverSize >= 0 && serverSize != facts.expectedSize) {
    decision.logLine = L"size mismatch on " + std::wstring(url) + L": " + Decimal(serverSize) + L" != " +
                       Decimal(facts.expectedSize);
    return decision;
  }
  decision.step = ResponseStep::kWriteBody;
  decision.total = facts.expectedSize >= 0 ? facts.expectedSize : serverSize;
  return decision;
}

}  // namespace nv
