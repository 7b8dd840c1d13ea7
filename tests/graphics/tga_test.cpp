// TGA files: hand-worked images of every form, hostile and damaged files,
// the writer's bytes, our files read back by Pillow and our reader, and
// files of other programs against the reference decode.
#include "graphics/tga_file.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "core/errors.h"
#include "graphics/icon_file.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using TRow = std::vector<uint32_t>;

int64_t Read(TDIBSurface& s, const std::vector<uint8_t>& bytes, TTgaInfo* info_out = nullptr, bool split_alpha = false) {
  TKsMemoryStream stream(bytes);
  TTgaInfo info;
  const int64_t key = ReadTGA(s, stream, info, split_alpha);
  if (info_out != nullptr) *info_out = info;
  return key;
}

std::vector<uint8_t> Write(TDIBSurface& s, int64_t key, bool rle, TDIBSurface* alpha = nullptr) {
  TKsMemoryStream stream;
  WriteTGA(s, stream, key, rle, alpha);
  return stream.TakeBytes();
}

// An 18-byte header of an image without colour map.
std::string Head(int type, int w, int h, int depth, int desc) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "00 00 %02x 00 00 00 00 00 00 00 00 00 %02x %02x %02x %02x %02x %02x", type, w & 255,
                w >> 8, h & 255, h >> 8, depth, desc);
  return buf;
}

// TGA 2.0 footer with an extension area at `ext` (0 none).
std::string Footer(uint32_t ext) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02x %02x %02x %02x 00 00 00 00", ext & 255, (ext >> 8) & 255, (ext >> 16) & 255, ext >> 24);
  return std::string(buf) + " 54 52 55 45 56 49 53 49 4f 4e 2d 58 46 49 4c 45 2e 00";
}

// An extension area holding the key colour bytes.
std::vector<uint8_t> ExtensionArea(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> area(495, 0);
  area[0] = 0xEF, area[1] = 0x01;  // the area's size, 495
  area[471] = r, area[472] = g, area[473] = b;
  return area;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  test::Append(a, b);
  return a;
}

TEST(TgaRead, HandWorkedImagesOfEveryForm) {
  // 300 colour-map entries of 3 bytes from index 0; pixel index 1.
  std::vector<uint8_t> map(900, 0);
  map[3] = 10, map[4] = 20, map[5] = 30;
  const std::vector<uint8_t> mapped = Cat(Cat(FromHex("00 01 01 00 00 2c 01 18 00 00 00 00 01 00 01 00 08 20"), map), {1});
  struct TCase {
    const char* what;
    std::vector<uint8_t> file;
    bool split_alpha, run_length;
    int32_t bits;
    TRow pixels, alpha;  // alpha empty: not split
  };
  const TCase cases[] = {
      {"bottom-up 24 bits: the first file row at the bottom", FromHex(Head(2, 1, 2, 24, 0) + "01 02 03  04 05 06"), false, false, 24,
       {0x060504, 0x030201}, {}},
      {"right to left, top down: mirrored, not flipped", FromHex(Head(3, 2, 2, 8, 0x30) + "01 02 03 04"), false, false, 8, {2, 1, 4, 3}, {}},
      // 16 bits load as 5-6-5 with the green low bit set only when uncompressed: green field 1 is 3, or 2.
      {"16 bits", FromHex(Head(2, 1, 1, 16, 0x20) + "20 00"), false, false, 16, {3 << 5}, {}},
      {"16 bits run-length", FromHex(Head(10, 1, 1, 16, 0x20) + "80 20 00"), false, true, 16, {2 << 5}, {}},
      {"15 bits as 5-5-5 without the attribute bit", FromHex(Head(2, 2, 1, 15, 0x20) + "ff ff 21 04"), false, false, 15,
       {0x7FFF, 0x0421}, {}},
      {"a colour map of more than 256 entries keeps the pixels in place", mapped, false, false, 8, {1}, {}},
      {"split alpha keeps the fourth byte as opacity", FromHex(Head(2, 2, 1, 32, 0x28) + "01 02 03 ff  04 05 06 00"), true, false, 24,
       {0x030201, 0x060504}, {255, 0}},
  };
  for (const TCase& c : cases) {
    TDIBSurface s;
    TTgaInfo info;
    Read(s, c.file, &info, c.split_alpha);
    EXPECT_EQ(std::tuple(info.RunLength, info.AlphaSplit, s.GetBitCount(), test::PixelsOf(s)),
              std::tuple(c.run_length, c.split_alpha, c.bits, c.pixels))
        << c.what;
    ASSERT_EQ(s.Alpha() != nullptr, !c.alpha.empty()) << c.what;
    if (!c.alpha.empty()) {
      EXPECT_EQ(test::RowOf(*s.Alpha(), 0), c.alpha) << c.what;
    }
  }
  TDIBSurface s;
  Read(s, FromHex(Head(3, 1, 1, 8, 0) + "00"));
  EXPECT_EQ(s.ImageTable()[200], MakeQuad(200, 200, 200));  // grey images get a grey ramp
  Read(s, mapped);
  EXPECT_EQ(s.ImageTable()[1], MakeQuad(30, 20, 10));
  // Other image types load nothing.
  s.SetSize(2, 2, 24);
  s.Clear();
  EXPECT_EQ(Read(s, FromHex(Head(32, 1, 1, 24, 0) + "00 00 00")), -1);
  EXPECT_TRUE(s.Empty());
}

