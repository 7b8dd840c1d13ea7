#include "graphics/icon_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "core/errors.h"
#include "graphics/graphic_errors.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using TRow = std::vector<uint32_t>;

struct TIconRead {
  TPoint HotSpot;
  bool HasAlpha = false;
  int64_t Key = 0;
};

TIconRead Read(TDIBSurface& s, const std::vector<uint8_t>& bytes, bool keep_alpha, int64_t colour = kIconKeyColor) {
  TKsMemoryStream stream(bytes);
  TIconRead r;
  r.Key = colour;
  ReadIcon(s, stream, r.HotSpot, r.HasAlpha, keep_alpha, r.Key);
  return r;
}

std::vector<uint8_t> Write(TDIBSurface& s, bool cursor, TPoint hotspot, bool write32, TDIBSurface* alpha,
                           int64_t key) {
  TKsMemoryStream stream;
  WriteIcon(s, stream, cursor, hotspot, write32, alpha, key);
  return stream.TakeBytes();
}

// A one-image icon of 2 x 1 pixels: directory, header, then `body` (table,
// colour rows and AND rows).
std::vector<uint8_t> TinyIcon(int bits, const std::string& body, int compression = 0) {
  std::vector<uint8_t> b = FromHex(body);
  const uint32_t size = 40 + static_cast<uint32_t>(b.size());
  std::vector<uint8_t> file = FromHex("00 00 01 00 01 00  02 01 00 00 01 00 00 00");
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(size >> (8 * i)));
  // Directory ends at 22; the 40-byte header follows.
  std::vector<uint8_t> info = FromHex("16 00 00 00  28 00 00 00 02 00 00 00 02 00 00 00 01 00");
  info.insert(info.end(), {static_cast<uint8_t>(bits), 0, static_cast<uint8_t>(compression)});
  info.resize(44, 0);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), b.begin(), b.end());
  return file;
}

// The first of `n` RGBA pixels where `b` differs from `a`: in alpha, or in
// colour (compared at 8 - shift bits) where `a` is not clear; -1 when none.
int64_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t n, int shift = 0) {
  for (size_t i = 0; i < 4 * n; i += 4) {
    if (a[i + 3] != b[i + 3]) return static_cast<int64_t>(i / 4);
    for (size_t k = 0; k < 3 && a[i + 3] != 0; ++k)
      if (a[i + k] >> shift != b[i + k] >> shift) return static_cast<int64_t>(i / 4);
  }
  return -1;
}

TEST(IconRead, AFileThatIsReallyABmpLoadsAsThatBitmap) {
  TDIBSurface bmp;
  bmp.SetSize(3, 2, 24);
  bmp.SetPixel(1, 1, 0x112233);
  TKsMemoryStream stream;
  bmp.TDIB::SaveToStream(stream);
  TDIBSurface s;
  const TIconRead r = Read(s, stream.TakeBytes(), false);
  EXPECT_EQ(r.Key, -1);
  ASSERT_EQ(s.Width(), 3);
  EXPECT_EQ(s.GetPixel(1, 1), 0x112233u);
}

TEST(IconRead, ThirtyTwoBitsCombineTheFourthBytesWithTheAndMask) {
  // Pixel 0 alpha 0x80, pixel 1 alpha 0xff but masked out by the AND bit.
  TDIBSurface s;
  const TIconRead r = Read(s, TinyIcon(32, "01 02 03 80  04 05 06 ff  40 00 00 00"), false);
  EXPECT_TRUE(r.HasAlpha);
  EXPECT_EQ(r.Key, -1);
  ASSERT_EQ(s.GetBitCount(), 24);
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ(s.GetPixel(0, 0), 0x030201u);
  EXPECT_EQ(test::RowOf(*s.Alpha(), 0), (TRow{0x80, 0}));
}

TEST(IconRead, ThirtyTwoBitsWithoutMasksAreNotShiftedAndOldFormsUseTheAndMask) {
  // Plain RGB: the colour rows start right after the header.
  TDIBSurface s;
  Read(s, TinyIcon(32, "01 02 03 00  04 05 06 00  80 00 00 00"), false);
  EXPECT_EQ(s.GetPixel(1, 0), 0x060504u);
  // Every fourth byte 0: the AND mask alone gives the shape.
  EXPECT_EQ(test::RowOf(*s.Alpha(), 0), (TRow{0, 255}));
  // Bit fields: masks first, then the rows.
  Read(s, TinyIcon(32, "00 00 ff 00 00 ff 00 00 ff 00 00 00  01 02 03 ff  04 05 06 ff  00 00 00 00", 3), false);
  EXPECT_EQ(s.GetPixel(1, 0), 0x060504u);
}

