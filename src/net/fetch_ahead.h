// Small files fetched ahead: while the sync engine places, verifies and
// records one file, the next small ones are already on their way, each on a
// thread (and a connection) of its own, hashed as they arrive, and once
// verified written to their partial files, which are held until their turn.
// The engine still places every file itself, one at a time in list order,
// by renaming the partial file; a file whose fetch failed, or that was
// never fetched ahead, takes the engine's usual road with its mirrors,
// retries and backoff. Without this a player far from the server pays a
// whole round trip per small file, and the disk and the network take turns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/fetch_ahead_slots.h"
#include "net/speed_meter.h"
#include "net/transfer_progress.h"
#include "sync/fs/held_folder.h"
#include "sync/fs/unique_handle.h"

namespace nv {

// Files up to this size are fetched ahead. For them the round trip, not the
// bandwidth, is what a file costs; a larger file keeps the resumable partial
// file, whose bytes survive a pause or a dropped connection.
inline constexpr std::uint64_t kFetchAheadMaxBytes = 256 * 1024;
// Files fetching at once, one thread (and one connection) each. Over a
// 20 ms round trip twelve sync 300 small files in about the time eight
// parallel connections of curl take (eight threads: 1.45 times that,
// sixteen: as fast, for more connections per player on the servers).
// Memory: 3 MiB besides the current file's buffers, as a body is in
// memory from its request until it is written.
inline constexpr std::size_t kFetchAheadThreads = 12;
// Files fetching or staged at once. Staged files cost a handle and their
// partial file on disk, not memory; room for several per thread keeps the
// threads busy while the placing thread waits for one slow file.
inline constexpr std::size_t kFetchAheadWindow = 32;

struct FetchAheadItem {
  std::string relativePath;  // below each mirror; empty: never fetched ahead
  std::uint64_t size = 0;
  std::string sha256;
  std::string gamePath;  // where it goes below the game folder (UTF-8)
};
// File i of the list, asked for by any thread: the caller's list is read,
// never copied (a list of 100,000 files would be a second list in memory).
using FetchAheadList = std::function<FetchAheadItem(std::size_t index)>;

// A fetched-ahead file, verified and written to its partial file, which is
// held (write and delete sharing denied) in its held folder until its turn
// renames it. Dropped before that, the partial file is deleted by handle.
class StagedFile {
 public:
  StagedFile(std::shared_ptr<const HeldFolder> folder, UniqueFile part, std::uint64_t size)
      : folder_(std::move(folder)), part_(std::move(part)), size_(size) {}
  StagedFile(StagedFile&&) = default;
  StagedFile& operator=(StagedFile&& other) noexcept;
  ~StagedFile() { Drop(); }

  HANDLE part() const { return part_.get(); }
  std::uint64_t size() const { return size_; }
  // The partial file took the file's name: nothing is left to delete.
  void Placed() { placed_ = true; }

 private:
  void Drop() noexcept;

  std::shared_ptr<const HeldFolder> folder_;  // held as long as the file is
  UniqueFile part_;
  std::uint64_t size_;
  bool placed_ = false;
};

class FetchAhead {
 public:
  // Starts fetching at once. A file is fetched from one mirror, chosen by
  // its place in the list, so that the files spread over the mirrors, and
  // written below gameFolder.
  FetchAhead(std::vector<std::string> mirrors, std::wstring gameFolder, std::size_t count, FetchAheadList list,
             const std::atomic<bool>* stopFlag);
  // Stops every fetch (each ends at its next block) and waits for them;
  // partial files not handed over are deleted.
  ~FetchAhead();
  FetchAhead(const FetchAhead&) = delete;
  FetchAhead& operator=(const FetchAhead&) = delete;

  // File index's staged file, waiting for a fetch under way; nothing when
  // the file takes the usual road, or when the stop flag was raised. Call in
  // list order: files before index are dropped. progress gets the speed of
  // the fetches.
  std::optional<StagedFile> Take(std::size_t index, TransferProgress& progress);
  // Hands a file taken back once it was placed: a fetching thread closes
  // it, which would otherwise cost the placing thread a system call on
  // every file.
  void Release(StagedFile&& file);

 private:
  void Work();
  std::optional<std::string> Fetch(const FetchAheadItem& item, std::size_t index);
  std::optional<StagedFile> Stage(const FetchAheadItem& item, const std::string& bytes,
                                  std::shared_ptr<const HeldFolder>& folder);
  bool Cancelled() const;

  std::vector<std::string> mirrors_;
  std::wstring gameFolder_;
  FetchAheadList list_;
  const std::atomic<bool>* stopFlag_;
  std::atomic<bool> quit_{false};
  // A slim lock and condition variables rather than std::mutex and
  // std::condition_variable, which with this toolchain's thread model hand
  // over every contended lock and every wake-up through kernel events and
  // semaphores: nine threads meet here several times per small file.
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE roomToFetch_ = CONDITION_VARIABLE_INIT;  // fetching threads wait here
  CONDITION_VARIABLE fetchEnded_ = CONDITION_VARIABLE_INIT;   // Take waits here
  FetchAheadSlots<StagedFile> slots_;
  SpeedMeter meter_;
  std::vector<StagedFile> released_;
  std::vector<std::thread> threads_;  // last: they start once the members above exist
};

}  // namespace nv
