// The memory, span, resource, buffered, file, volume and window streams, the
// stored forms of stream_encoding.h, the CRC-32 and the packed (zlib) form.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "core/errors.h"
#include "core/streams/big_file_stream.h"
#include "core/streams/buffered_stream.h"
#include "core/streams/compression.h"
#include "core/streams/crc32.h"
#include "core/streams/range_stream.h"
#include "core/streams/resource_stream.h"
#include "core/streams/stream_encoding.h"
#include "core/sjis_test_helpers.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::Bytes;
using test::FromHex;
using test::ToHex;

namespace fs = std::filesystem;

std::vector<uint8_t> Counting(size_t n, int first = 0) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + static_cast<int>(i));
  return out;
}

// Reads up to Count bytes (Read, which may move fewer).
std::vector<uint8_t> ReadAll(TKsBigStream& s, int64_t count) {
  std::vector<uint8_t> out(static_cast<size_t>(count));
  out.resize(static_cast<size_t>(s.Read(out.data(), count)));
  return out;
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TKsBigMemoryStream s;
  s.SetPosition(3);
  s.WriteBuffer("ab", 2);
  EXPECT_EQ(ToHex(s.Bytes()), "00 00 00 61 62");
  s.SetSize(4);
  EXPECT_EQ(s.GetPosition(), 4);
  EXPECT_EQ(s.TakeBytes(), Bytes(std::string("\0\0\0a", 4)));
  EXPECT_EQ(s.GetSize(), 0);
}

TEST(MemoryStream, SeeksSaturateInsteadOfOverflowing) {
  TKsMemoryStream s(Bytes("0123456789"));
  EXPECT_EQ((std::vector<int64_t>{s.Seek(-3, SeekOrigin::End), s.Seek(-100, SeekOrigin::Current),
                                  s.Seek(INT64_MAX, SeekOrigin::End), s.Remaining()}),
            (std::vector<int64_t>{7, 0, INT64_MAX, 0}));
  EXPECT_EQ(ReadAll(s, 1).size(), 0u);
  EXPECT_THROW(s.WriteBuffer("x", 1), EWriteError);  // no memory that large
  EXPECT_EQ(s.GetSize(), 10);
}

TEST(MemoryStream, SavesAndLoadsFiles) {
  test::TempDir dir;
  const std::string name = dir / "save.dat";
  test::WriteFileBytes(name, Bytes("old"));
  TKsMemoryStream s(Bytes("new content"));
  s.SaveToFile(name);
  EXPECT_EQ(test::ReadFileBytes(name), Bytes("new content"));
  EXPECT_FALSE(std::filesystem::exists(name + ".~tmp"));
  TKsMemoryStream loaded;
  loaded.Write("xx", 2);
  loaded.LoadFromFile(name);
  EXPECT_EQ(std::make_pair(loaded.Bytes(), loaded.GetPosition()), std::make_pair(Bytes("new content"), int64_t{0}));
  EXPECT_THROW(loaded.LoadFromFile(dir / "missing"), EFOpenError);
  EXPECT_EQ(loaded.Bytes(), Bytes("new content"));
  EXPECT_THROW(s.SaveToFile(dir / "no/such/folder.dat"), EFOpenError);
}

TEST(SpanAndResourceStreams, ReadOnlyWhatTheyCover) {
  TKsSpanStream span("abcdef", 6);
  span.SetPosition(4);
  EXPECT_EQ(ReadAll(span, 8), Bytes("ef"));
  span.SetPosition(100);
  EXPECT_EQ((std::vector<int64_t>{span.GetPosition(), span.Write("z", 1)}), (std::vector<int64_t>{6, 0}));

  auto module = std::make_shared<TMemoryResourceProvider>();
  module->Add("DATA", "RCDATA", Bytes("payload"));
  TKsBigResourceStream s(module, "data", "RcData");  // names fold case
  EXPECT_EQ(s.ResourceName(), "data");
  EXPECT_EQ(ReadAll(s, 9), Bytes("payload"));
  TKsBigResourceStream missing(module, "DATA", "BITMAP"), no_module(nullptr, "DATA", "RCDATA");
  EXPECT_EQ((std::vector<int64_t>{s.GetSize(), s.Write("x", 1), missing.GetSize(), no_module.GetSize()}),
            (std::vector<int64_t>{7, 0, 0, 0}));
}

