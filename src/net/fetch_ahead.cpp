#include "net/fetch_ahead.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
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
constexpr DWORD kStopPollMs = 50;

class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& lock_;
};

bool Eligible(const FetchAheadItem& item) {
  return !item.relativePath.empty() && item.size <= kFetchAheadMaxBytes;
}

std::vector<bool> EligibleFiles(std::size_t count, const FetchAheadList& list) {
  std::vector<bool> eligible(count);
  for (std::size_t i = 0; i < count; ++i) eligible[i] = Eligible(list(i));
  return eligible;
}

}  // namespace

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    Drop();
    part_ = std::move(other.part_);
    folder_ = std::move(other.folder_);
    size_ = other.size_;
    placed_ = other.placed_;
  }
  return *this;
}

void StagedFile::Drop() noexcept {
  if (!part_ || placed_) return;
  FILE_DISPOSITION_INFO remove{TRUE};
  SetFileInformationByHandle(part_.get(), FileDispositionInfo, &remove, sizeof(remove));
  part_.reset();
}

FetchAhead::FetchAhead(std::vector<std::string> mirrors, std::wstring gameFolder, std::size_t count,
                       FetchAheadList list, const std::atomic<bool>* stopFlag)
    : mirrors_(std::move(mirrors)),
      gameFolder_(std::move(gameFolder)),
      list_(std::move(list)),
      stopFlag_(stopFlag),
      slots_(mirrors_.empty() ? std::vector<bool>(count) : EligibleFiles(count, list_), kFetchAheadWindow) {
  meter_.BeginAttempt(GetTickCount64());
  if (mirrors_.empty()) return;
  for (std::size_t i = 0; i < std::min(count, kFetchAheadThreads); ++i) {
    try {
      threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // fewer threads; with none, every file takes the usual road
    }
  }
}

FetchAhead::~FetchAhead() {
  quit_ = true;
  WakeAllConditionVariable(&roomToFetch_);
  for (std::thread& thread : threads_) thread.join();
}

bool FetchAhead::Cancelled() const { return quit_.load() || Stopped(stopFlag_); }

void FetchAhead::Work() {
  // The folder of this thread's last file, held while files of the same
  // folder follow one another (and while any of them waits for its turn).
  std::shared_ptr<const HeldFolder> folder;
  for (;;) {
    std::size_t index = 0;
    std::vector<StagedFile> released;
    {
      ExclusiveLock lock(lock_);
      released.swap(released_);
      for (;;) {
        if (Cancelled() || slots_.exhausted()) return;
        if (const std::optional<std::size_t> claimed = slots_.Claim()) {
          index = *claimed;
          break;
        }
        SleepConditionVariableSRW(&roomToFetch_, &lock_, kStopPollMs, 0);
      }
    }
    released.clear();
    std::optional<StagedFile> staged;
    try {
      const FetchAheadItem item = list_(index);
      if (const std::optional<std::string> bytes = Fetch(item, index)) staged = Stage(item, *bytes, folder);
    } catch (...) {
      // Out of memory, say: the file takes the usual road.
    }
    // Stopped while it was written: nobody takes it.
    if (Cancelled()) staged.reset();
    {
      ExclusiveLock lock(lock_);
      slots_.Finish(index, std::move(staged));
    }
    WakeConditionVariable(&fetchEnded_);
  }
}

std::optional<std::string> FetchAhead::Fetch(const FetchAheadItem& item, std::size_t index) {
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
      ExclusiveLock lock(lock_);
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

std::optional<StagedFile> FetchAhead::Stage(const FetchAheadItem& item, const std::string& bytes,
                                            std::shared_ptr<const HeldFolder>& folder) {
  if (item.gamePath.empty()) return std::nullopt;
  const std::wstring target = LongPath(JoinGamePath(gameFolder_, item.gamePath));
  const std::size_t slash = target.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return std::nullopt;
  const std::wstring parent = target.substr(0, slash);
  // A folder held already was checked when it was taken.
  if (!folder || folder->path() != parent) {
    folder.reset();
    // A link planted on the way would put the partial file outside the game
    // folder: the file takes the usual road, which refuses it.
    if (CrossesReparsePoint(gameFolder_, item.gamePath) || !CreateParentDirectories(target)) return std::nullopt;
    auto next = std::make_shared<const HeldFolder>(parent, LongPath(gameFolder_));
    if (!next->held()) return std::nullopt;
    folder = std::move(next);
  }
  UniqueFile part(folder->CreateNew(target.substr(slash + 1) + L".part", 0));
  if (!part) return std::nullopt;
  StagedFile staged(folder, std::move(part), bytes.size());
  DWORD written = 0;
  if (!bytes.empty() && (!WriteFile(staged.part(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                         written != bytes.size())) {
    NetLog(L"write failed (fetched ahead) " + target + L" err=" + std::to_wstring(GetLastError()));
    return std::nullopt;
  }
  return staged;
}

void FetchAhead::Release(StagedFile&& file) {
  ExclusiveLock lock(lock_);
  try {
    released_.push_back(std::move(file));
  } catch (...) {
    // Out of memory: the file is closed (or dropped) here instead.
  }
}

std::optional<StagedFile> FetchAhead::Take(std::size_t index, TransferProgress& progress) {
  using Turn = FetchAheadSlots<StagedFile>::Turn;
  ExclusiveLock lock(lock_);
  for (;;) {
    std::optional<StagedFile> staged;
    switch (slots_.Take(index, staged)) {
      case Turn::kUsualRoad:
        WakeAllConditionVariable(&roomToFetch_);  // files given up make room in the window
        return std::nullopt;
      case Turn::kReady:
        progress.bytes_per_second.store(static_cast<std::int64_t>(meter_.speed()));
        WakeConditionVariable(&roomToFetch_);
        return staged;
      case Turn::kWait:
        if (Stopped(stopFlag_)) return std::nullopt;
        SleepConditionVariableSRW(&fetchEnded_, &lock_, kStopPollMs, 0);
        break;
    }
  }
}

}  // namespace nv
