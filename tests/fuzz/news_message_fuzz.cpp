// MakeTypedMessage on any bytes: no crash, no undefined behaviour; a message
// is either nothing or one object that ends with the type member, and it
// never grows by more than that member.
#include <cstdlib>
#include <string>
#include <string_view>

#include "news/news_message.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (nv::MessageType type : {nv::MessageType::kNews, nv::MessageType::kOnline}) {
    const std::string message = nv::MakeTypedMessage(text, type);
    if (message.empty()) continue;
    const std::string tail = ",\"t\":\"" + std::string(nv::MessageTypeName(type)) + "\"}";
    if (message.front() != '{' || message.size() > size + tail.size()) std::abort();
    if (message != "{" + tail.substr(1) && message.compare(message.size() - tail.size(), tail.size(), tail) != 0)
      std::abort();
  }
  return 0;
}