TEST(BigStream, CopiesCopyAtMostWhatTheSourceHolds) {
  TKsMemoryStream src(Bytes("0123456789"));
  TKsMemoryStream dst;
  src.SetPosition(2);
  // Zero copies nothing; a count beyond the source copies what is left.
  EXPECT_EQ((std::vector<int64_t>{dst.CopyFrom(src, 5), dst.CopyFrom(src, 0), dst.CopyFrom(src, 100)}),
            (std::vector<int64_t>{5, 0, 3}));
  EXPECT_EQ(dst.Bytes(), Bytes("23456789"));
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

TEST(BuffBigStream, ReadsAcrossRefillsStopsAtTheEndAndSeeks) {
  TKsMemoryStream source(Counting(250));
  TKsBuffBigStream buffered(source, 64);
  EXPECT_EQ(ReadAll(buffered, 300), Counting(250));
  EXPECT_EQ(ReadAll(buffered, 1).size(), 0u);
  // Setting the position drops the buffer.
  buffered.SetPosition(1);
  uint8_t b;
  buffered.ReadBuffer(&b, 1);
  buffered.SetPosition(80);
  buffered.ReadBuffer(&b, 1);
  EXPECT_EQ((std::vector<int64_t>{b, buffered.Remaining(), buffered.Write(&b, 1)}), (std::vector<int64_t>{80, 169, 0}));
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

TEST(StreamEncoding, WritesHandWorkedVectors) {
  TKsMemoryStream s;
  // The writers return their last write: the text's bytes, or only the count.
  EXPECT_EQ((std::vector<int32_t>{WriteStreamString(s, "abc"), WriteStreamString(s, ""), WriteStreamInt(s, -2)}),
            (std::vector<int32_t>{3, 4, 4}));
  WriteStreamBool(s, true);
  WriteStreamFloat(s, 1.0L);
  WriteStreamRect(s, TRect{1, 2, 3, 4});
  EXPECT_EQ(ToHex(s.Bytes()),
            "03 00 00 00 61 62 63 00 00 00 00 fe ff ff ff 01 00 00 00 00 00 00 00 80 ff 3f "
            "01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00");
}

TEST(StreamEncoding, ReadsStoredFormsAndRaisesOnTruncatedData) {
  TKsMemoryStream s(FromHex("ff ff ff ff 07 00 00 00 00 00 00 00 c0 ff 3f 02 00 00 00 41 42"));
  EXPECT_EQ(ReadStreamString(s), "");  // a count of -1 is the empty string
  EXPECT_EQ(s.GetPosition(), 4);
  EXPECT_EQ(ReadByteVal(s), 7);  // a stored byte 7 is 7 ...
  s.SetPosition(4);              // ... and true
  EXPECT_TRUE(ReadStreamBool(s));
  EXPECT_EQ(ReadStreamFloat(s), 1.5L);
  EXPECT_EQ(ReadStreamString(s), "AB");

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

TEST(StreamCrc32, KnownValuesOverTheWholeStream) {
  for (const auto& [text, crc] : std::vector<std::pair<std::string, uint32_t>>{
           {"123456789", 0xCBF43926u}, {"", 0u}, {"a", 0xE8B7BE43u},
           {"The quick brown fox jumps over the lazy dog", 0x414FA339u}}) {
    TKsMemoryStream s(Bytes(text));
    s.SetPosition(s.GetSize());  // counts from position 0 wherever it stands
    EXPECT_EQ(StreamCrc32(s), crc) << text;
    EXPECT_EQ(s.GetPosition(), s.GetSize());
  }
  // Pieces of a mebibyte chain together.
  std::vector<uint8_t> bytes(3 * 1048576 + 17, 0);
  bytes.back() = 1;
  TKsMemoryStream s(bytes);
  EXPECT_EQ(StreamCrc32(s), 0xB4616EC7u);  // Python: zlib.crc32(bytes(3 * 1048576 + 16) + b"\x01")
}

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
  TKsMemoryStream s(Bytes("abc"));
  CompressStream(s);
  // Header 78 01 (deflate, 32 KiB window, fastest), a fixed-Huffman block,
  // then the Adler-32 of "abc" (02 4d 01 27), big-endian.
  EXPECT_EQ(ToHex(s.Bytes()), "78 01 4b 4c 4a 06 00 02 4d 01 27");
  EXPECT_EQ(s.GetPosition(), s.GetSize());
  s.Write("junk", 4);  // bytes after the packed stream are ignored
  DecompressStream(s);
  EXPECT_EQ(std::make_pair(s.Bytes(), s.GetPosition()), std::make_pair(Bytes("abc"), int64_t{0}));
}

TEST(Compression, AgreesWithPythonZlibBothWays) {
  test::TempDir dir;
  const std::vector<size_t> sizes{0, 1, 1000000, 3000001};
  std::vector<std::string> args{dir.path()};
  std::string expected;
  for (size_t size : sizes) {
    const std::string name = "s" + std::to_string(size);
    TKsMemoryStream s(SampleBytes(size));
    CompressStream(s);
    test::WriteFileBytes(dir / (name + ".raw"), SampleBytes(size));
    test::WriteFileBytes(dir / (name + ".ours"), s.Bytes());
    args.push_back(name);
    expected += name + " ok\n";
  }
  const test::CommandResult r = test::RunPython("fixtures/zlib_check.py", args);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, expected);
  for (size_t size : sizes) {
    TKsMemoryStream s(test::ReadFileBytes(dir / ("s" + std::to_string(size) + ".py")));
    DecompressStream(s);
    EXPECT_TRUE(s.Bytes() == SampleBytes(size)) << "size " << size;
  }
}

TEST(Compression, BadInputRaisesAndLeavesTheStreamAsItWas) {
  TKsMemoryStream packed(SampleBytes(200000));
  CompressStream(packed);
  const std::vector<uint8_t> whole = packed.Bytes();
  std::vector<std::vector<uint8_t>> bad{{},                                                  // nothing at all
                                        {whole.begin(), whole.begin() + whole.size() / 2},  // cut in the middle
                                        {whole.begin(), whole.end() - 1},                   // checksum cut short
                                        whole, whole};
  bad[3][0] = 0x79;                     // broken header
  bad[4][bad[4].size() - 1] ^= 1;       // wrong checksum
  for (size_t i = 0; i < bad.size(); ++i) {
    TKsMemoryStream s(bad[i]);
    s.SetPosition(1);
    EXPECT_THROW(DecompressStream(s), EZDecompressionError) << "case " << i;
    EXPECT_EQ(std::make_pair(s.Bytes(), s.GetPosition()), std::make_pair(bad[i], int64_t{1})) << "case " << i;
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

template <typename F>
std::string DecompressionError(F&& f) {
  return test::ErrorText<EZDecompressionError>(std::forward<F>(f));
}

// Damaged data fail alike whether unpacked into memory or streamed to
// another stream, with zlib's words for the fault; the whole-buffer inflate
// that sound data take first never changes which error is reported.
TEST(Compression, DamagedDataGiveZlibsErrorOnEveryPath) {
  TKsMemoryStream packed(SampleBytes(200000));
  CompressStream(packed);
  const std::vector<uint8_t> whole = packed.Bytes();
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string error;
  };
  std::vector<Case> cases{{"nothing at all", {}, "zlib: the packed data ends early"},
                          {"cut in the middle", {whole.begin(), whole.begin() + whole.size() / 2}, "zlib: the packed data ends early"},
                          {"checksum cut short", {whole.begin(), whole.end() - 1}, "zlib: the packed data ends early"},
                          {"broken header", whole, "zlib: incorrect header check"},
                          {"wrong checksum", whole, "zlib: incorrect data check"},
                          {"block type 3", whole, "zlib: invalid block type"}};
  cases[3].bytes[0] = 0x79;
  cases[4].bytes.back() ^= 1;
  cases[5].bytes[2] |= 0x06;  // first block header: BTYPE 11
  for (const Case& c : cases) {
    TKsMemoryStream in_memory(c.bytes);
    EXPECT_EQ(DecompressionError([&] { DecompressStream(in_memory); }), c.error) << c.what;
    TKsMemoryStream source(c.bytes);
    TCrc32Stream sink;
    EXPECT_EQ(DecompressionError([&] { DecompressToStream(source, source.GetSize(), sink); }), c.error) << c.what;
  }
  // Too large for the bound given: the same words on both paths.
  TKsMemoryStream in_memory(whole), source(whole);
  TCrc32Stream sink;
  EXPECT_EQ(DecompressionError([&] { DecompressStream(in_memory, 199999); }), "zlib: the unpacked data is larger than allowed");
  EXPECT_EQ(DecompressionError([&] { DecompressToStream(source, source.GetSize(), sink, 199999); }),
            "zlib: the unpacked data is larger than allowed");
}

// Streamed unpacking gives every byte whether the data go through one
// buffer (small) or through zlib piece by piece (over 32 MiB unpacked, or
// any size first bytes first, in smaller pieces); the CRC counter sees what
// a memory stream would hold.
TEST(Compression, StreamedUnpackingGivesEveryByteAtAnySize) {
  for (const TInflateOrder order : {TInflateOrder::kWholeWhenSmall, TInflateOrder::kFirstBytesFirst}) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{300000}, size_t{40} << 20}) {
      TKsMemoryStream packed(SampleBytes(size));
      const uint32_t crc = StreamCrc32(packed);
      CompressStream(packed);
      packed.SetPosition(0);
      TCrc32Stream sink;
      EXPECT_EQ(DecompressToStream(packed, packed.GetSize(), sink, kMaxDecompressedSize, order),
                static_cast<int64_t>(size));
      EXPECT_EQ(std::make_pair(sink.Crc(), sink.GetSize()), std::make_pair(crc, static_cast<int64_t>(size))) << size;
      DecompressStream(packed);
      EXPECT_EQ(packed.GetSize(), static_cast<int64_t>(size));
    }
  }
}

