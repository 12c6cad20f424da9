// Delivery on one thread: what the page sees before and after "ready",
// across reloads, and what the cache keeps.
#include <gtest/gtest.h>

#include "bridge/nv_api.h"
#include "bridge/player_texts.h"
#include "bridge/progress_state.h"
#include "support/page_recorder.h"

namespace nv {
namespace {

using test::PageRecorder;
using Types = std::vector<std::string>;

std::string State(Screen screen) {
  return "{\"t\":\"state\",\"state\":\"" + std::string(ScreenName(screen)) + "\"}";
}

void PostState(Screen screen) { PostToPage(MessageType::kState, State(screen), screen); }

// What the ready command does on the window thread.
void PageSaysReady() {
  SetPageReady(true);
  ReplayToPage();
}

TEST(Delivery, StateAndToastBeforeReadyArriveOnceInOrder) {
  PageRecorder page;
  PostState(Screen::kReady);
  Toast(kInstalledText);
  DrainOutbox();
  EXPECT_TRUE(page.messages().empty());
  EXPECT_EQ(CurrentScreen(), Screen::kReady);

  PageSaysReady();
  EXPECT_EQ(page.types(), Types({"state", "toast"}));
  EXPECT_EQ(page.messages()[0], State(Screen::kReady));

  page.clear();
  PageSaysReady();  // a second ready replays the cache, not the toast
  EXPECT_EQ(page.types(), Types({"state"}));
}

TEST(Delivery, OnlyTheLastStateBeforeReadyIsReplayed) {
  PageRecorder page;
  PostState(Screen::kInstall);
  PostState(Screen::kInstalling);
  DrainOutbox();
  PageSaysReady();
  ASSERT_EQ(page.messages().size(), 1u);
  EXPECT_EQ(page.messages()[0], State(Screen::kInstalling));
}

TEST(Delivery, ReplayOrderIsFixedWhateverTheArrivalOrder) {
  PageRecorder page;
  PostToPage(MessageType::kOnline, "{\"online\":true,\"players\":5,\"t\":\"online\"}");
  PostToPage(MessageType::kNews, "{\"news\":[],\"t\":\"news\"}");
  PostToPage(MessageType::kDeps, BuildDepsJson({}));
  PostToPage(MessageType::kSteps, BuildStepsJson({{"a", RowState::kNow}}));
  PostToPage(MessageType::kBrowse, BuildBrowseJson("E:\\N", 1));
  PostToPage(MessageType::kError, BuildErrorJson("boom"));
  PostState(Screen::kInstalling);
  Toast("hello");
  DrainOutbox();
  PageSaysReady();
  EXPECT_EQ(page.types(),
            Types({"state", "steps", "deps", "news", "online", "browse", "error", "toast"}));
}

TEST(Delivery, AfterReadyMessagesGoStraightThrough) {
  PageRecorder page;
  PageSaysReady();
  Toast("one");
  PostState(Screen::kUpdating);
  EXPECT_TRUE(page.messages().empty());  // nothing before the window thread drains
  DrainOutbox();
  EXPECT_EQ(page.types(), Types({"toast", "state"}));
}

TEST(Delivery, ReloadHoldsMessagesUntilTheNextReady) {
  PageRecorder page;
  PageSaysReady();
  PostState(Screen::kReady);
  DrainOutbox();
  page.clear();

  SetPageReady(false);  // the web view navigates to the page again
  PostToPage(MessageType::kBrowse, BuildBrowseJson("F:\\Norvane", 42));
  DrainOutbox();
  EXPECT_TRUE(page.messages().empty());

  PageSaysReady();
  EXPECT_EQ(page.types(), Types({"state", "browse"}));
  page.clear();
  PageSaysReady();
  EXPECT_EQ(page.types(), Types({"state"}));  // the browse result was delivered once
}

TEST(Delivery, ReadyOrInstallStateDropsTheJobCards) {
  PageRecorder page;
  PostState(Screen::kInstalling);
  PostToPage(MessageType::kSteps, BuildStepsJson({{"Download", RowState::kNow}}));
  PostToPage(MessageType::kDeps, BuildDepsJson({{"directx", "DirectX 9.0c Runtime", true}}));
  PostToPage(MessageType::kNews, "{\"t\":\"news\"}");
  PostToPage(MessageType::kOnline, "{\"t\":\"online\"}");
  DrainOutbox();
  CacheMessage(MessageType::kFileList, BuildFileListJson({{"a", 1, RowState::kDone}}, -1, 0));
  CacheMessage(MessageType::kRepair, BuildRepairJson(1, 0, 0, 0));

  PostState(Screen::kUpdating);  // another job screen keeps the cards
  DrainOutbox();
  EXPECT_TRUE(CachedMessage(MessageType::kSteps).has_value());

  PostState(Screen::kReady);
  DrainOutbox();
  EXPECT_FALSE(CachedMessage(MessageType::kSteps));
  EXPECT_FALSE(CachedMessage(MessageType::kFileList));
  EXPECT_FALSE(CachedMessage(MessageType::kRepair));
  PageSaysReady();
  EXPECT_EQ(page.types(), Types({"state", "deps", "news", "online"}));

  PostToPage(MessageType::kSteps, BuildStepsJson({}));
  PostState(Screen::kInstall);
  DrainOutbox();
  EXPECT_FALSE(CachedMessage(MessageType::kSteps));
}

TEST(Delivery, NonStateMessagesLeaveTheScreenAlone) {
  PageRecorder page;
  PostState(Screen::kRepair);
  Toast("x");
  ReportError("y");
  DrainOutbox();
  EXPECT_EQ(CurrentScreen(), Screen::kRepair);
}

TEST(Delivery, NoWebViewSendsAndKeepsNothing) {
  PageRecorder page;
  SetPageSink({});
  PageSaysReady();
  Toast("lost");
  DrainOutbox();
  SetPageSink([](const std::string&) { FAIL() << "the lost toast came back"; });
  ReplayToPage();
}

}  // namespace
}  // namespace nv
