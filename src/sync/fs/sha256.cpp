#include "sync/fs/sha256.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "sync/fs/fs_helpers.h"
#include "sync/fs/stop_flag.h"
#include "sync/fs/unique_handle.h"

namespace nv {

namespace {

constexpr DWORD kMinBuffer = 4096;
constexpr DWORD kMaxBuffer = 0x400000;  // 4 MiB sequential reads

// Opened once per process and kept: opening a CNG provider is expensive and
// the handle may be shared between threads.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static UniqueBCryptAlgorithm provider;
  static std::once_flag once;
  std::call_once(once, [] {
    if (BCryptOpenAlgorithmProvider(provider.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
      provider.reset();
  });
  return provider.get();
}

// The digest, or empty with the file call's error (0 when something else
// failed: CNG, memory, the stop flag).
struct FileDigest {
  std::string hex;
  DWORD error = ERROR_SUCCESS;
};

FileDigest HashOpenFile(HANDLE file, std::atomic<std::int64_t>* progressCounter, const std::atomic<bool>* stopFlag);

FileDigest HashFile(std::wstring_view path, std::atomic<std::int64_t>* progressCounter,
                    const std::atomic<bool>* stopFlag) {
  BCRYPT_ALG_HANDLE provider = Sha256Provider();
  if (!provider) return {};

  UniqueFile file(OpenFileRetrying(path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN));
  if (!file) return {{}, GetLastError()};
  return HashOpenFile(file.get(), progressCounter, stopFlag);
}

}  // namespace

std::string Sha256OfOpenFile(HANDLE file, std::atomic<std::int64_t>* progressCounter,
                             const std::atomic<bool>* stopFlag) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return {};
  FileDigest digest = HashOpenFile(file, progressCounter, stopFlag);
  SetLastError(digest.error);
  return std::move(digest.hex);
}

namespace {

FileDigest HashOpenFile(HANDLE file, std::atomic<std::int64_t>* progressCounter, const std::atomic<bool>* stopFlag) {
  BCRYPT_ALG_HANDLE provider = Sha256Provider();
  if (!provider) return {};
  DWORD bufferSize = kMaxBuffer;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size)) {
    bufferSize = size.QuadPart < kMinBuffer   ? kMinBuffer
                 : size.QuadPart > kMaxBuffer ? kMaxBuffer
                                              : static_cast<DWORD>(size.QuadPart);
  }
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[bufferSize]);
  if (!buffer) return {};

  Sha256Stream hash;
  if (!hash.Reset()) return {};
  for (;;) {
    if (Stopped(stopFlag)) return {};
    DWORD read = 0;
    if (!ReadFile(file, buffer.get(), bufferSize, &read, nullptr)) return {{}, GetLastError()};
    if (read == 0) break;
    if (!hash.Add(buffer.get(), read)) return {};
    if (progressCounter) progressCounter->fetch_add(read);
  }
  return {hash.Finish(), ERROR_SUCCESS};
}

}  // namespace

std::string Sha256OfFile(std::wstring_view path, std::atomic<std::int64_t>* progressCounter,
                         const std::atomic<bool>* stopFlag) {
  FileDigest digest = HashFile(path, progressCounter, stopFlag);
  // Set once the file is closed, so nothing after the failed call overwrites it.
  SetLastError(digest.error);
  return std::move(digest.hex);
}

bool Sha256Stream::Reset() {
  size_ = 0;
  hash_.reset();
  BCRYPT_ALG_HANDLE provider = Sha256Provider();
  if (provider && BCryptCreateHash(provider, hash_.put(), nullptr, 0, nullptr, 0, 0) == 0) return true;
  hash_.reset();
  return false;
}

bool Sha256Stream::Add(const void* bytes, std::size_t count) {
  if (!hash_) return false;
  auto* next = static_cast<unsigned char*>(const_cast<void*>(bytes));
  while (count > 0) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(count, 0x40000000));
    if (BCryptHashData(hash_.get(), next, piece, 0) != 0) {
      hash_.reset();
      return false;
    }
    next += piece;
    count -= piece;
    size_ += piece;
  }
  return true;
}

std::string Sha256Stream::Finish() {
  if (!hash_) return {};
  unsigned char digest[32];
  const bool ok = BCryptFinishHash(hash_.get(), digest, sizeof digest, 0) == 0;
  hash_.reset();
  if (!ok) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(64);
  for (unsigned char byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

}  // namespace nv