// At a bound of exactly its size the data unpack whole, through zlib too,
// whose last piece is then smaller than its buffer; one byte less is
// refused as too large, with at most that one byte more written.
TEST(Compression, StreamedUnpackingStopsAtItsBound) {
  const size_t size = (size_t{40} << 20) + 5;
  TKsMemoryStream packed(SampleBytes(size));
  const uint32_t crc = StreamCrc32(packed);
  CompressStream(packed);
  const auto bound = static_cast<int64_t>(size);
  for (const TInflateOrder order : {TInflateOrder::kWholeWhenSmall, TInflateOrder::kFirstBytesFirst}) {
    packed.SetPosition(0);
    TCrc32Stream whole;
    EXPECT_EQ(DecompressToStream(packed, packed.GetSize(), whole, bound, order), bound);
    EXPECT_EQ(std::make_pair(whole.Crc(), whole.GetSize()), std::make_pair(crc, bound));
    packed.SetPosition(0);
    TCrc32Stream cut;
    EXPECT_THROW(DecompressToStream(packed, packed.GetSize(), cut, bound - 1, order), EZUnpackedTooLarge);
    EXPECT_LE(cut.GetSize(), bound);
  }
}

TEST(BigFileStream, VolumeNamesReplaceTheExtension) {
  // 95 5C is one double-byte character whose trail byte is a backslash.
  for (const char* name : {"game.dat", "game", "/a.b/game", "a.b\\game", "d.x\x95\\.dat"}) {
    const std::string stem = std::string(name).substr(0, std::string(name).rfind(".dat"));
    EXPECT_EQ((std::vector<std::string>{TKsBigFileStream::VolumeFileName(name, 0), TKsBigFileStream::VolumeFileName(name, 1),
                                        TKsBigFileStream::VolumeFileName(name, 12)}),
              (std::vector<std::string>{name, stem + ".001", stem + ".012"}));
  }
}

