#include "net/download_response.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

constexpr wchar_t kUrl[] = L"https://h/f";

struct Row {
  const char* what;
  ResponseFacts facts;  // status, range start, range length, content length, partial, expected
  ResponseStep step;
  PartialCut cut;
  std::int64_t writeFrom;
  std::int64_t total;
  const wchar_t* log;
};

TEST(DecideResponse, EveryStatusAgainstThePartialFile) {
  using enum ResponseStep;
  using enum PartialCut;
  const Row rows[] = {
      {"206 continues the partial file", {206, 1000, 4000, 3000, 1000, 4000}, kWriteBody, kKeep, 1000, 4000, L""},
      {"206 tells an unknown size", {206, 1000, 4000, -1, 1000, -1}, kWriteBody, kKeep, 1000, 4000, L""},
      {"206 without a size", {206, 0, -1, -1, 0, -1}, kWriteBody, kKeep, 0, -1, L""},
      {"206 from another offset", {206, 1010, 4000, -1, 1000, 4000}, kRetry, kDiscard, 1000, -1,
       L"bad Content-Range from https://h/f"},
      {"206 without Content-Range", {206, -1, -1, 3000, 1000, 4000}, kRetry, kDiscard, 1000, -1,
       L"bad Content-Range from https://h/f"},
      {"206 of another size", {206, 1000, 5000, -1, 1000, 4000}, kRetry, kKeep, 1000, -1,
       L"size mismatch on https://h/f: 5000 != 4000"},
      {"200 to a fresh request", {200, -1, -1, 4000, 0, 4000}, kWriteBody, kKeep, 0, 4000, L""},
      {"200 to a ranged request", {200, -1, -1, 4000, 1000, 4000}, kWriteBody, kRestart, 0, 4000, L""},
      {"200 without a size", {200, -1, -1, -1, 0, 4000}, kWriteBody, kKeep, 0, 4000, L""},
      {"200 tells an unknown size", {200, -1, -1, 4000, 0, -1}, kWriteBody, kKeep, 0, 4000, L""},
      {"200 of another size", {200, -1, -1, 5000, 0, 4000}, kRetry, kKeep, 0, -1,
       L"size mismatch on https://h/f: 5000 != 4000"},
      {"200 of another size to a ranged request", {200, -1, -1, 5000, 1, 4000}, kRetry, kRestart, 0, -1,
       L"size mismatch on https://h/f: 5000 != 4000"},
      {"416 for a whole file of unknown size", {416, -1, 4000, -1, 4000, -1}, kComplete, kKeep, 4000, -1, L""},
      {"416 for a shorter file", {416, -1, 4000, -1, 1000, -1}, kRetry, kDiscard, 1000, -1, L""},
      {"416 for a known size", {416, -1, 1000, -1, 1000, 4000}, kRetry, kDiscard, 1000, -1, L""},
      {"404", {404, -1, -1, -1, 1000, 4000}, kRetry, kKeep, 1000, -1, L"HTTP 404 https://h/f"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ResponseDecision decision = DecideResponse(row.facts, kUrl);
    EXPECT_EQ(decision.step, row.step);
    EXPECT_EQ(decision.cut, row.cut);
    EXPECT_EQ(decision.logLine, row.log);
    if (decision.step == kWriteBody) {
      EXPECT_EQ(decision.writeFrom, row.writeFrom);
      EXPECT_EQ(decision.total, row.total);
    }
  }
}

}  // namespace
}  // namespace nv
