#include "net/net_log.h"
#include "net/net_log_testing.h"

#include <windows.h>

#include <mutex>

namespace nv {

namespace {
std::mutex sinkMutex;
NetLogSink& Sink() {
  static NetLogSink sink;
  return sink;
}
}  // namespace

void NetLog(std::wstring_view text) {
  std::wstring line = L"[nv_net] ";
  line += text;
  line += L"\n";
  OutputDebugStringW(line.c_str());
  std::lock_guard<std::mutex> lock(sinkMutex);
  if (Sink()) Sink()(std::wstring(text));
}

void SetNetLogSink(NetLogSink sink) {
  std::lock_guard<std::mutex> lock(sinkMutex);
  Sink() = std::move(sink);
}

}  // namespace nv
