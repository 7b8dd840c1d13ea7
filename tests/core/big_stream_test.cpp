#include "core/streams/big_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/errors.h"
#include "core/streams/resource_stream.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::Bytes;

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TKsBigMemoryStream s;
  s.SetPosition(3);
  s.WriteBuffer("ab", 2);
  EXPECT_EQ(test::ToHex(s.Bytes()), "00 00 00 61 62");
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
  uint8_t b;
  EXPECT_EQ(s.Read(&b, 1), 0);
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
  EXPECT_EQ(loaded.Bytes(), Bytes("new content"));
  EXPECT_EQ(loaded.GetPosition(), 0);
  EXPECT_THROW(loaded.LoadFromFile(dir / "missing"), EFOpenError);
  EXPECT_EQ(loaded.Bytes(), Bytes("new content"));
  EXPECT_THROW(s.SaveToFile(dir / "no/such/folder.dat"), EFOpenError);
}

TEST(SpanStream, ReadsOnlyWhatItCovers) {
  const char text[] = "abcdef";
  TKsSpanStream s(text, 6);
  s.SetPosition(4);
  char out[8] = {};
  EXPECT_EQ(s.Read(out, 8), 2);
  EXPECT_STREQ(out, "ef");
  s.SetPosition(100);
  EXPECT_EQ(s.GetPosition(), 6);
  EXPECT_EQ(s.Write("z", 1), 0);
}

TEST(ResourceStream, ReadsTheNamedResourceOfItsModule) {
  auto module = std::make_shared<TMemoryResourceProvider>();
  module->Add("DATA", "RCDATA", Bytes("payload"));
  TKsBigResourceStream s(module, "data", "RcData");  // names fold case
  EXPECT_EQ(s.ResourceName(), "data");
  std::string out(7, '\0');
  s.ReadBuffer(out.data(), 7);
  EXPECT_EQ(out, "payload");
  TKsBigResourceStream missing(module, "DATA", "BITMAP"), no_module(nullptr, "DATA", "RCDATA");
  EXPECT_EQ((std::vector<int64_t>{s.GetSize(), s.Write("x", 1), missing.GetSize(), no_module.GetSize()}),
            (std::vector<int64_t>{7, 0, 0, 0}));
}

TEST(BigStream, CopyFromCopiesAtMostCount) {
  TKsMemoryStream src(Bytes("0123456789"));
  TKsMemoryStream dst;
  src.SetPosition(2);
  // Zero copies nothing; a count beyond the source copies what is left.
  EXPECT_EQ((std::vector<int64_t>{dst.CopyFrom(src, 5), dst.CopyFrom(src, 0), dst.CopyFrom(src, 100)}),
            (std::vector<int64_t>{5, 0, 3}));
  EXPECT_EQ(dst.Bytes(), Bytes("23456789"));
}

}  // namespace
}  // namespace orba
