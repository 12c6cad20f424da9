// Small files fetched ahead: while the sync engine places, verifies and
// records one file, the bytes of the next small ones are already on their
// way into memory, each on a thread (and a connection) of its own, and
// hashed as they arrive. The engine still places every file itself, one at
// a time in list order; a file whose fetch failed, or that was never
// fetched ahead, takes the engine's usual road with its mirrors, retries and
// backoff. Without this a player far from the server pays a whole round trip
// per small file.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/fetch_ahead_slots.h"
#include "net/speed_meter.h"
#include "net/transfer_progress.h"

namespace nv {

// Files up to this size are fetched ahead. For them the round trip, not the
// bandwidth, is what a file costs; a larger file keeps the resumable partial
// file, whose bytes survive a pause or a dropped connection.
inline constexpr std::uint64_t kFetchAheadMaxBytes = 256 * 1024;
// Files fetching or waiting in memory at once, one thread each. Eight keep a
// stream of small files at about the pace of eight parallel connections at a
// 20 to 60 ms round trip, and bound the memory to 2 MiB besides the current
// file's buffers.
inline constexpr std::size_t kFetchAheadFiles = 8;

struct FetchAheadItem {
  std::string relativePath;  // below each mirror; empty: never fetched ahead
  std::uint64_t size = 0;
  std::string sha256;
};
// File i of the list, asked for by any thread: the caller's list is read,
// never copied (a list of 100,000 files would be a second list in memory).
using FetchAheadList = std::function<FetchAheadItem(std::size_t index)>;

class FetchAhead {
 public:
  // Starts fetching at once. A file is fetched from one mirror, chosen by
  // its place in the list, so that the files spread over the mirrors.
  FetchAhead(std::vector<std::string> mirrors, std::size_t count, FetchAheadList list,
             const std::atomic<bool>* stopFlag);
  // Stops every fetch (each ends at its next block) and waits for them.
  ~FetchAhead();
  FetchAhead(const FetchAhead&) = delete;
  FetchAhead& operator=(const FetchAhead&) = delete;

  // File index's verified bytes, waiting for a fetch under way; nothing when
  // the file takes the usual road, or when the stop flag was raised. Call in
  // list order: the bytes of files before index are dropped. progress gets
  // the speed of the fetches.
  std::optional<std::string> Take(std::size_t index, TransferProgress& progress);

 private:
  void Work();
  std::optional<std::string> Fetch(std::size_t index);
  bool Cancelled() const;

  std::vector<std::string> mirrors_;
  FetchAheadList list_;
  const std::atomic<bool>* stopFlag_;
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  FetchAheadSlots slots_;
  SpeedMeter meter_;
  std::vector<std::thread> threads_;  // last: they start once the members above exist
};

}  // namespace nv
