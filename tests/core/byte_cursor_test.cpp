// The checked byte cursor: hand-worked integers in both byte orders, and
// reads or counts past the end refused without moving.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/streams/byte_cursor.h"

namespace orba {
namespace {

// 01 02 03 04 05 06 07 08: read as each width and order from position 0.
TEST(ByteCursor, ReadsBothByteOrdersFromHandWorkedBytes) {
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  struct Case {
    const char* name;
    uint64_t (*read)(TByteCursor&);
    uint64_t expected;
    size_t width;
  };
  const Case cases[] = {
      {"U8", [](TByteCursor& c) -> uint64_t { return c.U8(); }, 0x01, 1},
      {"U16LE", [](TByteCursor& c) -> uint64_t { return c.U16LE(); }, 0x0201, 2},
      {"U16BE", [](TByteCursor& c) -> uint64_t { return c.U16BE(); }, 0x0102, 2},
      {"U32LE", [](TByteCursor& c) -> uint64_t { return c.U32LE(); }, 0x04030201, 4},
      {"U32BE", [](TByteCursor& c) -> uint64_t { return c.U32BE(); }, 0x01020304, 4},
      {"U64LE", [](TByteCursor& c) -> uint64_t { return c.U64LE(); }, 0x0807060504030201, 8},
  };
  for (const Case& k : cases) {
    TByteCursor c(bytes);
    EXPECT_EQ(k.read(c), k.expected) << k.name;
    EXPECT_EQ(c.Position(), k.width) << k.name;
  }
  const std::vector<uint8_t> minus_two = {0xFF, 0xFF, 0xFF, 0xFE};
  TByteCursor c(minus_two);
  EXPECT_EQ(c.I32BE(), -2);
}

TEST(ByteCursor, ReadsPastTheEndRaiseAndLeaveThePosition) {
  const std::vector<uint8_t> bytes = {1, 2, 3};
  TByteCursor c(bytes);
  c.Skip(1);
  EXPECT_THROW(c.U32LE(), EReadError);
  EXPECT_THROW(c.U64LE(), EReadError);
  EXPECT_THROW(c.Take(3), EReadError);
  EXPECT_EQ(c.Position(), 1u);
  EXPECT_EQ(c.U16BE(), 0x0203);
  EXPECT_TRUE(c.AtEnd());
  EXPECT_THROW(c.U8(), EReadError);
}

TEST(ByteCursor, StoredCountsAreCheckedAgainstTheBytesLeft) {
  const std::vector<uint8_t> bytes(10);
  TByteCursor c(bytes);
  c.Skip(2);
  EXPECT_NO_THROW(c.CheckCount(2, 4));
  for (const auto& [count, size] : {std::pair<int64_t, int64_t>{3, 4}, {-1, 1}, {INT64_MAX, 2}, {9, 1}})
    EXPECT_THROW(c.CheckCount(count, size), EReadError) << count << " x " << size;
}

}  // namespace
}  // namespace orba