// A Shift-JIS name ("テスト") spread over three volumes, named in UTF-8 on disk.
TEST(BigFileStream, WritesSpreadOverVolumesAndReadBackAcrossBoundaries) {
  test::TempDir dir;
  const std::string name = dir / "\x83\x65\x83\x58\x83\x67.dat";
  {
    TKsBigFileStream s(name, fmOpenWrite, 100);
    // A file of exactly the volume size has one volume; one more byte makes the next.
    s.WriteBuffer(Counting(100).data(), 100);
    EXPECT_EQ(std::make_pair(s.VolumeCount(), fs::exists(dir / "テスト.001")), std::make_pair(1, false));
    s.WriteBuffer(Counting(150, 100).data(), 150);
    EXPECT_EQ(std::make_pair(s.VolumeCount(), s.GetSize()), std::make_pair(3, int64_t{250}));
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "テスト.dat"), Counting(100));
  EXPECT_EQ(test::ReadFileBytes(dir / "テスト.001"), Counting(100, 100));
  EXPECT_EQ(test::ReadFileBytes(dir / "テスト.002"), Counting(50, 200));

  TKsBigFileStream s(name, fmOpenRead | fmShareDenyWrite, 100);
  EXPECT_EQ(std::make_pair(s.VolumeCount(), s.GetSize()), std::make_pair(3, int64_t{250}));
  s.SetPosition(90);  // 10 bytes before the first boundary
  EXPECT_EQ(ReadAll(s, 20), Counting(20, 90));
  EXPECT_EQ(s.GetPosition(), 110);
  s.SetPosition(240);
  EXPECT_EQ(ReadAll(s, 20), Counting(10, 240));  // stops at the end of the last volume
  EXPECT_EQ(s.Write("z", 1), 0);                 // read access writes nothing
  // Positions are clamped to the size.
  s.SetPosition(1000);
  EXPECT_EQ(s.GetPosition(), 250);
  EXPECT_EQ(ReadAll(s, 5).size(), 0u);
  EXPECT_EQ((std::vector<int64_t>{s.Seek(-1000, SeekOrigin::Current), s.Seek(INT64_MAX, SeekOrigin::End)}),
            (std::vector<int64_t>{0, 250}));
  EXPECT_EQ(TKsBigFileStream(name, fmOpenRead).VolumeSize(), int64_t{1} << 30);  // by default 1 GiB
}

