#include "net/download.h"
#include "net/download_testing.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "net/download_response.h"
#include "net/http_client.h"
#include "net/net_log.h"
#include "net/net_seams.h"
#include "net/speed_meter.h"
#include "net/url_text.h"
#include "sync/fs/fs_helpers.h"
#include "sync/fs/stop_flag.h"

namespace nv {

namespace {

std::atomic<std::uint32_t> transferTimeoutForTesting{0};

std::wstring Decimal(std::int64_t value) { return std::to_wstring(value); }

// Per thread, so the speed carries over from one file to the next.
SpeedMeter& ThreadSpeedMeter() {
  thread_local SpeedMeter meter;
  return meter;
}

std::string ReadTagFile(const std::wstring& path) {
  UniqueFile file(CreateFileW(net_seams::FilePath(LongPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  char buffer[kMaxValidatorBytes];
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return {};
  return std::string(buffer, read);
}

// Best effort: a tag that cannot be written only costs a full download later.
void WriteTagFile(const std::wstring& path, const std::string& validator) {
  UniqueFile file(OpenOwnFileForWrite(net_seams::FilePath(LongPath(path)), 0, CREATE_ALWAYS));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), validator.data(), static_cast<DWORD>(validator.size()), &written, nullptr);
}

// A validator goes into a request header: one with a line break (or one
// that is not UTF-8) could smuggle header lines in, so it is not trusted.
bool UsableValidator(const std::string& validator) {
  return !validator.empty() && validator.find_first_of("\r\n") == std::string::npos &&
         !FromUtf8(validator).empty();
}

std::int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// Two transfer buffers per thread, reused from file to file: allocating and
// zero-filling 256 KiB per attempt costs more than a small file's body. The
// second holds the block being hashed while the next one is read.
char* TransferBuffer(int which) {
  thread_local std::unique_ptr<char[]> buffers[2];
  std::unique_ptr<char[]>& buffer = buffers[which];
  if (!buffer) buffer.reset(new (std::nothrow) char[kTransferBufferBytes]());
  return buffer.get();
}

// From this many bytes still to come, hashing moves to a thread of its own.
constexpr std::int64_t kBackgroundHashBytes = 8 * 1024 * 1024;

// Hashes an attempt's blocks on a second thread while the next block comes
// from the network, so that on a large file the hash costs no time of its
// own. One block is in flight at a time, and its buffer is left alone until
// the hasher is done with it. Only this thread touches the stream while a
// block is in flight; Drain hands it back.
class BackgroundHasher {
 public:
  explicit BackgroundHasher(PartialFileHash& hash) : hash_(hash), thread_([this] { Run(); }) {}
  BackgroundHasher(const BackgroundHasher&) = delete;
  BackgroundHasher& operator=(const BackgroundHasher&) = delete;
  ~BackgroundHasher() {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      idle_.wait(lock, [this] { return !block_; });
      quit_ = true;
    }
    work_.notify_one();
    thread_.join();
    if (failed_) hash_.trusted = false;
  }

  // Waits for the block before, then hands this one over.
  void Add(const char* block, DWORD size) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      idle_.wait(lock, [this] { return !block_; });
      block_ = block;
      size_ = size;
    }
    work_.notify_one();
  }

  // Waits until every block handed over is hashed; the stream may then be used here.
  void Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !block_; });
    if (failed_) hash_.trusted = false;
    failed_ = false;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      work_.wait(lock, [this] { return block_ || quit_; });
      if (!block_) return;
      const char* block = block_;
      const DWORD size = size_;
      lock.unlock();
      const bool ok = hash_.stream.Add(block, size);
      lock.lock();
      if (!ok) failed_ = true;
      block_ = nullptr;
      idle_.notify_all();
    }
  }

  PartialFileHash& hash_;
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable idle_;
  const char* block_ = nullptr;
  DWORD size_ = 0;
  bool failed_ = false;
  bool quit_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

