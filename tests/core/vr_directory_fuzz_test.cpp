// Damaged package directories: every mutation of the small fixture archives
// either reads cleanly or raises the damaged-package error, with nothing
// mounted, no crash and no allocation sized from an unchecked stored count.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>

#include "core/files/vr_file.h"
#include "core/ks_random.h"
#include "core/streams/stream_encoding.h"
#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime calls these hooks on every allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#define ORBA_TRACK_ALLOCATIONS 1
#endif

namespace {
std::atomic<bool> g_tracking{false};
std::atomic<size_t> g_largest{0};

#ifdef ORBA_TRACK_ALLOCATIONS
// Notes the largest single allocation while tracking is on.
void OnMalloc(const volatile void*, size_t size) {
  if (g_tracking.load(std::memory_order_relaxed) && size > g_largest.load(std::memory_order_relaxed)) g_largest = size;
}
void OnFree(const volatile void*) {}
const int kHooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
#endif
}  // namespace

namespace orba {
namespace {

// Step K of the directory key, sign-extended as the 64-bit offsets use it.
int64_t KeyStep(int64_t k) {
  TKsRandom key(0x3C91A5E7);
  uint32_t step = 0;
  for (int64_t i = 0; i <= k; ++i) step = key.Step();
  return static_cast<int32_t>(step);
}

// Where the parts of an intact directory lie, and its plain offsets.
struct TLayout {
  int version = 0;
  int64_t count = 0, offsets_at = 0;
  std::vector<int64_t> length_at, offsets;
};

TLayout Layout(const std::vector<uint8_t>& bytes) {
  TLayout l;
  TKsMemoryStream s(bytes);
  if (bytes[0] == 'v' && bytes[1] == 'f') {
    s.SetPosition(2);
    l.version = ReadStreamInt(s);
  }
  l.count = ReadStreamInt(s);
  for (int64_t i = 0; i < l.count; ++i) {
    l.length_at.push_back(s.GetPosition());
    const int32_t length = ReadStreamInt(s);
    s.SetPosition(s.GetPosition() + length);
  }
  l.offsets_at = s.GetPosition();
  for (int64_t i = 0; i <= l.count; ++i) {
    if (l.version >= 101) l.offsets.push_back(ReadStreamInt64(s) ^ KeyStep(i));
    else l.offsets.push_back(static_cast<int32_t>(ReadStreamInt(s) ^ (l.version == 100 ? KeyStep(i) : 0)));
  }
  return l;
}

void Put32(std::vector<uint8_t>& b, int64_t at, uint32_t v) { std::memcpy(&b[static_cast<size_t>(at)], &v, 4); }

// Stores plain offset K as the version stores it.
void PutOffset(std::vector<uint8_t>& b, const TLayout& l, int64_t k, int64_t value) {
  if (l.version >= 101) {
    const int64_t raw = value ^ KeyStep(k);
    std::memcpy(&b[static_cast<size_t>(l.offsets_at + 8 * k)], &raw, 8);
  } else {
    Put32(b, l.offsets_at + 4 * k, static_cast<uint32_t>(value ^ (l.version == 100 ? KeyStep(k) : 0)));
  }
}

enum class TOutcome { Clean, Damaged };

// Reads the directory from memory and, when it reads (and read_entries is
// set), every entry.
TOutcome ReadMutated(const std::vector<uint8_t>& bytes, bool read_entries = true) {
  TVrFileCollection c;
  c.Path = "fuzz.vf";
  c.Archive = std::make_unique<TKsMemoryStream>(bytes);
  g_largest = 0;
  g_tracking = true;
  try {
    c.ReadDirectory(*c.Archive);
  } catch (const EVrDamagedError& e) {
    g_tracking = false;
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(std::string(e.what()).rfind("fuzz.vf:", 0), 0u);
    return TOutcome::Damaged;
  }
  g_tracking = false;
  // The buffered name reader takes up to 100 KiB; everything else is bounded
  // by a small multiple of the bytes there are.
  EXPECT_LE(g_largest.load(), bytes.size() * 8 + 102400 + 64);
  for (int i = 0; i < c.Count(); ++i) {
    TVrFile* f = c.GetEntry(i);
    EXPECT_TRUE(f->Size >= 0 && f->Offset + f->Size <= static_cast<int64_t>(bytes.size()));
    TKsMemoryStream content;
    try {
      if (read_entries) c.ReadEntry(content, f->Name());
    } catch (const EOrbaError&) {
      // damaged packed data: a clear error
    }
  }
  return TOutcome::Clean;
}

class VrDirectoryFuzz : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test::RunPython("fixtures/vf_fixture.py", {"small", dir.path()}).exit_code, 0);
    for (const char* v : {"0", "100", "101", "102"}) archives.push_back(test::ReadFileBytes(dir / ("small_v" + std::string(v) + ".vf")));
  }
  test::TempDir dir;
  std::vector<std::vector<uint8_t>> archives;
};