TEST(BigFileStream, WriteModeDeletesVolumesUpToTheFirstGap) {
  test::TempDir dir;
  for (const char* n : {"x.dat", "x.001", "x.002", "x.004"}) test::WriteFileBytes(dir / n, {1, 2, 3});
  {
    TKsBigFileStream s(dir / "x.dat", fmOpenWrite, 100);
    EXPECT_EQ(std::make_pair(s.VolumeCount(), s.GetSize()), std::make_pair(0, int64_t{0}));
  }
  // x.004 lies after the gap at x.003.
  EXPECT_EQ((std::vector<bool>{fs::exists(dir / "x.dat"), fs::exists(dir / "x.001"), fs::exists(dir / "x.002"),
                               fs::exists(dir / "x.004")}),
            (std::vector<bool>{false, false, false, true}));
}

TEST(BigFileStream, AStaleVolumeBesideAShortFirstVolumeIsIgnored) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "x.dat", Counting(60));
  test::WriteFileBytes(dir / "x.001", Counting(40, 200));
  TKsBigFileStream s(dir / "x.dat", fmOpenReadWrite, 100);
  EXPECT_EQ(std::make_pair(s.VolumeCount(), s.GetSize()), std::make_pair(1, int64_t{60}));
  // Growing the file past the volume size replaces the stale volume.
  s.SetPosition(60);
  s.WriteBuffer(Counting(50, 60).data(), 50);
  EXPECT_EQ(s.GetSize(), 110);
  EXPECT_EQ(test::ReadFileBytes(dir / "x.001"), Counting(10, 100));
}