TEST(TgaRead, ExtensionAreaGivesTheKeyAndTrailingZerosDoNotHideTheFooter) {
  const std::vector<uint8_t> image = FromHex(Head(2, 1, 1, 24, 0x20) + "ff 00 00");
  TDIBSurface s;
  // Key bytes (0, 0, 255) on a 24-bit image: blue.
  EXPECT_EQ(Read(s, Cat(Cat(image, ExtensionArea(0, 0, 255)), FromHex(Footer(21) + "00 00 00 00"))), 0x0000FF);
  EXPECT_EQ(s.GetPixel(0, 0), 0x0000FFu);
  // A zero key field still gives a key, black; without an extension area there is no key.
  EXPECT_EQ(Read(s, Cat(Cat(image, ExtensionArea(0, 0, 0)), FromHex(Footer(21)))), 0);
  EXPECT_EQ(Read(s, Cat(image, FromHex(Footer(0)))), -1);
  EXPECT_EQ(Read(s, image), -1);
}

TEST(TgaRead, HostileFilesEndInErrorsAndDamagedFilesLoadOrFailCleanly) {
  const std::vector<std::string> cases = {
      "00 00 02",                                                  // short header
      Head(2, 4000, 4000, 24, 0) + "00 00 00",                     // size beyond the data
      Head(10, 65535, 65535, 32, 0) + "ff 00 00 00 00",            // run-length count beyond any data
      Head(10, 4, 1, 24, 0) + "83 01 02",                          // run packet cut short
      Head(10, 4, 1, 24, 0) + "02 01 02 03",                       // raw packet cut short
      Head(2, 1, 1, 7, 0) + "00",                                  // no such depth
      Head(1, 1, 1, 8, 0) + "00",                                  // colour-mapped without a map
      "00 01 01 00 00 ff ff 18 00 00 00 00 01 00 01 00 08 20 00",  // map longer than the file
      "ff 00 02 00 00 00 00 00 00 00 00 00 01 00 01 00 18 20 00",  // ID past the end
      Head(2, 1, 1, 24, 0) + "00 00 00" + Footer(0x7FFFFFF0),      // extension area outside
  };
  for (const std::string& hex : cases) {
    TDIBSurface s;
    EXPECT_THROW(Read(s, FromHex(hex)), EOrbaError) << hex;
  }
  TDIBSurface source;
  source.SetSize(9, 5, 24);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 9; ++x) source.SetPixel(x, y, static_cast<uint32_t>((x / 3) * 0x404040 + y));
  const std::vector<uint8_t> good = Write(source, 0x010203, true);
  test::LoadDamagedCopies(good, 7, 3, good.size(), 4, [](const std::vector<uint8_t>& bad, int) {
    TDIBSurface s;
    Read(s, bad);
  });
}

// ---- the writer -----------------------------------------------------------------------

TEST(TgaWrite, RunPacketsHeaderAndFooterFollowTheFormat) {
  // A run of 300 equal pixels is three run packets.
  TDIBSurface s;
  s.SetSize(300, 1, 8);
  std::vector<uint8_t> file = Write(s, -1, true);
  const size_t pixels = 18 + 256 * 3;
  ASSERT_EQ(file.size(), pixels + 6 + 26);
  EXPECT_EQ(test::ToHex({file.begin() + pixels, file.begin() + pixels + 6}), "ff 00 ff 00 ab 00");
  s.SetSize(2, 1, 16);
  s.SetPixel(0, 0, 0xFFFF);
  file = Write(s, 0x001F, false);
  EXPECT_EQ(test::ToHex({file.begin(), file.begin() + 22}), "00 00 02 00 00 00 00 00 00 00 00 00 02 00 01 00 10 20 ff 7f 00 00");
  // Extension area right after the pixels, key channels of 5-6-5 blue 31.
  ASSERT_EQ(file.size(), 22u + 495 + 26);
  EXPECT_EQ((std::array<int, 3>{file[22], file[22 + 473], file[22 + 495]}), (std::array<int, 3>{0xEF, 31, 22}));
  EXPECT_EQ(std::string(file.end() - 18, file.end() - 1), "TRUEVISION-XFILE.");
  TDIBSurface back;
  EXPECT_EQ(Read(back, file), 0x001F);
}

