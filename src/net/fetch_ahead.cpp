#include "net/fetch_ahead.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

#include "net/download.h"
#include "net/http_client.h"
#include "net/net_log.h"
#include "net/url_text.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/sha256.h"
#include "sync/fs/stop_flag.h"

namespace nv {

namespace {

constexpr std::uint32_t kReadPieceBytes = 64 * 1024;
// How often a waiting thread looks at the stop flag, which nobody signals.
constexpr auto kStopPoll = std::chrono::milliseconds(50);

bool Eligible(const FetchAheadItem& item) {
  return !item.relativePath.empty() && item.size <= kFetchAheadMaxBytes;
}

std::vector<bool> EligibleFiles(std::size_t count, const FetchAheadList& list) {
  std::vector<bool> eligible(count);
  for (std::size_t i = 0; i < count; ++i) eligible[i] = Eligible(list(i));
  return eligible;
}

}  // namespace

FetchAhead::FetchAhead(std::vector<std::string> mirrors, std::size_t count, FetchAheadList list,
                       const std::atomic<bool>* stopFlag)
    : mirrors_(std::move(mirrors)),
      list_(std::move(list)),
      stopFlag_(stopFlag),
      slots_(mirrors_.empty() ? std::vector<bool>(count) : EligibleFiles(count, list_), kFetchAheadFiles) {
  meter_.BeginAttempt(GetTickCount64());
  if (mirrors_.empty()) return;
  for (std::size_t i = 0; i < std::min(count, kFetchAheadFiles); ++i) {
    try {
      threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // fewer threads; with none, every file takes the usual road
    }
  }
}

FetchAhead::~FetchAhead() {
  quit_ = true;
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool FetchAhead::Cancelled() const { return quit_.load() || Stopped(stopFlag_); }

void FetchAhead::Work() {
  for (;;) {
    std::size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      for (;;) {
        if (Cancelled() || slots_.exhausted()) return;
        if (const std::optional<std::size_t> claimed = slots_.Claim()) {
          index = *claimed;
          break;
        }
        changed_.wait_for(lock, kStopPoll);
      }
    }
    std::optional<std::string> bytes;
    try {
      bytes = Fetch(index);
    } catch (...) {
      // Out of memory, say: the file takes the usual road.
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_.Finish(index, std::move(bytes));
    }
    changed_.notify_all();
  }
}

std::optional<std::string> FetchAhead::Fetch(std::size_t index) {
  const FetchAheadItem item = list_(index);
  const std::string url =
      BuildMirrorUrls({mirrors_[index % mirrors_.size()]}, item.relativePath).front();
  RequestHandles handles;
  if (!OpenGetRequest(url, L"", TransferTimeoutMs(), false, handles) || handles.status != 200) return std::nullopt;
  const std::int64_t length = QueryContentLength(handles.request.get());
  if (length >= 0 && static_cast<std::uint64_t>(length) != item.size) return std::nullopt;

  Sha256Stream hash;
  if (!hash.Reset()) return std::nullopt;
  // One byte of room past the size shows a server that sends too much.
  std::string body(static_cast<std::size_t>(item.size) + 1, '\0');
  std::size_t got = 0;
  for (;;) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kReadPieceBytes, body.size() - got));
    DWORD read = 0;
    if (!WinHttpReadData(handles.request.get(), body.data() + got, want, &read)) return std::nullopt;
    if (read == 0) break;
    if (!hash.Add(body.data() + got, read)) return std::nullopt;
    got += read;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      meter_.AddChunk(read, GetTickCount64());
    }
    if (got > item.size || Cancelled()) return std::nullopt;
  }
  if (got != item.size) return std::nullopt;
  body.resize(got);
  if (!SameHexDigest(hash.Finish(), item.sha256)) {
    NetLog(L"sha256 mismatch (fetched ahead) " + FromUtf8(item.relativePath));
    return std::nullopt;
  }
  return body;
}

std::optional<std::string> FetchAhead::Take(std::size_t index, TransferProgress& progress) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    std::string bytes;
    switch (slots_.Take(index, bytes)) {
      case FetchAheadSlots::Turn::kUsualRoad:
        changed_.notify_all();  // files given up make room in the window
        return std::nullopt;
      case FetchAheadSlots::Turn::kBytes:
        progress.bytes_per_second.store(static_cast<std::int64_t>(meter_.speed()));
        changed_.notify_all();
        return bytes;
      case FetchAheadSlots::Turn::kWait:
        if (Stopped(stopFlag_)) return std::nullopt;
        changed_.wait_for(lock, kStopPoll);
        break;
    }
  }
}

}  // namespace nv