TEST(IconRead, EightBitsGiveAFreeIndexOrTheNearestToTheKeyColour) {
  // Two pixels 0 and 1, the second transparent; entries 0 and 1 used.
  std::string table;
  for (int i = 0; i < 256; ++i) table += i == 0 ? "10 20 30 00 " : "00 00 00 00 ";
  TDIBSurface s;
  TIconRead r = Read(s, TinyIcon(8, table + "00 01 00 00  40 00 00 00"), false, 0xFF00FF);
  EXPECT_EQ(r.Key, 2);  // the lowest unused index
  EXPECT_EQ(s.GetPixel(1, 0), 2u);
  EXPECT_EQ(s.ImageTable()[2], MakeQuad(0xFF, 0, 0xFF));
  EXPECT_EQ(s.Alpha(), nullptr);
  // Keeping the alpha: no key, the AND mask as alpha.
  r = Read(s, TinyIcon(8, table + "00 01 00 00  40 00 00 00"), true);
  EXPECT_EQ(r.Key, -1);
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ(test::RowOf(*s.Alpha(), 0), (TRow{255, 0}));
}

TEST(IconRead, EightBitsWithEveryIndexUsedTakeTheNearestEntry) {
  // A 256 x 1 image using every index; entry i is grey i, the key colour grey 77.
  std::vector<uint8_t> file = FromHex("00 00 01 00 01 00  00 01 00 00 01 00 08 00 00 00 00 00 16 00 00 00");
  std::vector<uint8_t> info = FromHex("28 00 00 00 00 01 00 00 02 00 00 00 01 00 08 00");
  info.resize(40, 0);
  file.insert(file.end(), info.begin(), info.end());
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                                         static_cast<uint8_t>(i), 0});
  for (int i = 0; i < 256; ++i) file.push_back(static_cast<uint8_t>(i));
  std::vector<uint8_t> mask(32, 0);
  mask[0] = 0x80;  // pixel 0 transparent
  file.insert(file.end(), mask.begin(), mask.end());
  const uint32_t size = static_cast<uint32_t>(file.size() - 22);
  for (int i = 0; i < 4; ++i) file[14 + i] = static_cast<uint8_t>(size >> (8 * i));
  TDIBSurface s;
  EXPECT_EQ(Read(s, file, false, 0x4D4D4D).Key, 77);
  EXPECT_EQ(s.GetPixel(0, 0), 77u);
}

TEST(IconRead, OfSeveralImagesTheFirstIsTakenWithoutAsking) {
  // Two one-image files joined into one directory of two entries.
  TDIBSurface big, small;
  big.SetSize(4, 3, 24);
  big.SetPixel(0, 0, 0x0000FF);
  small.SetSize(2, 2, 24);
  const std::vector<uint8_t> a = Write(big, false, TPoint{}, false, nullptr, -1);
  const std::vector<uint8_t> b = Write(small, false, TPoint{}, false, nullptr, -1);
  std::vector<uint8_t> file = {0, 0, 1, 0, 2, 0};
  file.insert(file.end(), a.begin() + 6, a.begin() + 22);
  file.insert(file.end(), b.begin() + 6, b.begin() + 22);
  file[6 + 12] = 38;                                           // first image after both entries
  file[22 + 12] = static_cast<uint8_t>(38 + a.size() - 22);  // second after the first
  file.insert(file.end(), a.begin() + 22, a.end());
  file.insert(file.end(), b.begin() + 22, b.end());
  TDIBSurface s;
  Read(s, file, false);
  ASSERT_EQ(s.Width(), 4);
  EXPECT_EQ(s.GetPixel(0, 0), 0x0000FFu);
  TKsMemoryStream stream(file);
  TIconRead r;
  DecodeIconEntry(s, stream, 1, r.HotSpot, r.HasAlpha, true, r.Key);
  EXPECT_EQ(s.Width(), 2);
}

TEST(IconRead, HostileFilesEndInErrors) {
  std::vector<uint8_t> outside = TinyIcon(24, "01 02 03 04 05 06 00 00  00 00 00 00"), huge = outside;
  outside[18] = 0xF0;                   // an entry whose image lies outside the file
  huge[22 + 4] = 0, huge[22 + 6] = 1;  // a header claiming a 65536-pixel-wide picture in a small file
  const std::vector<std::vector<uint8_t>> cases = {
      outside, huge,
      FromHex("00 00 01 00"),                                               // short directory
      FromHex("00 00 01 00 00 00"),                                         // no images
      FromHex("00 00 07 00 01 00 " + std::string(16 * 3, '0')),             // no such type
      FromHex("00 00 01 00 ff ff"),                                         // entries beyond the file
      TinyIcon(32, "01 02 03 80"),                                          // rows cut short
      TinyIcon(7, "00 00 00 00 00 00 00 00"),                               // no such depth
      TinyIcon(8, "00 00 00 00"),                                           // table cut short
      TinyIcon(24, "00 00 00 00 00 00 00 00 00 00 00 00", 1),               // compressed
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    TDIBSurface s;
    EXPECT_THROW(Read(s, cases[i], false), EOrbaError) << i;
  }
}

