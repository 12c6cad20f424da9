#include "news/news_thread.h"

#include <string>

#include "bridge/nv_api.h"
#include "net/http_client.h"
#include "news/news_message.h"
#include "nv_config.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

UniqueKernelHandle& QuitEventHolder() {
  static UniqueKernelHandle event;
  return event;
}

}  // namespace

bool CreateQuitEvent() {
  QuitEventHolder().reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  return static_cast<bool>(QuitEventHolder());
}

HANDLE QuitEvent() { return QuitEventHolder().get(); }

void NewsThreadMain() {
  const std::string site = config::kWebsiteUrl;
  NewsLoopCalls calls;
  calls.fetch = [](const std::string& url, std::string& body) { return FetchText(url, body); };
  calls.post = [](MessageType type, const std::string& json) { PostToPage(type, json); };
  // Any result but a time-out (the event set, or no event to wait on) ends it.
  calls.wait = [] { return WaitForSingleObject(QuitEvent(), kNewsPollMs) == WAIT_TIMEOUT; };
  RunNewsLoop(site + "/patcher/news_api.php", site + "/patcher/online_api.php", calls);
}

}  // namespace nv
