#include "core/streams/buffered_stream.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "support/test_support.h"

namespace orba {
namespace {

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i);
  return out;
}

TEST(BuffBigStream, FreeingGivesUnreadBytesBackToTheSource) {
  TKsMemoryStream source(Counting(1000));
  source.SetPosition(10);
  {
    TKsBuffBigStream buffered(source, 100);
    uint8_t got[40];
    EXPECT_EQ(buffered.Read(got, 40), 40);  // buffers 100, hands out 40
    EXPECT_EQ((std::vector<int64_t>{got[0], source.GetPosition(), buffered.GetPosition()}),
              (std::vector<int64_t>{10, 110, 50}));
  }
  EXPECT_EQ(source.GetPosition(), 50);  // moved back by 60
}

TEST(BuffBigStream, ReadsAcrossRefillsAndStopsAtTheEnd) {
  TKsMemoryStream source(Counting(250));
  TKsBuffBigStream buffered(source, 64);
  std::vector<uint8_t> all(300);
  EXPECT_EQ(buffered.Read(all.data(), 300), 250);
  all.resize(250);
  EXPECT_EQ(all, Counting(250));
  EXPECT_EQ(buffered.Read(all.data(), 1), 0);
}

TEST(BuffBigStream, ServesTheStrictReaders) {
  TKsMemoryStream source;
  for (const char* name : {"a.png", "", "folder\\b.osb"}) WriteStreamString(source, name);
  WriteStreamInt(source, 0x7fffffff);  // a length with nothing behind it
  source.SetPosition(0);
  {
    TKsBuffBigStream buffered(source, 7);
    EXPECT_EQ((std::vector<std::string>{ReadStreamString(buffered), ReadStreamString(buffered),
                                        ReadStreamString(buffered)}),
              (std::vector<std::string>{"a.png", "", "folder\\b.osb"}));
    EXPECT_THROW(ReadStreamString(buffered), EReadError);
  }
  EXPECT_EQ(source.GetPosition(), source.GetSize());
}

TEST(BuffBigStream, SetPositionDropsTheBuffer) {
  TKsMemoryStream source(Counting(100));
  TKsBuffBigStream buffered(source, 50);
  uint8_t b;
  buffered.ReadBuffer(&b, 1);
  buffered.SetPosition(80);
  buffered.ReadBuffer(&b, 1);
  EXPECT_EQ(b, 80);
  EXPECT_EQ(buffered.Remaining(), 19);
  EXPECT_EQ(buffered.Write(&b, 1), 0);
}

}  // namespace
}  // namespace orba
