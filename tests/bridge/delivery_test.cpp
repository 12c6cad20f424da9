// Delivery on one thread: what the page sees before and after "ready",
// across reloads, and what the cache keeps.
#include <gtest/gtest.h>

#include "bridge/nv_api.h"
#include "bridge/progress_state.h"
#include "support/page_recorder.h"

namespace nv {
namespace {

using test::PageRecorder;
using Types = std::vector<std::string>;

std::string State(const std::string& screen) {
  return "{\"t\":\"state\",\"state\":\"" + screen + "\"}";
}

void PostState(const std::string& screen) { PostToPage("state", State(screen), screen); }

// What the ready command does on the window thread.
void PageSaysReady() {
  SetPageReady(true);
  ReplayToPage();
}

TEST(Delivery, StateAndToastBeforeReadyArriveOnceInOrder) {
  PageRecorder page;
  PostState("ready");
  Toast("Norvane is installed. Have fun!");
  DrainOutbox();
  EXPECT_TRUE(page.messages().empty());
  EXPECT_EQ(CurrentScreen(), "ready");

  PageSaysReady();
  EXPECT_EQ(page.types(), Types({"state", "toast"}));
  EXPECT_EQ(page.messages()[0], State("ready"));

  page.clear();
  PageSaysReady();  // a second ready replays the cache, not the toast
  EXPECT_EQ(page.types(), Types({"state"}));
}

TEST(Delivery, OnlyTheLastStateBeforeReadyIsReplayed) {
  PageRecorder page;
  PostState("install");
  PostState("installing");
  DrainOutbox();
  PageSaysReady();
  ASSERT_EQ(page.messages().size(), 1u);
  EXPECT_EQ(page.messages()[0], State("installing"));
}

TEST(Delivery, ReplayOrderIsFixedWhateverTheArrivalOrder) {
  PageRecorder page;
  PostToPage("online", "{\"online\":true,\"players\":5,\"t\":\"online\"}");
  PostToPage("news", "{\"news\":[],\"t\":\"news\"}");
  PostToPage("deps", BuildDepsJson({}));
  PostToPage("steps", BuildStepsJson({{"a", "now"}}));
  PostToPage("browse", BuildBrowseJson("E:\\N", 1));
  PostToPage("error", BuildErrorJson("boom"));
  PostState("installing");
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
  PostState("updating");
  EXPECT_TRUE(page.messages().empty());  // nothing before the window thread drains
  DrainOutbox();
  EXPECT_EQ(page.types(), Types({"toast", "state"}));
}

TEST(Delivery, ReloadHoldsMessagesUntilTheNextReady) {
  PageRecorder page;
  PageSaysReady();
  PostState("ready");
  DrainOutbox();
  page.clear();

  SetPageReady(false);  // the web view navigates to the page again
  PostToPage("browse", BuildBrowseJson("F:\\Norvane", 42));
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
  PostState("installing");
  PostToPage("steps", BuildStepsJson({{"Download", "now"}}));
  PostToPage("deps", BuildDepsJson({{"directx", "DirectX 9.0c Runtime", true}}));
  PostToPage("news", "{\"t\":\"news\"}");
  PostToPage("online", "{\"t\":\"online\"}");
  DrainOutbox();
  CacheMessage("filelist", BuildFileListJson({{"a", 1, "done"}}, -1, 0));
  CacheMessage("repair", BuildRepairJson(1, 0, 0, 0));

  PostState("updating");  // another job screen keeps the cards
  DrainOutbox();
  EXPECT_TRUE(CachedMessage("steps").has_value());

  PostState("ready");
  DrainOutbox();
  EXPECT_FALSE(CachedMessage("steps"));
  EXPECT_FALSE(CachedMessage("filelist"));
  EXPECT_FALSE(CachedMessage("repair"));
  PageSaysReady();
  EXPECT_EQ(page.types(), Types({"state", "deps", "news", "online"}));

  PostToPage("steps", BuildStepsJson({}));
  PostState("install");
  DrainOutbox();
  EXPECT_FALSE(CachedMessage("steps"));
}

TEST(Delivery, NonStateMessagesLeaveTheScreenAlone) {
  PageRecorder page;
  PostState("repair");
  Toast("x");
  ReportError("y");
  DrainOutbox();
  EXPECT_EQ(CurrentScreen(), "repair");
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