TEST_F(VrDirectoryFuzz, StructuralDamageAlwaysRaisesTheDamagedError) {
  for (const auto& intact : archives) ASSERT_EQ(ReadMutated(intact), TOutcome::Clean);
#ifdef ORBA_TRACK_ALLOCATIONS
  ASSERT_GT(g_largest.load(), 0u);  // the allocation hook is in place
#endif
  std::mt19937 rng(4242);
  std::uniform_int_distribution<uint32_t> any;
  for (int round = 0; round < 10000; ++round) {
    const std::vector<uint8_t>& base = archives[static_cast<size_t>(round) % archives.size()];
    const TLayout l = Layout(base);
    std::vector<uint8_t> b = base;
    const int64_t size = static_cast<int64_t>(b.size());
    const int kind = static_cast<int>(rng() % 6);
    switch (kind) {
      case 0:  // an unknown version behind the magic, or no magic and a cut inside the directory
        if (l.version == 0) {
          b.resize(rng() % static_cast<uint32_t>(l.offsets_at));
        } else {
          uint32_t v;
          do v = any(rng); while (v >= 100 && v <= 102);
          Put32(b, 2, v);
        }
        break;
      case 1: {  // more entries than bytes, or fewer than none
        const int64_t left = size - (l.version ? 10 : 4);
        Put32(b, l.version ? 6 : 0, rng() % 2 ? static_cast<uint32_t>(left / 4 + 1 + rng() % 1000000) : 0x80000000u | any(rng));
        break;
      }
      case 2: {  // a name longer than what is left, or negative
        const int64_t at = l.length_at[rng() % l.length_at.size()];
        Put32(b, at, rng() % 2 ? static_cast<uint32_t>(size - at + rng() % 100000) : 0x80000000u | any(rng));
        break;
      }
      case 3: {  // an offset going backwards
        const int64_t k = 1 + static_cast<int64_t>(rng() % static_cast<uint32_t>(l.count));
        PutOffset(b, l, k, l.offsets[static_cast<size_t>(k - 1)] - 1 - static_cast<int64_t>(rng() % 50));
        break;
      }
      case 4:  // data beyond the archive
        PutOffset(b, l, l.count, size + 1 + static_cast<int64_t>(rng() % 100000));
        break;
      default:  // a file cut short anywhere
        b.resize(rng() % static_cast<uint32_t>(size));
    }
    ASSERT_EQ(ReadMutated(b), TOutcome::Damaged) << "round " << round << " kind " << kind;
  }
}

TEST_F(VrDirectoryFuzz, RandomDamageReadsCleanlyOrRaisesTheDamagedError) {
  std::mt19937 rng(777);
  int damaged = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> b = archives[static_cast<size_t>(round) % archives.size()];
    for (int i = 0, flips = 1 + static_cast<int>(rng() % 4); i < flips; ++i) b[rng() % b.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    // Inflating allocates a large buffer each time: every eighth round is
    // enough to see damaged entry data end in a clear error.
    damaged += ReadMutated(b, round % 8 == 0) == TOutcome::Damaged;
  }
  EXPECT_GT(damaged, 0);
  // The appended form through a file: the trailer's position is checked too.
  for (const char* v : {"0", "102"}) {
    const std::vector<uint8_t> base = test::ReadFileBytes(dir / (std::string("small_v") + v + ".exe"));
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> b = base;
      b[round % 2 ? b.size() - 6 + rng() % 4 : rng() % b.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
      test::WriteFileBytes(dir / "m.exe", b);
      TVrFileCollection c;
      try {
        c.OpenPath(dir / "m.exe");
      } catch (const EVrDamagedError&) {
        EXPECT_TRUE(c.Count() == 0 && c.Archive == nullptr);
      }
    }
  }
}

}  // namespace
}  // namespace orba