TEST(BigFileStream, OverwritesInPlaceAcrossABoundary) {
  test::TempDir dir;
  { TKsBigFileStream(dir / "x.dat", fmOpenWrite, 16).WriteBuffer(std::vector<uint8_t>(40, 0).data(), 40); }
  TKsBigFileStream s(dir / "x.dat", fmOpenReadWrite, 16);
  EXPECT_EQ(s.VolumeCount(), 3);
  s.SetPosition(12);
  s.WriteBuffer(Counting(8, 1).data(), 8);
  EXPECT_EQ(s.GetSize(), 40);
  s.SetPosition(10);
  EXPECT_EQ(test::ToHex(ReadAll(s, 12)), "00 00 01 02 03 04 05 06 07 08 00 00");
}

TEST(BigFileStream, MissingFileAndUncreatableVolumeRaise) {
  test::TempDir dir;
  EXPECT_THROW(TKsBigFileStream(dir / "none.dat", fmOpenRead), EFOpenError);
  EXPECT_THROW(TKsBigFileStream(dir / "none.dat", fmOpenReadWrite), EFOpenError);
  // A folder where the second volume should go cannot be created as a file.
  fs::create_directory(dir / "x.001");
  TKsBigFileStream s(dir / "x.dat", fmOpenWrite, 10);
  EXPECT_THROW(s.Write(Counting(15).data(), 15), EFOpenError);
  EXPECT_EQ(s.GetSize(), 10);
}

// Symlinks planted under volume names lead to a user's file (kept as it
// was) or to a file not there yet (never made): writing replaces the links
// themselves, read-write access refuses them, reading follows them.
TEST(BigFileStream, WritingNeverGoesThroughAPlantedSymlink) {
  test::TempDir dir;
  fs::create_directories(dir / "outside");
  test::WriteFileBytes(dir / "outside/canary", Bytes("user"));
  fs::create_symlink(dir / "outside/canary", dir / "x.dat");
  fs::create_symlink(dir / "outside/new.001", dir / "x.001");
  {
    TKsBigFileStream s(dir / "x.dat", fmOpenWrite, 10);
    s.WriteBuffer(Counting(15).data(), 15);
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "outside/canary"), Bytes("user"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "outside/new.001")));
  for (const char* volume : {"x.dat", "x.001"}) EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / volume)));
  EXPECT_EQ(test::ReadFileBytes(dir / "x.001"), Counting(5, 10));

  fs::create_symlink(dir / "outside/canary", dir / "y.dat");
  EXPECT_THROW(TKsBigFileStream(dir / "y.dat", fmOpenReadWrite), EFOpenError);
  TKsBigFileStream reader(dir / "y.dat", fmOpenRead);
  EXPECT_EQ(ReadAll(reader, 10), Bytes("user"));
  EXPECT_EQ(test::ReadFileBytes(dir / "outside/canary"), Bytes("user"));
}

