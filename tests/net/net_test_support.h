// What the transfer tests share: addresses of the test servers, the fault
// server's request log, the synthetic body pattern and a NetLog capture.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace nv::test {

inline constexpr char kNginxBase[] = "https://localhost:18443/download";
inline constexpr char kFaultHost[] = "https://localhost:18446";

// A request id no other test (or earlier run) uses.
std::string UniqueId(std::string_view name);

// https://localhost:18446/f/<options>/<rest>
std::string FaultUrl(std::string_view options, std::string_view rest = "file.bin");

struct LoggedRequest {
  std::string path, range, ifRange, cacheControl, pragma, userAgent;
};
// Every request the fault server saw under id, oldest first ("*": all).
std::vector<LoggedRequest> RequestsFor(std::string_view id);

// The fault server's synthetic body: byte i of a body is PatternByte(i).
std::string Pattern(std::uint64_t offset, std::uint64_t length);

// Size of a file, -1 when it cannot be read.
std::int64_t FileSize(const std::wstring& path);

// Collects NetLog lines while it lives.
class NetLogCapture {
 public:
  NetLogCapture();
  ~NetLogCapture();
  NetLogCapture(const NetLogCapture&) = delete;
  NetLogCapture& operator=(const NetLogCapture&) = delete;

  std::vector<std::wstring> lines() const;
  // The lines joined with '\n', for failure messages.
  std::string text() const;
  bool Has(std::wstring_view line) const;
  bool HasPrefix(std::wstring_view prefix) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::wstring> lines_;
};

}  // namespace nv::test
