#include "support/page_recorder.h"

#include "bridge/delivery_testing.h"
#include "bridge/nv_api.h"

namespace nv::test {

namespace {
std::vector<std::string> recorded;
}

PageRecorder::PageRecorder() {
  ResetDelivery();
  recorded.clear();
  SetPageSink([](const std::string& json) { recorded.push_back(json); });
}

PageRecorder::~PageRecorder() {
  SetPageSink({});
  ResetDelivery();
  recorded.clear();
}

const std::vector<std::string>& PageRecorder::messages() const { return recorded; }

std::vector<std::string> PageRecorder::types() const {
  std::vector<std::string> out;
  for (const std::string& json : recorded) out.push_back(MessageType(json));
  return out;
}

void PageRecorder::clear() { recorded.clear(); }

std::string MessageType(const std::string& json) {
  const std::string key = "\"t\":\"";
  const std::size_t at = json.rfind(key);
  if (at == std::string::npos) return {};
  const std::size_t start = at + key.size();
  return json.substr(start, json.find('"', start) - start);
}

}  // namespace nv::test
