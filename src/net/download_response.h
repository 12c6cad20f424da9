// What one download attempt does with the server's answer: the status and
// the size headers weighed against the partial file it resumes. No Windows
// header, so the rule builds everywhere with its table test and fuzz entry
// point; DownloadAttempt carries the decision out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nv {

struct ResponseFacts {
  std::uint32_t status = 0;
  std::int64_t rangeStart = -1;     // Content-Range start, -1 when not given
  std::int64_t rangeLength = -1;    // Content-Range complete length, -1 when not given
  std::int64_t contentLength = -1;  // -1 when not given
  std::int64_t partialSize = 0;     // bytes in the partial file: above 0, the request asked for the rest
  std::int64_t expectedSize = -1;   // -1 when not known
};

enum class ResponseStep {
  kWriteBody,  // the body follows: it is written from writeFrom on
  kComplete,   // the partial file already holds the whole file
  kRetry,      // another attempt or mirror may cure what went wrong
};

enum class PartialCut {
  kKeep,     // the partial file stays as it is
  kDiscard,  // its bytes cannot be continued: cut to 0 as far as that goes, a retry follows anyway
  kRestart,  // the body starts again at byte 0: a file that cannot be cut to 0 is a local error
};

struct ResponseDecision {
  ResponseStep step = ResponseStep::kRetry;
  PartialCut cut = PartialCut::kKeep;
  std::int64_t writeFrom = 0;  // kWriteBody: where the body goes in the partial file
  std::int64_t total = -1;     // kWriteBody: the size the file must reach, -1 when nobody knows
  std::wstring logLine;        // why, for the network log; empty when there is nothing to say
};

// url: the address as the network log shows it.
ResponseDecision DecideResponse(const ResponseFacts& facts, std::wstring_view url);

}  // namespace nv