// Pillow decodes what we write; our reader gives back the same pixels.
TEST(TgaWrite, WrittenFilesReadBackInPillowAndOurReader) {
  test::TempDir dir;
  struct Case {
    int32_t bits;
    bool rle, alpha;
  };
  const Case cases[] = {{1, false, false}, {4, true, false}, {8, false, false},  {8, true, false},
                        {16, false, false}, {16, true, false}, {24, false, false}, {24, true, false},
                        {32, false, true},  {24, true, true},  {32, true, false}};
  for (const Case& c : cases) {
    TDIBSurface s, alpha, back;
    for (int i = 0; i < 256 && c.bits <= 8; ++i)
      s.ColorTable[static_cast<size_t>(i)] = MakeQuad(uint8_t(i * 7), uint8_t(i * 13), uint8_t(255 - i));
    s.SetSize(11, 6, c.bits);
    s.CommitTable();
    alpha.SetSize(11, 6, 8);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 11; ++x) {
        const uint32_t v = static_cast<uint32_t>(x < 5 ? 0x123456 : x * 0x1F3A7 + y * 0x31);
        s.SetPixel(x, y, c.bits <= 8 ? v % (1u << c.bits) : v & (c.bits == 16 ? 0xFFFF : 0xFFFFFF));
        alpha.SetPixel(x, y, static_cast<uint32_t>(x * 23 + y));
      }
    if (c.alpha) s.AssignAlpha(alpha);
    const std::vector<uint8_t> file = Write(s, -1, c.rle, c.alpha ? &alpha : nullptr);
    const TRgbaPicture pillow = test::PillowDecode(dir.path(), "w.tga", file), ours = SurfaceToRgba(s, -1);
    ASSERT_EQ(pillow.Pixels.size(), ours.Pixels.size()) << c.bits;
    // 5-6-5 is written as 5-5-5: green agrees in its five high bits.
    for (size_t i = 0, shift = c.bits == 16 ? 3 : 0; i < ours.Pixels.size(); ++i)
      ASSERT_EQ(pillow.Pixels[i] >> shift, ours.Pixels[i] >> shift) << c.bits << " byte " << i;
    Read(back, file, nullptr, c.alpha);
    ASSERT_EQ(back.GetBitCount(), c.bits <= 8 ? 8 : c.alpha ? 24 : c.bits);
    // 5-6-5 loses its lowest green bit; 32 bits come back as 24.
    const uint32_t kept = c.bits == 16 ? ~0x20u : 0xFFFFFFu;
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 11; ++x) EXPECT_EQ(back.GetPixel(x, y) & kept, s.GetPixel(x, y) & kept);
    if (c.alpha) {
      EXPECT_EQ(test::PixelsOf(*back.Alpha()), test::PixelsOf(alpha));
    }
  }
}

TEST(TgaRead, FilesOfOtherProgramsDecodeAsTheReferenceDoes) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/tga_fixtures.py", {dir.path()}).exit_code, 0);
  std::ifstream manifest(dir / "manifest.txt");
  std::string name;
  int bits = 0, files = 0;
  while (manifest >> name >> bits) {
    ++files;
    TDIBSurface s;
    Read(s, test::ReadFileBytes(dir / (name + ".tga")), nullptr, true);
    const TRgbaPicture ours = SurfaceToRgba(s, -1);
    const std::vector<uint8_t> ref = test::ReadFileBytes(dir / (name + ".rgba"));
    ASSERT_EQ(ref.size(), 8 + ours.Pixels.size()) << name;
    for (size_t i = 0; i < ours.Pixels.size(); ++i)
      ASSERT_EQ(ref[8 + i] >> (8 - bits), ours.Pixels[i] >> (8 - bits)) << name << " byte " << i;
  }
  EXPECT_GE(files, 64);
  // The tool reads by extension alike.
  EXPECT_EQ(test::RunOrbaTool({"img", "decode", dir / "im_rgba_rle.tga", dir / "out.pam"}).exit_code, 0);
}

TEST(TgaFile, SurfaceLoadsAndSavesByExtension) {
  test::TempDir dir;
  TDIBSurface s, back;
  s.SetSize(3, 2, 24);
  s.SetPixel(2, 1, 0xABCDEF);
  s.SaveToFile(dir / "p.TGA");
  EXPECT_EQ(test::ReadFileBytes(dir / "p.TGA").at(2), 2);
  back.LoadFromFile(dir / "p.TGA");
  EXPECT_EQ(back.GetPixel(2, 1), 0xABCDEFu);
}

}  // namespace
}  // namespace orba
