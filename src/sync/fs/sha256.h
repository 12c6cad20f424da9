// SHA-256 through CNG, as 64 lower-case hex characters: of a file, or of
// bytes handed over piece by piece.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sync/fs/unique_handle.h"

namespace nv {

// Empty on any failure, and when stopFlag is raised before the last read;
// GetLastError then tells why when a file call failed (0 otherwise). Every
// hashed byte is added to progressCounter (may be null, as stopFlag).
std::string Sha256OfFile(std::wstring_view path, std::atomic<std::int64_t>* progressCounter,
                         const std::atomic<bool>* stopFlag);

// The same for a file the caller holds open (with read access), from its
// first byte, whatever its file pointer was.
std::string Sha256OfOpenFile(HANDLE file, std::atomic<std::int64_t>* progressCounter,
                             const std::atomic<bool>* stopFlag);

// The hash of bytes that arrive in pieces (a file while it is written).
class Sha256Stream {
 public:
  // Starts afresh. False when CNG cannot hash; Add and Finish then fail.
  bool Reset();
  bool Add(const void* bytes, std::size_t count);
  // Bytes added since Reset.
  std::uint64_t size() const { return size_; }
  // The hash of everything added, empty on failure. Ends the stream: Reset
  // before adding again.
  std::string Finish();

 private:
  UniqueBCryptHash hash_;
  std::uint64_t size_ = 0;
};

}  // namespace nv
