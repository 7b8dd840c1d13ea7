#include "core/streams/stream_encoding.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

TEST(StreamEncoding, WritesHandWorkedVectors) {
  TKsMemoryStream s;
  WriteStreamString(s, "abc");
  WriteStreamString(s, "");
  WriteStreamInt(s, -2);
  WriteStreamBool(s, true);
  WriteStreamFloat(s, 1.0L);
  WriteStreamRect(s, TRect{1, 2, 3, 4});
  EXPECT_EQ(ToHex(s.Bytes()),
            "03 00 00 00 61 62 63 "
            "00 00 00 00 "
            "fe ff ff ff "
            "01 "
            "00 00 00 00 00 00 00 80 ff 3f "
            "01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00");
}

TEST(StreamEncoding, ReadsStoredForms) {
  TKsMemoryStream s(FromHex("ff ff ff ff 07 00 00 00 00 00 00 00 c0 ff 3f 02 00 00 00 41 42"));
  EXPECT_EQ(ReadStreamString(s), "");  // a count of -1 is the empty string
  EXPECT_EQ(s.GetPosition(), 4);
  EXPECT_EQ(ReadByteVal(s), 7);  // a stored byte 7 is 7 ...
  s.SetPosition(4);               // ... and true
  EXPECT_TRUE(ReadStreamBool(s));
  EXPECT_EQ(ReadStreamFloat(s), 1.5L);
  EXPECT_EQ(ReadStreamString(s), "AB");
}

TEST(StreamEncoding, TruncatedDataRaises) {
  TKsMemoryStream huge(FromHex("ff ff ff 7f 61"));  // claims 2 GiB, holds one byte
  EXPECT_THROW(ReadStreamString(huge), EReadError);
  TKsMemoryStream short_int(FromHex("01 02 03"));
  EXPECT_THROW(ReadStreamInt(short_int), EReadError);
  TKsMemoryStream empty;
  EXPECT_THROW(ReadByteVal(empty), EReadError);
  EXPECT_THROW(CheckStoredCount(empty, -1, 1), EReadError);
}

TEST(StreamEncoding, FloatsRoundTripExactly) {
  for (long double v : {0.0L, -0.1L, 1.5L, 1e20L, -1.5e-7L, 3.14159265358979323846L}) {
    TKsMemoryStream s;
    WriteStreamFloat(s, v);
    ASSERT_EQ(s.GetSize(), 10);
    s.SetPosition(0);
    EXPECT_EQ(ReadStreamFloat(s), v);
  }
}

TEST(StreamEncoding, CopyStreamDataCopiesAtMostWhatTheSourceHolds) {
  TKsMemoryStream src(test::Bytes("0123456789"));
  TKsMemoryStream dst;
  src.SetPosition(6);
  EXPECT_EQ(CopyStreamData(dst, src, 100), 4);
  EXPECT_EQ(dst.Bytes(), test::Bytes("6789"));
  EXPECT_EQ(CopyStreamData(dst, src, 0), 0);  // a zero count copies nothing
  TKsMemoryStream whole;
  EXPECT_EQ(CopyWholeStream(whole, src), 10);  // even from the end
  EXPECT_EQ(whole.Bytes(), src.Bytes());
}

}  // namespace
}  // namespace orba
