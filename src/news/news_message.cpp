#include "news/news_message.h"

namespace nv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string MakeTypedMessage(std::string_view text, MessageType type) {
  if (text.size() > 2 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  std::size_t end = text.size();
  while (end > first && IsBlank(text[end - 1])) --end;
  // A single "{" is both the first and the last character, not an object.
  if (end - first < 2 || text[first] != '{' || text[end - 1] != '}') return {};

  const std::string_view inner = text.substr(first + 1, end - first - 2);
  bool hasMembers = false;
  for (char c : inner) {
    if (!IsBlank(c)) {
      hasMembers = true;
      break;
    }
  }
  std::string message;
  const std::string_view word = MessageTypeName(type);
  message.reserve(inner.size() + word.size() + 10);
  message += '{';
  if (hasMembers) {
    message += inner;
    message += ',';
  }
  message += "\"t\":\"";
  message += word;
  message += "\"}";
  return message;
}

void RunNewsLoop(const std::string& newsUrl, const std::string& onlineUrl,
                 const NewsLoopCalls& calls) {
  bool newsDelivered = false;
  do {
    std::string body;
    if (!newsDelivered && calls.fetch(newsUrl, body)) {
      const std::string news = MakeTypedMessage(body, MessageType::kNews);
      if (!news.empty()) {
        calls.post(MessageType::kNews, news);
        newsDelivered = true;
      }
    }
    body.clear();
    std::string online;
    if (calls.fetch(onlineUrl, body)) online = MakeTypedMessage(body, MessageType::kOnline);
    if (online.empty()) online = kFallbackOnlineMessage;
    calls.post(MessageType::kOnline, online);
  } while (calls.wait());
}

}  // namespace nv
