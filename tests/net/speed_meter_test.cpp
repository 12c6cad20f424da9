#include "net/speed_meter.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

TEST(SpeedMeter, MeasuresBytesPerSecondOnceTheWindowSpans250Ms) {
  SpeedMeter meter;
  meter.BeginAttempt(10000);
  meter.AddChunk(100000, 10100);
  EXPECT_EQ(meter.speed(), 0u) << "100 ms is too short to measure";
  meter.AddChunk(100000, 10500);
  EXPECT_EQ(meter.speed(), 200000u * 1000 / 500);
  meter.AddChunk(0, 10600);
  EXPECT_EQ(meter.speed(), 200000u * 1000 / 600);
}

TEST(SpeedMeter, WindowReachesJustPastTwoSecondsBack) {
  SpeedMeter meter;
  meter.BeginAttempt(0);
  // 1 MB in the first second, then nothing for 3 s: the old burst leaves the window.
  meter.AddChunk(1000000, 1000);
  meter.AddChunk(0, 2000);
  meter.AddChunk(0, 3000);
  meter.AddChunk(0, 4000);
  EXPECT_EQ(meter.speed(), 0u);
  EXPECT_LE(meter.sampleCount(), 3u);
  // A steady 1 MB/s keeps reading 1 MB/s.
  for (std::uint64_t t = 4100; t <= 9000; t += 100) meter.AddChunk(100000, t);
  EXPECT_EQ(meter.speed(), 1000000u);
  EXPECT_LE(meter.sampleCount(), 23u);
}

TEST(SpeedMeter, SameTimeReplacesTheNewestSample) {
  SpeedMeter meter;
  meter.BeginAttempt(500);
  meter.AddChunk(10, 800);
  meter.AddChunk(20, 800);
  EXPECT_EQ(meter.sampleCount(), 2u);
  EXPECT_EQ(meter.cumulativeBytes(), 30u);
  EXPECT_EQ(meter.speed(), 30u * 1000 / 300);
}

TEST(SpeedMeter, CarriesOverToTheNextFileUnlessStale) {
  SpeedMeter meter;
  meter.BeginAttempt(0);
  meter.AddChunk(500000, 1000);
  EXPECT_EQ(meter.speed(), 500000u);

  meter.BeginAttempt(3000);  // newest sample 2000 ms old: goes on
  EXPECT_EQ(meter.speed(), 500000u);
  EXPECT_GE(meter.sampleCount(), 2u);

  meter.BeginAttempt(6001);  // 3001 ms since the last sample: afresh
  EXPECT_EQ(meter.speed(), 0u);
  EXPECT_EQ(meter.sampleCount(), 1u);
  meter.AddChunk(1000, 6101);
  EXPECT_EQ(meter.speed(), 0u) << "the new window is only 100 ms wide";
}

}  // namespace
}  // namespace nv
