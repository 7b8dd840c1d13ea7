#include "core/streams/compression.h"

#include <gtest/gtest.h>


#include "core/errors.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Text-like bytes with some repetition and some noise, so that the packed
// form uses both literals and matches.
std::vector<uint8_t> SampleBytes(size_t size) {
  std::vector<uint8_t> out(size);
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>('a' + i % 23);
  }
  return out;
}

TEST(Compression, PackedFormIsZlibAtTheFastestLevel) {
  TKsMemoryStream s(test::Bytes("abc"));
  CompressStream(s);
  // Header 78 01 (deflate, 32 KiB window, fastest), a fixed-Huffman block,
  // then the Adler-32 of "abc" (02 4d 01 27), big-endian.
  EXPECT_EQ(test::ToHex(s.Bytes()), "78 01 4b 4c 4a 06 00 02 4d 01 27");
  EXPECT_EQ(s.GetPosition(), s.GetSize());
  DecompressStream(s);
  EXPECT_EQ(s.Bytes(), test::Bytes("abc"));
  EXPECT_EQ(s.GetPosition(), 0);
}

TEST(Compression, AgreesWithPythonZlibBothWays) {
  test::TempDir dir;
  const std::vector<size_t> sizes{0, 1, 1000000, 3000001};
  std::vector<std::string> args{dir.path()};
  for (size_t size : sizes) {
    const std::string name = "s" + std::to_string(size);
    TKsMemoryStream s(SampleBytes(size));
    CompressStream(s);
    test::WriteFileBytes(dir / (name + ".raw"), SampleBytes(size));
    test::WriteFileBytes(dir / (name + ".ours"), s.Bytes());
    args.push_back(name);
  }
  const test::CommandResult r = test::RunPython("fixtures/zlib_check.py", args);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  std::string expected;
  for (size_t size : sizes) expected += "s" + std::to_string(size) + " ok\n";
  EXPECT_EQ(r.output, expected);
  for (size_t size : sizes) {
    TKsMemoryStream s(test::ReadFileBytes(dir / ("s" + std::to_string(size) + ".py")));
    DecompressStream(s);
    EXPECT_EQ(s.GetSize(), static_cast<int64_t>(size));
    EXPECT_TRUE(s.Bytes() == SampleBytes(size)) << "size " << size;
  }
}

TEST(Compression, BadInputRaisesAndLeavesTheStreamAsItWas) {
  TKsMemoryStream packed(SampleBytes(200000));
  CompressStream(packed);
  const std::vector<uint8_t> whole = packed.Bytes();

  std::vector<std::vector<uint8_t>> bad;
  bad.push_back({});                                                    // nothing at all
  bad.emplace_back(whole.begin(), whole.begin() + whole.size() / 2);    // cut in the middle
  bad.emplace_back(whole.begin(), whole.end() - 1);                     // checksum cut short
  bad.push_back(whole);
  bad.back()[0] = 0x79;                                                 // broken header
  bad.push_back(whole);
  bad.back()[bad.back().size() - 1] ^= 1;                               // wrong checksum
  for (size_t i = 0; i < bad.size(); ++i) {
    TKsMemoryStream s(bad[i]);
    s.SetPosition(1);
    EXPECT_THROW(DecompressStream(s), EZDecompressionError) << "case " << i;
    EXPECT_EQ(s.Bytes(), bad[i]) << "case " << i;
    EXPECT_EQ(s.GetPosition(), 1);
  }
}

TEST(Compression, OutputIsBounded) {
  const std::vector<uint8_t> zeros(5000000, 0);
  TKsMemoryStream packed(zeros);
  CompressStream(packed);
  for (int64_t bound : {int64_t{0}, int64_t{4999999}}) {
    TKsMemoryStream s(packed.Bytes());
    EXPECT_THROW(DecompressStream(s, bound), EZDecompressionError) << bound;
  }
  TKsMemoryStream exact(packed.Bytes());
  DecompressStream(exact, 5000000);
  EXPECT_EQ(exact.Bytes(), zeros);
}

TEST(Compression, TrailingBytesAfterTheStreamAreIgnored) {
  TKsMemoryStream s(test::Bytes("hello"));
  CompressStream(s);
  s.Write("junk", 4);
  DecompressStream(s);
  EXPECT_EQ(s.Bytes(), test::Bytes("hello"));
}

}  // namespace
}  // namespace orba