// Brings the hash to the first `current` bytes of the open partial file: it
// starts afresh unless the file is as the last attempt left it, and reads
// what it does not cover yet. A failed read leaves it untrusted (the caller
// reads the whole file at the end). Polls the stop flag between blocks.
int CatchUpHash(PartialFileHash& hash, HANDLE file, const std::wstring& path, std::int64_t current,
                char* buffer, const std::atomic<bool>* stopFlag) {
  BY_HANDLE_FILE_INFORMATION info{};
  const bool unchanged = hash.trusted && GetFileInformationByHandle(file, &info) &&
                         hash.size == current && hash.writeTime == FileTimeValue(info.ftLastWriteTime) &&
                         hash.stream.size() <= static_cast<std::uint64_t>(current);
  if (!unchanged) hash.trusted = hash.stream.Reset();
  if (!hash.trusted || hash.stream.size() == static_cast<std::uint64_t>(current)) return kTransferComplete;

  // Our own handle denies other writers, so the bytes read here stay put.
  UniqueFile reader(CreateFileW(net_seams::FilePath(LongPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<std::int64_t>(hash.stream.size());
  hash.trusted = reader && SetFilePointerEx(reader.get(), position, nullptr, FILE_BEGIN);
  while (hash.trusted && hash.stream.size() < static_cast<std::uint64_t>(current)) {
    if (Stopped(stopFlag)) return kTransferStopped;
    const std::uint64_t left = static_cast<std::uint64_t>(current) - hash.stream.size();
    const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left, kTransferBufferBytes));
    DWORD read = 0;
    hash.trusted = ReadFile(reader.get(), buffer, want, &read, nullptr) && read > 0 && hash.stream.Add(buffer, read);
  }
  return kTransferComplete;
}

// Takes the partial file's size and last-write time once the attempt has
// closed it: the next attempt trusts the hash only if they still hold.
class PartialFacts {
 public:
  PartialFacts(PartialFileHash* hash, const std::wstring& path) : hash_(hash), path_(path) {}
  PartialFacts(const PartialFacts&) = delete;
  PartialFacts& operator=(const PartialFacts&) = delete;
  ~PartialFacts() {
    if (!hash_ || !hash_->trusted) return;
    WIN32_FILE_ATTRIBUTE_DATA data;
    hash_->trusted = GetFileAttributesExW(net_seams::FilePath(LongPath(path_)).c_str(), GetFileExInfoStandard, &data) != 0;
    hash_->size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    hash_->writeTime = FileTimeValue(data.ftLastWriteTime);
  }

 private:
  PartialFileHash* hash_;
  const std::wstring& path_;
};

}  // namespace

void SetTransferTimeoutForTesting(std::uint32_t ms) { transferTimeoutForTesting.store(ms); }

std::uint32_t TransferTimeoutMs() {
  const std::uint32_t ms = transferTimeoutForTesting.load();
  return ms ? ms : kTransferTimeoutMs;
}

std::string PartialFileHash::Take() {
  const bool usable = trusted && size >= 0 && stream.size() == static_cast<std::uint64_t>(size);
  trusted = false;
  std::string digest = stream.Finish();
  return usable ? digest : std::string();
}

bool OpenForWriteRetrying(const std::wstring& path, UniqueFile& file) {
  const TryResult opened = RetryWhileLocked(kPartialFileRetry, [&] {
    // The partial file is written, resumed and truncated by the elevated
    // launcher: a link planted in its place must not take those writes.
    file.reset(OpenOwnFileForWrite(net_seams::FilePath(LongPath(path)), FILE_SHARE_READ, OPEN_ALWAYS));
    if (file) return TryResult::kDone;
    const DWORD error = GetLastError();
    if (!IsLockedError(error)) NetLog(L"cannot open " + path + L" err=" + std::to_wstring(error));
    return LockedOrFailed(error);
  });
  if (opened == TryResult::kLocked) NetLog(L"locked: " + path);
  return opened == TryResult::kDone;
}

bool TruncateFile(HANDLE file) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool ParseContentRange(HINTERNET request, std::int64_t* start, std::int64_t* length) {
  *start = -1;
  *length = -1;
  std::wstring text;
  if (!QueryHeaderText(request, WINHTTP_QUERY_CONTENT_RANGE, text)) return false;
  return ParseContentRangeText(text, start, length);
}

std::string ResponseValidator(HINTERNET request) {
  std::wstring text;
  if (QueryHeaderText(request, WINHTTP_QUERY_ETAG, text) && !text.empty() && text.compare(0, 2, L"W/") != 0)
    return ToUtf8(text);
  text.clear();
  if (QueryHeaderText(request, WINHTTP_QUERY_LAST_MODIFIED, text) && !text.empty()) return ToUtf8(text);
  return {};
}

