// One resumable download attempt of one URL into a partial file, and the
// small file and header steps it is made of.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/transfer_progress.h"
#include "sync/fs/sha256.h"
#include "sync/fs/unique_handle.h"

namespace nv {

// Result of a transfer step.
enum TransferResult : int {
  kTransferComplete = 0,    // the partial file holds the whole file
  kTransferRetry = 1,       // network, server or inconsistent answer: another try may cure it
  kTransferLocalError = 2,  // the partial file could not be opened, sized, cut, positioned or written
  kTransferStopped = 3,     // the stop flag was raised
};

inline constexpr std::uint32_t kTransferBufferBytes = 262144;
// Each of an attempt's four WinHTTP time-outs (resolve, connect, send,
// receive): a connection that stalls ends the attempt after this long without
// a byte, and the next attempt (or mirror) resumes where the file stopped.
// Long enough for a slow link or a busy server to deliver its next block.
inline constexpr std::uint32_t kTransferTimeoutMs = 20000;
// The stall time-out in effect: kTransferTimeoutMs unless a test set another.
std::uint32_t TransferTimeoutMs();
inline constexpr std::size_t kMaxValidatorBytes = 1024;

// Opens (creating when missing) for writing, others may read. A file held by
// another program is waited for within kPartialFileRetry. file receives the
// handle even on failure (then invalid).
bool OpenForWriteRetrying(const std::wstring& path, UniqueFile& file);

// Cuts the file to 0 bytes and leaves its pointer at 0.
bool TruncateFile(HANDLE file);

// The response's Content-Range: start and complete length, each -1 when not
// given. False when the header is missing or holds no number.
bool ParseContentRange(HINTERNET request, std::int64_t* start, std::int64_t* length);

// The strong ETag (quotes kept) or else the Last-Modified value, as UTF-8;
// empty when the response has neither.
std::string ResponseValidator(HINTERNET request);

// The SHA-256 of a partial file, kept while the attempts write it so that a
// finished download needs no second read. It vouches only for bytes that were
// read back from the file or written by an attempt that held the file against
// other writers; between attempts the file's size and last-write time must
// stay as the last attempt left them, or the bytes are read again.
struct PartialFileHash {
  Sha256Stream stream;        // bytes [0, stream.size()) of the partial file
  bool trusted = false;       // stream matches the file's bytes as they stand
  std::int64_t size = -1;     // the file as the last attempt left it
  std::int64_t writeTime = 0;

  // The hash of the whole partial file when it can be trusted, else empty
  // (the caller then reads the file). Either way the stream is used up.
  std::string Take();
};

// One attempt: resumes partialPath from its current size (Range, and If-Range
// with the tag file partialPath + ".tag" when useValidator), streams the body
// to its end in 256 KiB blocks and keeps progress current. expectedSize is -1
// when not known. received counts the bytes of this attempt. With a hash,
// the partial file's bytes are hashed as they are written (its existing
// bytes read first, unless the hash already covers them).
int DownloadAttempt(std::string_view url, const std::wstring& partialPath, std::int64_t expectedSize,
                    bool useValidator, TransferProgress& progress, const std::atomic<bool>* stopFlag,
                    std::uint64_t& received, PartialFileHash* hash = nullptr);

}  // namespace nv