TEST(BigFileStream, CopiesLargerThanTheCopyBufferGoThroughWhole) {
  test::TempDir dir;
  const int64_t size = 11 * 1048576 + 3;  // more than one 10 MiB copy chunk
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13 + (i >> 20));
  {
    TKsBigFileStream out(dir / "x.dat", fmOpenWrite, 4 * 1048576);
    TKsMemoryStream source(bytes);
    EXPECT_EQ(out.CopyFrom(source, size), size);
    EXPECT_EQ(out.VolumeCount(), 3);
  }
  // CopyStreamData copies at most what is left; CopyWholeStream starts at 0
  // wherever the source stands.
  TKsBigFileStream in(dir / "x.dat", fmOpenRead, 4 * 1048576);
  TKsMemoryStream tail, copy;
  in.SetPosition(size - 10);
  EXPECT_EQ((std::vector<int64_t>{CopyStreamData(tail, in, 0), CopyStreamData(tail, in, 100)}), (std::vector<int64_t>{0, 10}));
  EXPECT_EQ(tail.Bytes(), std::vector<uint8_t>(bytes.end() - 10, bytes.end()));
  EXPECT_EQ(CopyWholeStream(copy, in), size);
  EXPECT_TRUE(copy.Bytes() == bytes);
}

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
  s.SetPosition(70);
  const std::vector<uint8_t> all = FileBytes(1000);
  EXPECT_EQ(ReadAll(s, 100), std::vector<uint8_t>(all.begin() + 270, all.begin() + 300));  // 30 bytes before the end
  EXPECT_EQ((std::vector<int64_t>{int64_t(ReadAll(s, 100).size()), s.GetPosition()}), (std::vector<int64_t>{0, 100}));
  // Seeks from the start, the end and the position are clamped to the window.
  EXPECT_EQ((std::vector<int64_t>{s.Seek(-5, SeekOrigin::Begin), s.Seek(10, SeekOrigin::End),
                                  s.Seek(-30, SeekOrigin::Current), s.Seek(INT64_MIN, SeekOrigin::Current),
                                  s.Seek(INT64_MAX, SeekOrigin::End)}),
            (std::vector<int64_t>{0, 100, 70, 0, 100}));
  s.SetPosition(-1);
  EXPECT_EQ((std::vector<int64_t>{s.Write("abc", 3), s.GetPosition()}), (std::vector<int64_t>{0, 0}));
  EXPECT_EQ(test::ReadFileBytes(name_), all);
}

TEST_F(RangeStreamTest, EmptyWholeClampedAndResourceWindows) {
  TFileRangeStream empty(name_, 0, 0), whole(name_), tail(name_, 900, 500), past(name_, 5000, 10);
  EXPECT_EQ((std::vector<int64_t>{empty.GetSize(), int64_t(ReadAll(empty, 1).size()), whole.GetSize(), tail.RangeOffset(),
                                  tail.GetSize(), past.GetSize()}),
            (std::vector<int64_t>{0, 0, 1000, 900, 100, 0}));
  EXPECT_EQ(ReadAll(whole, 1000), FileBytes(1000));
  EXPECT_THROW(TFileRangeStream(dir_ / "missing.dat", 0, 10), EFOpenError);

  auto module = std::make_shared<TMemoryResourceProvider>();
  module->Add("PACK", "RCDATA", test::Bytes("0123456789"));
  TResourceRangeStream s(module, "pack", "rcdata", 3, 4), missing(module, "OTHER", "RCDATA", 0, 4);
  EXPECT_EQ(ReadAll(s, 10), Bytes("3456"));
  EXPECT_EQ(missing.GetSize(), 0);
}

// Two threads sharing one window: each read is one step under the window's
// lock, so the 8-byte records they take (an index and its complement) are
// whole, and every record is taken exactly once.
TEST_F(RangeStreamTest, TwoThreadsSharingOneWindowTakeWholeRecords) {
  constexpr uint32_t kRecords = 200000;
  std::vector<uint8_t> records(kRecords * 8);
  for (uint32_t r = 0; r < kRecords; ++r) {
    const uint32_t pair[2] = {r, ~r};
    std::memcpy(&records[r * 8], pair, 8);
  }
  test::WriteFileBytes(dir_ / "records.dat", records);
  TFileRangeStream s(dir_ / "records.dat");
  std::vector<int> seen(kRecords, 0);
  auto worker = [&](int* torn) {
    uint32_t pair[2];
    for (uint32_t k = 0; k < kRecords / 2; ++k) {
      if (s.Read(pair, 8) != 8 || pair[1] != ~pair[0] || pair[0] >= kRecords) ++*torn;
      else ++seen[pair[0]];  // each index is written by the one thread that read it
    }
  };
  int torn_a = 0, torn_b = 0;
  std::thread a(worker, &torn_a), b(worker, &torn_b);
  a.join();
  b.join();
  EXPECT_EQ(torn_a + torn_b, 0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), std::ptrdiff_t{kRecords});
  EXPECT_EQ(s.GetPosition(), s.GetSize());
}

}  // namespace
}  // namespace orba
