// The news thread against the test web site (nginx on 18444, documents put
// there by scripts/test-services): the real endpoints, the real delivery.
#include "news/news_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "bridge/nv_api.h"
#include "support/page_recorder.h"
#include "support/test_window.h"

namespace nv {
namespace {

TEST(NewsThread, OneCycleDeliversBothDocumentsThenQuits) {
  test::PageRecorder page;
  test::TestWindow window;
  ASSERT_NE(window.hwnd(), nullptr) << "no window: is DISPLAY set?";
  SetPageReady(true);
  ASSERT_TRUE(CreateQuitEvent());
  std::thread news(NewsThreadMain);

  ASSERT_TRUE(window.PumpUntil([&] { return page.messages().size() >= 2; }, 20000));
  // The thread waits now: setting the event ends it without the 60 s wait.
  const auto asked = std::chrono::steady_clock::now();
  SetEvent(QuitEvent());
  news.join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));

  ASSERT_EQ(page.messages().size(), 2u);
  EXPECT_EQ(page.messages()[0],
            R"({"headline":{"title":"Test news"},"news":[{"title":"One","tag":"EVENT"}],"t":"news"})");
  EXPECT_EQ(page.messages()[1], R"({"online":true,"players":1234,"t":"online"})");
  // Both are kept for a page that loads again.
  EXPECT_TRUE(CachedMessage(MessageType::kNews).has_value());
  EXPECT_EQ(*CachedMessage(MessageType::kOnline), page.messages()[1]);
}

TEST(NewsThread, QuitAlreadySetEndsAfterTheFirstCycle) {
  test::PageRecorder page;
  test::TestWindow window;
  SetPageReady(true);
  ASSERT_TRUE(CreateQuitEvent());
  SetEvent(QuitEvent());
  std::thread news(NewsThreadMain);
  news.join();
  ASSERT_TRUE(window.PumpUntil([&] { return page.messages().size() >= 2; }));
  EXPECT_EQ(page.types(), (std::vector<std::string>{"news", "online"}));
}

}  // namespace
}  // namespace nv
