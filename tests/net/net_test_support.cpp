#include "net_test_support.h"

#include <windows.h>

#include <atomic>

#include "net/http_client.h"
#include "net/net_log_testing.h"
#include "sync/fs/fs_helpers.h"

namespace nv::test {

std::string UniqueId(std::string_view name) {
  static std::atomic<int> counter{0};
  return std::string(name) + "-" + std::to_string(GetTickCount64()) + "-" + std::to_string(counter++);
}

std::string FaultUrl(std::string_view options, std::string_view rest) {
  return std::string(kFaultHost) + "/f/" + std::string(options) + "/" + std::string(rest);
}

namespace {
std::vector<std::string> SplitTabs(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  fields.resize(6);
  return fields;
}
}  // namespace

std::vector<LoggedRequest> RequestsFor(std::string_view id) {
  std::string body;
  std::vector<LoggedRequest> requests;
  if (!FetchText(std::string(kFaultHost) + "/log?id=" + std::string(id), body)) {
    requests.push_back({"<the fault server's log could not be read>"});
    return requests;
  }
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    const std::vector<std::string> f = SplitTabs(std::string_view(body).substr(start, end - start));
    requests.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    start = end + 1;
  }
  return requests;
}

std::string Pattern(std::uint64_t offset, std::uint64_t length) {
  constexpr std::uint64_t kPeriod = 65521;
  std::string out(length, '\0');
  for (std::uint64_t i = 0; i < length; ++i) {
    const std::uint64_t k = (offset + i) % kPeriod;
    out[i] = static_cast<char>((k * 131 + (k >> 8)) & 0xFF);
  }
  return out;
}

std::int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

NetLogCapture::NetLogCapture() {
  SetNetLogSink([this](const std::wstring& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  });
}

NetLogCapture::~NetLogCapture() { SetNetLogSink(nullptr); }

std::vector<std::wstring> NetLogCapture::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::string NetLogCapture::text() const {
  std::string out;
  for (const std::wstring& line : lines()) out += ToUtf8(line) + "\n";
  return out;
}

bool NetLogCapture::Has(std::wstring_view line) const {
  for (const std::wstring& l : lines())
    if (l == line) return true;
  return false;
}

bool NetLogCapture::HasPrefix(std::wstring_view prefix) const {
  for (const std::wstring& l : lines())
    if (l.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

}  // namespace nv::test