TEST(IconRead, DamagedFilesLoadOrFailCleanly) {
  TDIBSurface source;
  source.SetSize(5, 4, 8);
  for (int32_t x = 0; x < 5; ++x) source.SetPixel(x, 1, static_cast<uint32_t>(x));
  const std::vector<uint8_t> good = Write(source, true, TPoint{1, 2}, false, nullptr, 0);
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bad = good;
    for (int k = 0; k < 2; ++k) bad[random() % 80] = static_cast<uint8_t>(random());
    if (round % 5 == 0) bad.resize(random() % bad.size());
    TDIBSurface s;
    try {
      Read(s, bad, round % 2 == 0);
    } catch (const EOrbaError&) {
    }
  }
}

TEST(IconRead, FilesOfOtherProgramsDecodeAsPillowDoes) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/ico_fixtures.py", {dir.path()}).exit_code, 0);
  std::ifstream manifest(dir / "manifest.txt");
  std::string name;
  int32_t hx = 0, hy = 0, files = 0;
  while (manifest >> name >> hx >> hy) {
    ++files;
    TDIBSurface s;
    const TIconRead r = Read(s, test::ReadFileBytes(dir / name), true);
    EXPECT_EQ(r.HotSpot, (TPoint{hx, hy})) << name;
    const TRgbaPicture ours = SurfaceToRgba(s, -1);
    const std::vector<uint8_t> ref = test::ReadFileBytes(dir / (name.substr(0, name.size() - 4) + ".rgba"));
    ASSERT_EQ(ref.size(), 8 + ours.Pixels.size()) << name;
    EXPECT_EQ(FirstDifference(ours.Pixels.data(), ref.data() + 8, ours.Pixels.size() / 4), -1) << name;
    // With a key colour instead, the transparent pixels carry the key (an
    // opaque pixel may share it when no palette index was free).
    TDIBSurface keyed;
    const TIconRead k = Read(keyed, test::ReadFileBytes(dir / name), false);
    const TRgbaPicture with_key = SurfaceToRgba(keyed, k.Key);
    for (size_t i = 0; i < ours.Pixels.size(); i += 4) {
      if (ours.Pixels[i + 3] == 0) {
        ASSERT_EQ(with_key.Pixels[i + 3], ours.Pixels[i + 3]) << name << " keyed pixel " << i / 4;
      }
    }
  }
  EXPECT_GE(files, 10);
  // The tool reads icons and cursors by extension alike.
  EXPECT_EQ(test::RunOrbaTool({"img", "decode", dir / "hand_8_cursor.cur", dir / "out.png"}).exit_code, 0);
}

// ---- the writer -------------------------------------------------------------------------

struct TWriteCase {
  int32_t Bits;
  bool Cursor;
  bool Write32;
  bool UseKey;
};

