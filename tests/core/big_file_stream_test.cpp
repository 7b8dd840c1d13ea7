#include "core/streams/big_file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t kReadDenyWrite = fmOpenRead | fmShareDenyWrite;

std::vector<uint8_t> Counting(size_t n, int first = 0) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + static_cast<int>(i));
  return out;
}

std::vector<uint8_t> ReadAll(TKsBigStream& s, int64_t count) {
  std::vector<uint8_t> out(static_cast<size_t>(count));
  out.resize(static_cast<size_t>(s.Read(out.data(), count)));
  return out;
}

TEST(BigFileStream, VolumeNamesReplaceTheExtension) {
  struct Case {
    std::string name, volume1, volume12;
  };
  for (const Case& c : std::vector<Case>{
           {"game.dat", "game.001", "game.012"},
           {"game", "game.001", "game.012"},
           {"/a.b/game", "/a.b/game.001", "/a.b/game.012"},
           {"a.b\\game", "a.b\\game.001", "a.b\\game.012"},
           // 95 5C is one double-byte character whose trail byte is a backslash.
           {"d.x\x95\\.dat", "d.x\x95\\.001", "d.x\x95\\.012"},
       }) {
    EXPECT_EQ(TKsBigFileStream::VolumeFileName(c.name, 0), c.name);
    EXPECT_EQ(TKsBigFileStream::VolumeFileName(c.name, 1), c.volume1);
    EXPECT_EQ(TKsBigFileStream::VolumeFileName(c.name, 12), c.volume12);
  }
}

TEST(BigFileStream, WritesSpreadOverVolumesAndReadBackAcrossBoundaries) {
  test::TempDir dir;
  const std::string name = dir / "x.dat";
  {
    TKsBigFileStream s(name, fmOpenWrite, 100);
    s.WriteBuffer(Counting(250).data(), 250);
    EXPECT_EQ(std::make_pair(s.VolumeCount(), s.GetSize()), std::make_pair(3, int64_t{250}));
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "x.dat"), Counting(100));
  EXPECT_EQ(test::ReadFileBytes(dir / "x.001"), Counting(100, 100));
  EXPECT_EQ(test::ReadFileBytes(dir / "x.002"), Counting(50, 200));

  TKsBigFileStream s(name, kReadDenyWrite, 100);
  EXPECT_EQ(std::make_pair(s.VolumeCount(), s.GetSize()), std::make_pair(3, int64_t{250}));
  s.SetPosition(90);  // 10 bytes before the first boundary
  EXPECT_EQ(ReadAll(s, 20), Counting(20, 90));
  EXPECT_EQ(s.GetPosition(), 110);
  s.SetPosition(240);
  EXPECT_EQ(ReadAll(s, 20), Counting(10, 240));  // stops at the end of the last volume
  EXPECT_EQ(s.Write("z", 1), 0);                 // read access writes nothing
}

TEST(BigFileStream, PositionsAreClampedToTheSize) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "x.dat", Counting(30));
  TKsBigFileStream s(dir / "x.dat", fmOpenRead, 100);
  s.SetPosition(1000);
  EXPECT_EQ(s.GetPosition(), 30);
  EXPECT_EQ(ReadAll(s, 5).size(), 0u);
  EXPECT_EQ((std::vector<int64_t>{s.Seek(-1000, SeekOrigin::Current), s.Seek(INT64_MAX, SeekOrigin::End)}),
            (std::vector<int64_t>{0, 30}));
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
  {
    TKsBigFileStream s(dir / "x.dat", fmOpenWrite, 16);
    s.WriteBuffer(std::vector<uint8_t>(40, 0).data(), 40);
  }
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

TEST(BigFileStream, ShiftJisNamesBecomeUtf8OnDisk) {
  test::TempDir dir;
  // "テスト" in Shift-JIS
  const std::string sjis = dir / "\x83\x65\x83\x58\x83\x67.dat";
  {
    TKsBigFileStream s(sjis, fmOpenWrite, 4);
    s.WriteBuffer("abcdef", 6);
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "テスト.dat"), test::Bytes("abcd"));
  EXPECT_EQ(test::ReadFileBytes(dir / "テスト.001"), test::Bytes("ef"));
}

// The real volume size, on a sparse first volume: a file of exactly 1 GiB
// has one volume, and one more byte goes into ".001".
TEST(BigFileStream, RealVolumeSizeOnASparseFile) {
  test::TempDir dir;
  const std::string name = dir / "big.dat";
  constexpr int64_t kGiB = int64_t{1} << 30;
  test::WriteFileBytes(name, {});
  fs::resize_file(name, static_cast<uintmax_t>(kGiB - 10));
  {
    TKsBigFileStream s(name, fmOpenReadWrite);
    EXPECT_EQ(s.VolumeSize(), kGiB);
    EXPECT_EQ(s.VolumeCount(), 1);
    s.SetPosition(kGiB - 10);
    s.WriteBuffer(Counting(10, 1).data(), 10);
    EXPECT_EQ(s.GetSize(), kGiB);
    EXPECT_EQ(s.VolumeCount(), 1);
    EXPECT_FALSE(fs::exists(dir / "big.001"));
    s.WriteBuffer(Counting(10, 11).data(), 10);
    EXPECT_EQ(s.VolumeCount(), 2);
  }
  EXPECT_EQ(fs::file_size(name), static_cast<uintmax_t>(kGiB));
  EXPECT_EQ(test::ReadFileBytes(dir / "big.001"), Counting(10, 11));
  TKsBigFileStream s(name, kReadDenyWrite);
  EXPECT_EQ(s.GetSize(), kGiB + 10);
  s.SetPosition(kGiB - 10);
  EXPECT_EQ(ReadAll(s, 20), Counting(20, 1));
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
  TKsBigFileStream in(dir / "x.dat", fmOpenRead, 4 * 1048576);
  TKsMemoryStream copy;
  EXPECT_EQ(CopyWholeStream(copy, in), size);
  EXPECT_TRUE(copy.Bytes() == bytes);
  in.SetPosition(size - 10);
  EXPECT_EQ(CopyStreamData(copy, in, 100), 10);
}

}  // namespace
}  // namespace orba
