// Producers on several threads reach the page through a real window's
// message queue, each thread's messages in the order it posted them.
#include <gtest/gtest.h>

#include <thread>

#include "bridge/nv_api.h"
#include "support/page_recorder.h"
#include "support/test_window.h"

namespace nv {
namespace {

TEST(DeliveryThreads, EveryMessageArrivesAndPerThreadOrderIsKept) {
  test::PageRecorder page;
  test::TestWindow window;
  ASSERT_NE(window.hwnd(), nullptr) << "no window: is DISPLAY set?";
  SetPageReady(true);

  constexpr int kThreads = 4;
  constexpr int kPerThread = 250;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i)
        Toast(std::to_string(t) + ":" + std::to_string(i));
    });
  }
  for (std::thread& p : producers) p.join();
  ASSERT_TRUE(window.PumpUntil([&] { return page.messages().size() == kThreads * kPerThread; }));

  std::vector<int> next(kThreads, 0);
  for (const std::string& json : page.messages()) {
    // {"t":"toast","text":"T:I"}
    const std::size_t start = json.find("\"text\":\"") + 8;
    const std::size_t colon = json.find(':', start);
    const int t = std::stoi(json.substr(start, colon - start));
    const int i = std::stoi(json.substr(colon + 1));
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(i, next[t]) << "thread " << t << " out of order";
    next[t] = i + 1;
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kPerThread);
}

TEST(DeliveryThreads, MessagesBeforeTheWindowDrainsStayHeldUntilReady) {
  test::PageRecorder page;
  test::TestWindow window;
  std::thread worker([] {
    ReportState(Screen::kReady, false, true);
    Toast("held");
  });
  worker.join();
  window.Pump(100);
  EXPECT_TRUE(page.messages().empty());
  EXPECT_EQ(CurrentScreen(), Screen::kReady);  // drained by the window procedure
  SetPageReady(true);
  ReplayToPage();
  EXPECT_EQ(page.types(), std::vector<std::string>({"state", "toast"}));
}

}  // namespace
}  // namespace nv