TEST(IconWrite, WrittenFilesListInIcotoolAndReadBackInPillowAndOurReader) {
  test::TempDir dir;
  const TWriteCase cases[] = {{1, false, false, true},  {4, false, false, true},  {8, true, false, true},
                              {24, false, false, false}, {24, true, true, false},  {16, false, false, true},
                              {32, false, true, false},  {8, false, true, false}};
  int n = 0;
  for (const TWriteCase& c : cases) {
    TDIBSurface s;
    if (c.Bits <= 8)
      for (int i = 0; i < 256; ++i)
        s.ColorTable[static_cast<size_t>(i)] =
            MakeQuad(static_cast<uint8_t>(i * 5 + 9), static_cast<uint8_t>(i * 11), static_cast<uint8_t>(i * 3 + 1));
    s.SetSize(20, 12, c.Bits);
    s.CommitTable();
    TDIBSurface alpha;
    alpha.SetSize(20, 12, 8);
    const uint32_t key = 1;
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 20; ++x) {
        const bool clear = (x * y) % 7 == 3;
        const uint32_t limit = c.Bits <= 8 ? (1u << c.Bits) : 0x10000u;
        uint32_t v = static_cast<uint32_t>(x * 37 + y * 101 + 2) % limit;
        if (v == key) v = 0;
        s.SetPixel(x, y, clear && c.UseKey ? key : v);
        alpha.SetPixel(x, y, clear ? 0 : c.Write32 ? static_cast<uint32_t>(40 + x * 10) : 255);
      }
    const TPoint hotspot{c.Cursor ? 7 : 0, c.Cursor ? 3 : 0};
    const std::vector<uint8_t> file = Write(s, c.Cursor, hotspot, c.Write32, c.UseKey ? nullptr : &alpha,
                                            c.UseKey ? int64_t{key} : int64_t{-1});
    const std::string path = dir / ("w" + std::to_string(n++) + (c.Cursor ? ".cur" : ".ico"));
    test::WriteFileBytes(path, file);

    const int32_t depth = c.Write32 ? 32 : c.Bits > 8 ? 24 : c.Bits;
    std::string expect = std::string(c.Cursor ? "--cursor" : "--icon") + " --index=1 --width=20 --height=12 --bit-depth=" +
                         std::to_string(depth);
    if (depth <= 8) expect += " --palette-size=" + std::to_string(1 << depth);
    else expect += " --palette-size=0";
    const auto listed = test::RunCommand({"icotool", "-l", path});
    if (!c.Cursor) {
      EXPECT_EQ(listed.output, expect + "\n") << path;
    } else {
      // icotool reads the depth of a cursor from its bitmap; the entry holds the hotspot.
      EXPECT_NE(listed.output.find("--hotspot-x=7 --hotspot-y=3"), std::string::npos) << listed.output;
    }

    TDIBSurface back;
    const TIconRead r = Read(back, file, true);
    if (c.Cursor) {
      EXPECT_EQ(r.HotSpot, hotspot);
    }
    ASSERT_EQ(back.Width(), 20);
    ASSERT_NE(back.Alpha(), nullptr) << path;
    const auto pillow = test::RunPython("fixtures/png_reference.py", {path, dir / "w.rgba"});
    ASSERT_EQ(pillow.exit_code, 0) << path;
    const std::vector<uint8_t> ref = test::ReadFileBytes(dir / "w.rgba");
    const TRgbaPicture ours = SurfaceToRgba(back, -1);
    TRgbaPicture expected = SurfaceToRgba(s, -1);
    for (int32_t i = 0; i < 20 * 12; ++i) expected.Pixels[4 * i + 3] = static_cast<uint8_t>(alpha.GetPixel(i % 20, i / 20));
    ASSERT_EQ(ref.size(), 8 + ours.Pixels.size());
    // 5-6-5 pixels travel through 24 bits: compare at their own precision.
    const int shift = c.Bits == 16 ? 3 : 0;
    EXPECT_EQ(FirstDifference(expected.Pixels.data(), ours.Pixels.data(), 20 * 12, shift), -1) << path;
    if (!c.Cursor) {
      EXPECT_EQ(FirstDifference(expected.Pixels.data(), ref.data() + 8, 20 * 12, shift), -1) << path;
    }
  }
}

TEST(IconWrite, ACursorCarriesItsHotspotInThePlanesAndBitCountFields) {
  TDIBSurface s;
  s.SetSize(4, 4, 24);
  const std::vector<uint8_t> file = Write(s, true, TPoint{2, 3}, false, nullptr, -1);
  EXPECT_EQ(test::ToHex({file.begin(), file.begin() + 14}), "00 00 02 00 01 00 04 04 00 00 02 00 03 00");
}

TEST(IconWrite, PicturesAbove256PixelsAreRefused) {
  TDIBSurface s;
  s.SetSize(257, 2, 24);
  EXPECT_THROW(Write(s, false, TPoint{}, false, nullptr, -1), EInvalidGraphicOperation);
}

TEST(IconFile, SurfaceLoadsByExtensionWithAKeyColour) {
  test::TempDir dir;
  TDIBSurface s;
  s.SetSize(3, 3, 24);
  s.SetPixel(1, 1, 0x00FF00);
  TKsMemoryStream stream;
  WriteIcon(s, stream, true, TPoint{1, 2}, false, nullptr, 0);
  stream.SaveToFile(dir / "p.CUR");
  TDIBSurface back;
  const auto loaded = back.LoadFromFileEx(dir / "p.CUR", false, false);
  EXPECT_EQ(loaded.HotSpot, (TPoint{1, 2}));
  EXPECT_EQ(loaded.TransparentColor, 0xFF00FF);  // magenta as a 24-bit pixel
  EXPECT_EQ(test::RowOf(back, 1), (TRow{0xFF00FF, 0x00FF00, 0xFF00FF}));
  EXPECT_EQ(back.Alpha(), nullptr);
}

}  // namespace
}  // namespace orba
