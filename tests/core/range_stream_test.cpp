#include "core/streams/range_stream.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/errors.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Byte i of the test file is i * 7 + (i >> 8) (mod 256): no two nearby
// windows look alike.
uint8_t ByteAt(int64_t i) { return static_cast<uint8_t>(i * 7 + (i >> 8)); }

std::vector<uint8_t> FileBytes(int64_t n) {
  std::vector<uint8_t> out(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) out[static_cast<size_t>(i)] = ByteAt(i);
  return out;
}

class RangeStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteFileBytes(name_, FileBytes(1000)); }
  test::TempDir dir_;
  std::string name_ = dir_ / "pack.dat";
};

TEST_F(RangeStreamTest, ReadsAndSeeksStayInTheWindowAndWritesDoNothing) {
  TFileRangeStream s(name_, 200, 100);
  EXPECT_EQ(std::make_pair(s.GetSize(), s.GetPosition()), std::make_pair(int64_t{100}, int64_t{0}));
  uint8_t buffer[100];
  s.SetPosition(70);
  EXPECT_EQ(s.Read(buffer, 100), 30);  // 30 bytes before the end
  EXPECT_EQ(std::make_pair(buffer[0], buffer[29]), std::make_pair(ByteAt(270), ByteAt(299)));
  EXPECT_EQ(s.Read(buffer, 100), 0);   // at the end
  EXPECT_EQ(s.GetPosition(), 100);
  // Seeks from the start, the end and the position are clamped to the window.
  EXPECT_EQ((std::vector<int64_t>{s.Seek(-5, SeekOrigin::Begin), s.Seek(10, SeekOrigin::End),
                                  s.Seek(-30, SeekOrigin::Current), s.Seek(INT64_MIN, SeekOrigin::Current),
                                  s.Seek(INT64_MAX, SeekOrigin::End)}),
            (std::vector<int64_t>{0, 100, 70, 0, 100}));
  s.SetPosition(-1);
  EXPECT_EQ(s.GetPosition(), 0);
  EXPECT_EQ(s.Write("abc", 3), 0);
  EXPECT_EQ(s.GetPosition(), 0);
  EXPECT_EQ(test::ReadFileBytes(name_), FileBytes(1000));
}

TEST_F(RangeStreamTest, EmptyWholeAndClampedWindows) {
  TFileRangeStream empty(name_, 0, 0);
  EXPECT_EQ(empty.GetSize(), 0);
  uint8_t b;
  EXPECT_EQ(empty.Read(&b, 1), 0);
  TFileRangeStream whole(name_);
  EXPECT_EQ(whole.GetSize(), 1000);
  std::vector<uint8_t> all(1000);
  whole.ReadBuffer(all.data(), 1000);
  EXPECT_EQ(all, FileBytes(1000));
  TFileRangeStream tail(name_, 900, 500);
  EXPECT_EQ(std::make_pair(tail.RangeOffset(), tail.GetSize()), std::make_pair(int64_t{900}, int64_t{100}));
  TFileRangeStream past(name_, 5000, 10);
  EXPECT_EQ(past.GetSize(), 0);
  EXPECT_THROW(TFileRangeStream(dir_ / "missing.dat", 0, 10), EFOpenError);
}

TEST_F(RangeStreamTest, ResourceWindows) {
  auto module = std::make_shared<TMemoryResourceProvider>();
  module->Add("PACK", "RCDATA", test::Bytes("0123456789"));
  TResourceRangeStream s(module, "pack", "rcdata", 3, 4);
  std::vector<uint8_t> got(10);
  got.resize(static_cast<size_t>(s.Read(got.data(), 10)));
  EXPECT_EQ(got, test::Bytes("3456"));
  TResourceRangeStream missing(module, "OTHER", "RCDATA", 0, 4);
  EXPECT_EQ(missing.GetSize(), 0);
}

// Two threads, each seeking and reading in its own window over one file,
// 100,000 times each.
TEST_F(RangeStreamTest, TwoThreadsWithTheirOwnWindows) {
  auto worker = [this](int64_t offset, int64_t size, int* errors) {
    TFileRangeStream s(name_, offset, size);
    uint8_t buffer[16];
    for (int k = 0; k < 100000; ++k) {
      const int64_t at = (k * 37) % size;
      s.SetPosition(at);
      const int64_t got = s.Read(buffer, 16);
      if (got != std::min<int64_t>(16, size - at)) ++*errors;
      for (int64_t j = 0; j < got; ++j)
        if (buffer[j] != ByteAt(offset + at + j)) ++*errors;
    }
  };
  int errors_a = 0, errors_b = 0;
  std::thread a(worker, 100, 300, &errors_a);
  std::thread b(worker, 500, 400, &errors_b);
  a.join();
  b.join();
  EXPECT_EQ(errors_a + errors_b, 0);
}

// Two threads sharing one window: each read is one step under the window's
// lock, so the 8-byte records they take are whole, and every record is taken
// exactly once.
TEST_F(RangeStreamTest, TwoThreadsSharingOneWindowTakeWholeRecords) {
  constexpr int kRecords = 200000;
  std::vector<uint8_t> records(static_cast<size_t>(kRecords) * 8);
  for (uint32_t r = 0; r < kRecords; ++r)
    for (int j = 0; j < 4; ++j) {
      records[r * 8 + j] = static_cast<uint8_t>(r >> (8 * j));
      records[r * 8 + 4 + j] = static_cast<uint8_t>(~r >> (8 * j));
    }
  const std::string name = dir_ / "records.dat";
  test::WriteFileBytes(name, records);
  TFileRangeStream s(name);
  std::vector<int> seen(kRecords, 0);
  auto worker = [&](int* torn) {
    uint8_t b[8];
    for (int k = 0; k < kRecords / 2; ++k) {
      if (s.Read(b, 8) != 8) {
        ++*torn;
        continue;
      }
      uint32_t r = 0, check = 0;
      for (int j = 0; j < 4; ++j) {
        r |= static_cast<uint32_t>(b[j]) << (8 * j);
        check |= static_cast<uint32_t>(b[4 + j]) << (8 * j);
      }
      if (check != ~r || r >= static_cast<uint32_t>(kRecords)) ++*torn;
      else ++seen[r];  // each index is written by the one thread that read it
    }
  };
  int torn_a = 0, torn_b = 0;
  std::thread a(worker, &torn_a);
  std::thread b(worker, &torn_b);
  a.join();
  b.join();
  EXPECT_EQ(torn_a + torn_b, 0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), kRecords);
  EXPECT_EQ(s.GetPosition(), s.GetSize());
}

}  // namespace
}  // namespace orba
