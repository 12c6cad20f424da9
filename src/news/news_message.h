// The news and player-count documents of the game's web site as bridge
// messages, and the poll loop that fetches them. Pure: the fetch, the post and
// the wait between cycles are handed in, so the loop runs on any platform.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "bridge/nv_api.h"

namespace nv {

// What the page receives whenever the player count cannot be had.
inline constexpr std::string_view kFallbackOnlineMessage =
    R"({"t":"online","online":false,"players":0,"unknown":true})";

// The document (one JSON object, optionally behind a byte order mark and
// surrounded by blanks) with a member "t" of the given type appended; empty
// when the text is not an object. The members are not parsed: they reach the
// page as the web site wrote them.
std::string MakeTypedMessage(std::string_view text, MessageType type);

struct NewsLoopCalls {
  // GETs a document; false when it could not be had.
  std::function<bool(const std::string& url, std::string& body)> fetch;
  // Hands a news or online message to the page.
  std::function<void(MessageType type, const std::string& json)> post;
  // Waits out the poll period; false ends the loop (quit was asked for).
  std::function<bool()> wait;
};

// The thread's cycles: the news until it has been delivered once, then the
// player count in every cycle (the fallback when it fails), then the wait.
void RunNewsLoop(const std::string& newsUrl, const std::string& onlineUrl,
                 const NewsLoopCalls& calls);

}  // namespace nv