int DownloadAttempt(std::string_view url, const std::wstring& partialPath, std::int64_t expectedSize,
                    bool useValidator, TransferProgress& progress, const std::atomic<bool>* stopFlag,
                    std::uint64_t& received, PartialFileHash* hash) {
  received = 0;
  // Declared before the file: its facts are taken after the file is closed.
  PartialFacts facts(hash, partialPath);
  UniqueFile file;
  if (!OpenForWriteRetrying(partialPath, file)) return kTransferLocalError;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return kTransferLocalError;
  std::int64_t current = size.QuadPart;

  if (expectedSize >= 0 && current > expectedSize) {
    if (!TruncateFile(file.get())) return kTransferLocalError;
    current = 0;
  }
  progress.bytes_total.store(expectedSize >= 0 ? expectedSize : 0);
  progress.bytes_done.store(current);
  char* const buffers[2] = {TransferBuffer(0), TransferBuffer(1)};
  if (!buffers[0] || !buffers[1]) return kTransferLocalError;
  if (hash && CatchUpHash(*hash, file.get(), partialPath, current, buffers[0], stopFlag) == kTransferStopped)
    return kTransferStopped;
  // Declared before the first cut, ended (its last block hashed) before the
  // file's facts are taken.
  std::optional<BackgroundHasher> hasher;
  // Whenever the partial file is cut, the hash starts again with it.
  auto cut = [&] {
    if (hasher) hasher->Drain();
    if (hash) hash->trusted = hash->stream.Reset();
    return TruncateFile(file.get()) != FALSE;
  };
  if (expectedSize >= 0 && current == expectedSize) return kTransferComplete;

  const std::wstring tagPath = partialPath + L".tag";
  std::wstring headers;
  if (current > 0) {
    std::string validator;
    if (useValidator) {
      validator = ReadTagFile(tagPath);
      if (!UsableValidator(validator)) {
        // Partial data of unknown origin cannot be continued.
        if (!cut()) return kTransferLocalError;
        progress.bytes_done.store(0);
        current = 0;
      }
    }
    if (current > 0) {
      headers = L"Range: bytes=" + Decimal(current) + L"-\r\n";
      if (useValidator) headers += L"If-Range: " + FromUtf8(validator) + L"\r\n";
    }
  }

  SpeedMeter& meter = ThreadSpeedMeter();
  meter.BeginAttempt(GetTickCount64());

  RequestHandles handles;
  const bool opened = OpenGetRequest(url, headers, TransferTimeoutMs(), false, handles);
  if (Stopped(stopFlag)) return kTransferStopped;
  if (!opened) return kTransferRetry;

  const std::wstring wideUrl = FromUtf8(EncodeUrlBytes(url));
  HINTERNET request = handles.request.get();
  ResponseFacts answer;
  answer.status = handles.status;
  ParseContentRange(request, &answer.rangeStart, &answer.rangeLength);
  answer.contentLength = QueryContentLength(request);
  answer.partialSize = current;
  answer.expectedSize = expectedSize;
  const ResponseDecision decision = DecideResponse(answer, wideUrl);
  if (decision.cut == PartialCut::kRestart) {
    if (!cut()) return kTransferLocalError;
    progress.bytes_done.store(0);
  } else if (decision.cut == PartialCut::kDiscard) {
    cut();
  }
  if (!decision.logLine.empty()) NetLog(decision.logLine);
  if (decision.step == ResponseStep::kComplete) return kTransferComplete;
  if (decision.step == ResponseStep::kRetry) return kTransferRetry;
  current = decision.writeFrom;

  if (useValidator) {
    const std::string validator = ResponseValidator(request);
    if (!validator.empty())
      WriteTagFile(tagPath, validator);
    else
      DeleteOwnFile(net_seams::FilePath(LongPath(tagPath)));
  }

  if (decision.total != expectedSize) {
    progress.bytes_total.store(decision.total);  // the server told the size nobody knew
    expectedSize = decision.total;
  }

  LARGE_INTEGER position{};
  position.QuadPart = current;
  if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return kTransferLocalError;

  if (hash && hash->trusted && expectedSize - current >= kBackgroundHashBytes) {
    try {
      hasher.emplace(*hash);
    } catch (const std::system_error&) {
      // No second thread to be had: this one hashes.
    }
  }
  for (int turn = 0;; turn ^= 1) {
    char* const buffer = buffers[hasher ? turn : 0];
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer, kTransferBufferBytes, &read)) {
      const DWORD error = GetLastError();
      if (Stopped(stopFlag)) return kTransferStopped;
      NetLog(L"read failed (stall/drop) err=" + std::to_wstring(error) + L" at " + Decimal(current));
      return kTransferRetry;
    }
    if (read == 0) {
      if (expectedSize >= 0 && current != expectedSize) {
        NetLog(L"connection closed early at " + Decimal(current) + L"/" + Decimal(expectedSize));
        return kTransferRetry;
      }
      return kTransferComplete;
    }
    if (expectedSize >= 0 && current + static_cast<std::int64_t>(read) > expectedSize) {
      NetLog(L"too much data from " + wideUrl);
      cut();
      return kTransferRetry;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer, read, &written, nullptr) || written != read) {
      const DWORD error = GetLastError();
      // Some of the bytes may be on disk: the hash no longer knows the file.
      if (hasher) hasher->Drain();
      if (hash) hash->trusted = false;
      NetLog(L"write failed " + partialPath + L" err=" + std::to_wstring(error));
      return kTransferLocalError;
    }
    if (hasher)
      hasher->Add(buffer, read);
    else if (hash && hash->trusted)
      hash->trusted = hash->stream.Add(buffer, read);
    current += read;
    received += read;
    progress.bytes_done.store(current);
    meter.AddChunk(read, GetTickCount64());
    progress.bytes_per_second.store(static_cast<std::int64_t>(meter.speed()));
    if (Stopped(stopFlag)) return kTransferStopped;
  }
}

}  // namespace nv
