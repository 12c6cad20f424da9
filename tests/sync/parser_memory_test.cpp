// The parsers of outside text stay within a small multiple of their input,
// whatever the input: the 32-bit launcher has 2 GiB of address space, and a
// hostile manifest of empty lines once reserved an entry for each line. The
// worst 16 MiB shapes are parsed here while this executable counts every
// byte that operator new hands out.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include "net/url_text.h"
#include "sync/file_state.h"
#include "sync/manifest.h"
#include "system/game_client/data_ini.h"

namespace {

// Each block carries its size in front of it.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
std::atomic<std::size_t> limitBytes{~std::size_t{0}};

void* Allocate(std::size_t size) {
  const std::size_t now = liveBytes.fetch_add(size) + size;
  if (now > limitBytes.load()) {
    liveBytes.fetch_sub(size);
    return nullptr;
  }
  std::size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
  void* block = std::malloc(size + kHeader);
  if (!block) {
    liveBytes.fetch_sub(size);
    return nullptr;
  }
  *static_cast<std::size_t*>(block) = size;
  return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  liveBytes.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace nv {
namespace {

constexpr std::size_t kInput = 16u << 20;
// Up to this many bytes for every byte of input, on top of the input itself.
constexpr std::size_t kFactor = 6;

// Repeats unit up to 16 MiB (whole units only).
std::string Fill(const std::string& unit) {
  std::string text;
  text.reserve(kInput);
  while (text.size() + unit.size() <= kInput) text += unit;
  return text;
}

// Peak bytes held while parse runs, beyond what was held before; the limit
// makes an allocation past it fail as it would in a full address space.
template <class Parse>
std::size_t PeakOf(Parse parse, std::size_t limit) {
  const std::size_t before = liveBytes.load();
  peakBytes = before;
  limitBytes = before + limit;
  parse();
  limitBytes = ~std::size_t{0};
  return peakBytes.load() - before;
}

const std::string kHash(64, 'a');

TEST(ParserMemory, WorstSixteenMebibyteInputsStayWithinASmallMultiple) {
  struct Shape {
    const char* name;
    std::string text;
  };
  const Shape shapes[] = {
      {"line breaks", Fill("\n")},
      {"CR LF", Fill("\r\n")},
      {"separators", Fill("|")},
      {"one long line", Fill("a")},
      {"shortest state lines", Fill("a|0|0|\n")},
      {"shortest manifest lines", Fill("a|0|" + kHash + "\n")},
      {"numbered state lines", [] {
         std::string t;
         for (int i = 0; t.size() < kInput - 32; ++i) t += std::to_string(i) + "|0|0|\n";
         return t;
       }()},
      {"mirror lines", [] {
         std::string t;
         for (int i = 0; t.size() < kInput - 32; ++i) t += "http://m" + std::to_string(i) + "\n";
         return t;
       }()},
      {"data list", "[data]\n" + Fill("0=a.grf\n")},
  };
  const std::size_t limit = kFactor * kInput;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    bool valid = true;
    EXPECT_LE(PeakOf([&] { valid = ParseManifest(shape.text).valid; }, limit), limit);
    EXPECT_FALSE(valid);
    std::size_t entries = 0;
    EXPECT_LE(PeakOf([&] { entries = ParseFileState(shape.text).entries().size(); }, limit), limit);
    EXPECT_LE(PeakOf([&] {
      FileStateReader reader(shape.text.size());
      for (std::size_t at = 0; at < shape.text.size(); at += 4u << 20)
        reader.Add(std::string_view(shape.text).substr(at, 4u << 20));
      EXPECT_EQ(reader.Finish().entries().size(), entries);
    }, limit), limit);
    EXPECT_LE(PeakOf([&] { ParseMirrorList(shape.text); }, limit), limit);
    EXPECT_LE(PeakOf([&] { PlanClientDataList(shape.text, [](std::string_view) { return true; }); },
                     limit),
              limit);
  }
}

// Out of memory is an answer, not an exception: the manifest is unusable
// (the next mirror is asked) and the state is empty.
TEST(ParserMemory, RunningOutIsAResultNotAnException) {
  std::string manifest = "version|1\n";
  for (int i = 0; i < 20000; ++i) manifest += "f" + std::to_string(i) + "|1|" + kHash + "\n";
  bool valid = true;
  PeakOf([&] { EXPECT_NO_THROW(valid = ParseManifest(manifest).valid); }, 64 * 1024);
  EXPECT_FALSE(valid);
  EXPECT_TRUE(ParseManifest(manifest).valid);  // with room, the same text is good
}

}  // namespace
}  // namespace nv
