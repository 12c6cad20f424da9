// Moves messages from any thread to the window thread, holds them while the
// page is not there, and replays the screen-describing ones on "ready".
#include <array>
#include <deque>
#include <map>

#include "bridge/delivery_testing.h"
#include "bridge/nv_api.h"
#include "bridge/progress_state.h"

namespace nv {

namespace {

struct OutboxEntry {
  MessageType type;
  std::string json;
  std::optional<Screen> screen;
};

// Types whose last message describes the screen; replayed in this order.
constexpr std::array<MessageType, 7> kCacheableTypes = {
    MessageType::kState, MessageType::kSteps, MessageType::kFileList, MessageType::kRepair,
    MessageType::kDeps,  MessageType::kNews,  MessageType::kOnline};

bool IsCacheable(MessageType type) {
  for (MessageType t : kCacheableTypes)
    if (t == type) return true;
  return false;
}

std::mutex outboxMutex;
std::deque<OutboxEntry> outbox;  // guarded by outboxMutex
std::atomic<OutboxWake> outboxWake{nullptr};

// Window thread only.
std::map<MessageType, std::string> messageCache;
std::vector<std::string> pendingMessages;
bool pageReady = false;
std::optional<Screen> currentScreen;
PageSink pageSink;

}  // namespace

void PostToPage(MessageType type, std::string json, std::optional<Screen> screen) {
  {
    std::lock_guard<std::mutex> lock(outboxMutex);
    outbox.push_back({type, std::move(json), screen});
  }
  // One wake per entry; a drain takes everything, so later wakes may find the
  // queue empty, which is harmless.
  if (OutboxWake wake = outboxWake.load()) wake();
}

void DrainOutbox() {
  std::deque<OutboxEntry> entries;
  {
    std::lock_guard<std::mutex> lock(outboxMutex);
    entries.swap(outbox);
  }
  for (OutboxEntry& entry : entries) {
    if (entry.type == MessageType::kState) {
      currentScreen = entry.screen;
      // The job cards of the previous job are no longer valid.
      if (entry.screen == Screen::kReady || entry.screen == Screen::kInstall) {
        messageCache.erase(MessageType::kSteps);
        messageCache.erase(MessageType::kFileList);
        messageCache.erase(MessageType::kRepair);
      }
    }
    const bool cacheable = IsCacheable(entry.type);
    if (cacheable) messageCache[entry.type] = entry.json;
    if (pageReady) {
      SendToPage(entry.json);
    } else if (!cacheable) {
      // A cacheable message is only cached: the replay shows its latest version.
      pendingMessages.push_back(std::move(entry.json));
    }
  }
}

void SendToPage(const std::string& json) {
  if (pageSink) pageSink(json);
}

void ReplayToPage() {
  for (MessageType type : kCacheableTypes) {
    auto it = messageCache.find(type);
    if (it != messageCache.end()) SendToPage(it->second);
  }
  std::vector<std::string> held;
  held.swap(pendingMessages);
  for (const std::string& json : held) SendToPage(json);
  ClearLastSentProgress();
}

bool IsPageReady() { return pageReady; }
void SetPageReady(bool ready) { pageReady = ready; }
std::optional<Screen> CurrentScreen() { return currentScreen; }

std::optional<std::string> CachedMessage(MessageType type) {
  auto it = messageCache.find(type);
  if (it == messageCache.end()) return std::nullopt;
  return it->second;
}

void CacheMessage(MessageType type, const std::string& json) {
  messageCache[type] = json;
}

void SetPageSink(PageSink sink) { pageSink = std::move(sink); }
bool HasWebView() { return static_cast<bool>(pageSink); }

void SetOutboxWake(OutboxWake wake) { outboxWake = wake; }

void ResetDelivery() {
  {
    std::lock_guard<std::mutex> lock(outboxMutex);
    outbox.clear();
  }
  messageCache.clear();
  pendingMessages.clear();
  pageReady = false;
  currentScreen.reset();
  ClearLastSentProgress();
}

}  // namespace nv
