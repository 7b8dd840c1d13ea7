// PNG: hand-built files of every form, header errors, hostile sizes and
// truncations, our writer's files read back by Pillow and our reader, and
// the PngSuite-like fixtures against the reference decode.
#include "graphics/png_codec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <map>
#include <tuple>
#include <utility>

#include "core/errors.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::Append;
using test::Idat;
using test::Ihdr;
using test::PngChunk;
using TRow = std::vector<uint32_t>;

std::vector<uint8_t> Png(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> out = test::PngSignature();
  for (const auto& c : chunks) Append(out, c);
  Append(out, PngChunk("IEND", {}));
  return out;
}

void Load(TZelPNG& png, const std::vector<uint8_t>& bytes) {
  TKsMemoryStream s(bytes);
  png.LoadFromStream(s);
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
  TZelPNG png;
  return test::ErrorOf<EZelPNG>([&] { Load(png, bytes); });
}

TEST(PngCodec, HandBuiltFilesOfEveryForm) {
  const auto plte = PngChunk("PLTE", std::vector<uint8_t>(9, 50));
  struct TCase {
    const char* what;
    std::vector<uint8_t> file;
    int32_t bits;
    TRow pixels;
    int32_t key;
    TRow alpha;  // the stored (inverted) plane; empty: none loaded
  };
  const TCase cases[] = {
      {"colour type 8 is read as grey", Png({Ihdr(2, 1, 8, 8), Idat({0, 10, 200})}), 8, {10, 200}, -1, {}},
      // Pixels 0 1 2 3 0: bytes 00 01 10 11 | 00 ...
      {"a 2-bit palette becomes 4-bit indexes", Png({Ihdr(5, 1, 2, 3), PngChunk("PLTE", std::vector<uint8_t>(12, 7)), Idat({0, 0x1B, 0x00})}),
       4, {0, 1, 2, 3, 0}, -1, {}},
      {"one clear palette entry keys", Png({Ihdr(3, 1, 8, 3), plte, PngChunk("tRNS", {255, 0, 255}), Idat({0, 0, 1, 2})}), 8, {0, 1, 2},
       0x1000001, {}},
      // Stored inverted (0 opaque); entries past the table are opaque.
      {"partial palette transparency", Png({Ihdr(3, 1, 8, 3), plte, PngChunk("tRNS", {255, 128}), Idat({0, 0, 1, 2})}), 8, {0, 1, 2}, -1,
       {0, 127, 0}},
      {"grey and alpha", Png({Ihdr(2, 1, 8, 4), Idat({0, 9, 255, 9, 0})}), 8, {9, 9}, -1, {0, 255}},
      // A tRNS after the image data is ignored.
      {"late transparency", Png({Ihdr(1, 1, 8, 0), Idat({0, 5}), PngChunk("tRNS", {0, 5})}), 8, {5}, -1, {}},
  };
  for (const TCase& c : cases) {
    TZelPNG png;
    Load(png, c.file);
    EXPECT_EQ(std::tuple(png.Image.BitCount(), test::PixelsOf(png.Image), png.TransparentColor, png.AlphaLoaded),
              std::tuple(c.bits, c.pixels, c.key, !c.alpha.empty()))
        << c.what;
    if (!c.alpha.empty()) {
      EXPECT_EQ(test::RowOf(png.Alpha(), 0), c.alpha) << c.what;
    }
  }
  TZelPNG grey, comments, mac;
  Load(grey, cases[0].file);
  EXPECT_EQ(std::pair(grey.Grey, grey.Image.ImageTable()[200]), std::pair(true, MakeQuad(200, 200, 200)));
  // Low-depth grey transparency keys its grey.
  for (auto [depth, sample, key] : {std::tuple<uint8_t, uint8_t, int32_t>{1, 1, 0xFFFFFF}, {2, 1, 0x555555}, {4, 3, 0x333333}, {8, 77, 0x4D4D4D}}) {
    TZelPNG png;
    Load(png, Png({Ihdr(1, 1, depth, 0), PngChunk("tRNS", {0, sample}), Idat({0, 0})}));
    EXPECT_EQ(png.TransparentColor, key) << int(depth);
  }
  Load(comments, Png({Ihdr(1, 1, 8, 0), PngChunk("tEXt", test::Bytes(std::string("Comment\0one", 11))),
                      PngChunk("tEXt", test::Bytes(std::string("Comment\0two", 11))), Idat({0, 5})}));
  EXPECT_EQ(comments.Comment, "one\r\ntwo\r\n");
  // A MacBinary header is skipped.
  std::vector<uint8_t> bytes(128, 1);
  bytes[0] = bytes[74] = 0;
  Append(bytes, Png({Ihdr(1, 1, 8, 0), Idat({0, 42})}));
  Load(mac, bytes);
  EXPECT_EQ(mac.Image.GetPixel(0, 0), 42u);
}

TEST(PngCodec, HeaderErrorsNameTheirCauseAndHostileSizesAreRefusedBeforeAllocating) {
  const auto idat = Idat({0, 0});
  EXPECT_EQ(LoadError(test::Bytes("GIF89a..")), "PNG LoadStream: Not PNG Format");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 8, 0), Ihdr(1, 1, 8, 0), idat})), "Read Header(PNG): appear two IHDR");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 8, 5), idat})), "Read Header(PNG): Error ColorType");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 3, 0), idat})), "Read Header(PNG): Error Bitdepth");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 4, 4), idat})), "Read Header(PNG): not Use AlphaChannel");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 4, 2), idat})), "Read Header(PNG): Error BitDepth");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 8, 0, 2), idat})), "Read Header(PNG): not interlace type");
  EXPECT_EQ(LoadError(Png({Ihdr(1, 1, 8, 0), Idat({5, 0})})), "Read Image (PNG): Read Error");
  const long before = test::PeakRssKiB();
  // A picture past the pixel limit names its size and the limit; a side of
  // 0 is damage, said as damage is.
  const struct {
    uint32_t w, h;
    const char* error;
  } sizes[] = {
      {8193, 8192, "Read Image (PNG): 8193 x 8192 pixels, more than 8192 x 8192"},
      {8192, 8193, "Read Image (PNG): 8192 x 8193 pixels, more than 8192 x 8192"},
      {100000, 100000, "Read Image (PNG): 100000 x 100000 pixels, more than 8192 x 8192"},
      {0x7FFFFFFF, 0x7FFFFFFF, "Read Image (PNG): 2147483647 x 2147483647 pixels, more than 8192 x 8192"},
      {0xFFFFFFFF, 1, "Read Image (PNG): 4294967295 x 1 pixels, more than 8192 x 8192"},
      {0, 5, "Read Image (PNG): Read Error"},
  };
  for (const auto& c : sizes) EXPECT_EQ(LoadError(Png({Ihdr(c.w, c.h, 8, 6), Idat({0})})), c.error) << c.w << " x " << c.h;
  // A chunk length of 2^31 or more is an error.
  std::vector<uint8_t> bad = Png({Ihdr(1, 1, 8, 0)});
  bad.resize(bad.size() - 12);
  Append(bad, {0x80, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0});
  EXPECT_EQ(LoadError(bad), "Read Image (PNG): Read Error");
  EXPECT_LT(test::PeakRssKiB() - before, 256 * 1024);
  TZelPNG png;
  EXPECT_THROW(png.SetDataChunkSize(255), EZelPNG);
  EXPECT_THROW(png.SetDataChunkSize(100001), EZelPNG);
  png.SetDataChunkSize(100000);
  EXPECT_EQ(png.DataChunkSize(), 100000);
}

// ---- image data inflated in one call, and row by row -----------------------------------

// Random filtered rows (random filter bytes 0 to 4, random samples: any
// bytes are valid filtered data) for a Width x Height picture of Bpp bytes
// per pixel, every Adam7 pass when interlaced; packed with zlib. `extra`
// bytes more than the image needs are packed after them.
std::vector<uint8_t> RandomImageData(int32_t width, int32_t height, int bpp, bool interlaced, size_t extra,
                                     uint32_t seed) {
  static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  std::vector<uint8_t> rows;
  uint32_t r = seed;
  auto next = [&r] { return static_cast<uint8_t>((r = r * 1103515245u + 12345u) >> 16); };
  for (int p = 0; p < (interlaced ? 7 : 1); ++p) {
    const int x0 = interlaced ? kPasses[p][0] : 0, y0 = interlaced ? kPasses[p][1] : 0;
    const int dx = interlaced ? kPasses[p][2] : 1, dy = interlaced ? kPasses[p][3] : 1;
    if (x0 >= width || y0 >= height) continue;
    const int32_t pw = (width - x0 + dx - 1) / dx;
    for (int32_t y = y0; y < height; y += dy) {
      rows.push_back(static_cast<uint8_t>(next() % 5));
      for (int32_t i = 0; i < pw * bpp; ++i) rows.push_back(next());
    }
  }
  for (size_t i = 0; i < extra; ++i) rows.push_back(next());
  uLongf n = compressBound(static_cast<uLong>(rows.size()));
  std::vector<uint8_t> z(n);
  compress(z.data(), &n, rows.data(), static_cast<uLong>(rows.size()));
  z.resize(n);
  return z;
}

// PNG chunks holding packed image data: one IDAT, or IDATs of `piece` bytes.
std::vector<std::vector<uint8_t>> IdatChunks(const std::vector<uint8_t>& packed, size_t piece) {
  std::vector<std::vector<uint8_t>> chunks;
  for (size_t at = 0; at < packed.size(); at += piece)
    chunks.push_back(PngChunk("IDAT", std::vector<uint8_t>(packed.begin() + static_cast<std::ptrdiff_t>(at),
                                                           packed.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, packed.size())))));
  return chunks;
}

std::vector<uint8_t> PngOf(const std::vector<uint8_t>& ihdr, const std::vector<std::vector<uint8_t>>& idats) {
  std::vector<std::vector<uint8_t>> chunks{ihdr};
  chunks.insert(chunks.end(), idats.begin(), idats.end());
  return Png(chunks);
}

struct TDataForm {
  const char* what;
  uint8_t depth, color;
  int bpp;
};
const TDataForm kDataForms[] = {
    {"RGB", 8, 2, 3}, {"RGBA", 8, 6, 4}, {"grey", 8, 0, 1}, {"grey and alpha", 8, 4, 2}, {"RGBA 16", 16, 6, 8}};

// The whole-buffer inflate is taken for sound data in one IDAT or in many;
// data with more bytes than the image needs go row by row through zlib.
// All three give the same picture and alpha plane, for every filter.
TEST(PngCodec, WholeAndRowByRowInflateGiveTheSamePixels) {
  for (const TDataForm& f : kDataForms)
    for (bool interlaced : {false, true}) {
      const int32_t w = 37, h = 23;
      const auto ihdr = Ihdr(w, h, f.depth, f.color, interlaced ? 1 : 0);
      const auto packed = RandomImageData(w, h, f.bpp, interlaced, 0, 7);
      const auto longer = RandomImageData(w, h, f.bpp, interlaced, 64, 7);
      TZelPNG one, many, rows;
      Load(one, PngOf(ihdr, IdatChunks(packed, packed.size())));
      Load(many, PngOf(ihdr, IdatChunks(packed, 7)));
      Load(rows, PngOf(ihdr, IdatChunks(longer, 100)));
      const std::string what = std::string(f.what) + (interlaced ? " interlaced" : "");
      EXPECT_EQ(test::PixelsOf(one.Image), test::PixelsOf(rows.Image)) << what;
      EXPECT_EQ(test::PixelsOf(many.Image), test::PixelsOf(rows.Image)) << what;
      ASSERT_EQ(one.AlphaLoaded, f.color >= 4) << what;
      if (one.AlphaLoaded) {
        EXPECT_EQ(test::PixelsOf(one.Alpha()), test::PixelsOf(rows.Alpha())) << what;
        EXPECT_EQ(test::PixelsOf(many.Alpha()), test::PixelsOf(rows.Alpha())) << what;
      }
    }
}

// Image data that end early keep the rows decoded before the end, without
// an error; the rows after keep the picture's initial content (zero). A
// wrong Adler-32 after complete rows is a read error, as zlib's row-by-row
// inflate reports it.
TEST(PngCodec, ImageDataCutShortKeepTheRowsDecodedBefore) {
  for (const TDataForm& f : kDataForms) {
    const int32_t w = 64, h = 48;
    const auto ihdr = Ihdr(w, h, f.depth, f.color);
    const auto packed = RandomImageData(w, h, f.bpp, false, 0, 11);
    TZelPNG whole, cut, cut_chunk;
    Load(whole, PngOf(ihdr, IdatChunks(packed, packed.size())));
    // The stream ends halfway: as the last IDAT of a file that ends there,
    // and as an IDAT whose stated length runs past the end of the file.
    const std::vector<uint8_t> half(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
    std::vector<uint8_t> file = PngOf(ihdr, IdatChunks(half, half.size()));
    file.resize(file.size() - 12);  // no IEND
    Load(cut, file);
    file = PngOf(ihdr, IdatChunks(packed, packed.size()));
    file.resize(file.size() - 12 - 4 - (packed.size() - packed.size() / 2));  // no IEND, no CRC, half the data
    Load(cut_chunk, file);
    // A chunk other than IDAT while rows remain is a read error.
    EXPECT_EQ(LoadError(PngOf(ihdr, IdatChunks(half, half.size()))), "Read Image (PNG): Read Error") << f.what;
    for (TZelPNG* png : {&cut, &cut_chunk}) {
      EXPECT_EQ(test::RowOf(png->Image, 0), test::RowOf(whole.Image, 0)) << f.what;
      EXPECT_EQ(test::RowOf(png->Image, h / 4), test::RowOf(whole.Image, h / 4)) << f.what;
      EXPECT_EQ(test::RowOf(png->Image, h - 1), std::vector<uint32_t>(w, 0)) << f.what;
    }
    std::vector<uint8_t> bad_check = packed;
    bad_check.back() ^= 1;
    EXPECT_EQ(LoadError(PngOf(ihdr, IdatChunks(bad_check, bad_check.size()))), "Read Image (PNG): Read Error") << f.what;
  }
}

// Our writer's files read back identically with our reader and with Pillow.
struct WriteCase {
  int32_t bits;
  bool grey, alpha;
  uint8_t interlace, filter;
};

class PngWriteRoundTrip : public ::testing::TestWithParam<WriteCase> {};

TEST_P(PngWriteRoundTrip, ReadsBack) {
  const WriteCase c = GetParam();
  TZelPNG png;
  png.Image.RequestedLayout = c.bits == 16 ? Layout565() : Layout888();
  if (c.bits <= 8) png.Image.ColorTable = c.grey ? GreyTableForDepth(c.bits) : TColorTable{};
  for (int i = 0; i < 256 && !c.grey; ++i) png.Image.ColorTable[i] = MakeQuad(uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3));
  png.Image.SetSize(13, 9, c.bits);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 13; ++x)
      png.Image.SetPixel(x, y, static_cast<uint32_t>((x * 2654435761u) ^ (y * 40503u)) >> (c.bits <= 8 ? 8 - c.bits + 24 : 0));
  if (c.alpha) {
    png.Alpha().ColorTable = GreyRamp();
    png.Alpha().SetSize(13, 9, 8);
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 13; ++x) png.Alpha().SetPixel(x, y, static_cast<uint32_t>(x * 19 + y * 5) & 0xFF);
    png.AlphaLoaded = true;
  }
  png.Grey = c.grey;
  png.Interlace = c.interlace;
  png.RowFilterChoice = c.filter;
  png.SetDataChunkSize(256);
  EXPECT_EQ(png.DataChunkSize(), 256);
  TKsMemoryStream out;
  png.SaveToStream(out);
  TDIB source;
  source.Assign(&png.Image);
  const TRgbaPicture expected = DibToRgba(source, c.alpha && (!c.grey || c.bits >= 8) ? &png.Alpha() : nullptr, -1);
  test::TempDir dir;
  const TRgbaPicture pillow = test::PillowDecode(dir.path(), "w.png", out.Bytes());
  const TRgbaPicture ours = test::DecodeFile(dir / "w.png");
  EXPECT_EQ(test::ComparePictures(ours, pillow), "");
  // Colour files keep every pixel (5-6-5 ones as their widened channels); grey files of
  // deeper pictures hold the weighted grey, checked against Pillow only.
  if (!c.grey || c.bits <= 8) {
    EXPECT_EQ(test::ComparePictures(ours, expected), "");
  }
}

std::vector<WriteCase> WriteCases() {
  std::vector<WriteCase> cases;
  for (int32_t bits : {1, 4, 8, 16, 24, 32})
    for (bool grey : {false, true})
      for (uint8_t interlace : {0, 1}) cases.push_back({bits, grey, bits >= 24 || (grey && bits == 8), interlace, 0});
  for (uint8_t f = 1; f <= 6; ++f) cases.push_back({24, false, true, 0, f});
  cases.push_back({4, false, false, 1, 4});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(All, PngWriteRoundTrip, ::testing::ValuesIn(WriteCases()),
    [](const auto& info) { return std::to_string(info.param.bits) + "Bits" + (info.param.grey ? "Grey" : "Colour") + (info.param.interlace != 0 ? "Interlaced" : "") + std::to_string(info.index); });

TEST(PngCodec, WriterChunksInOrder) {
  TZelPNG png;
  png.Image.SetSize(2, 2, 8);
  png.Comment = "hi";
  png.BkgdColor = 0x1000003;
  png.SetKeyColor(0x1000002);
  png.PhysX = png.PhysY = 254;
  png.PhysUnit = 2;
  png.StampCurrentTime = false;  // the stored time is written
  png.Time = TPngTime{2001, 2, 3, 4, 5, 6};
  TKsMemoryStream out;
  png.SaveToStream(out);
  // 254 dpi is 10000 per metre.
  const std::map<std::string, std::string> contents = {{"tRNS", "ff ff 00"},
                                                       {"pHYs", "00 00 27 10 00 00 27 10 01"},
                                                       {"tIME", "07 d1 02 03 04 05 06"},
                                                       {"ksNG", "5a 65 6c 33 00 00 00 00"}};
  std::vector<std::string> types;
  const auto& b = out.Bytes();
  for (size_t p = 8; p + 8 <= b.size();) {
    const uint32_t len = (uint32_t{b[p]} << 24) | (b[p + 1] << 16) | (b[p + 2] << 8) | b[p + 3];
    types.emplace_back(reinterpret_cast<const char*>(&b[p + 4]), 4);
    const std::vector<uint8_t> data(b.begin() + static_cast<long>(p) + 8, b.begin() + static_cast<long>(p + 8 + len));
    if (auto it = contents.find(types.back()); it != contents.end()) {
      EXPECT_EQ(test::ToHex(data), it->second) << it->first;
    }
    p += 12 + len;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "tIME", "tEXt", "tEXt", "ksNG", "gAMA", "PLTE", "bKGD", "tRNS", "pHYs", "IDAT", "IEND"}));
}

TEST(PngCodec, AlphaTargetAssignAndResize) {
  TDIB outside;
  TZelPNG png, a, b;
  png.UseAlphaTarget(&outside);
  Load(png, Png({Ihdr(1, 1, 8, 6), Idat({0, 1, 2, 3, 200})}));
  EXPECT_EQ(std::tuple(outside.BitCount(), outside.GetPixel(0, 0), png.Alpha().SharesImageWith(outside)), std::tuple(8, 55u, true));
  png.UseAlphaTarget(nullptr);
  EXPECT_TRUE(png.Alpha().Empty());
  Load(a, Png({Ihdr(3, 2, 8, 4), PngChunk("tEXt", test::Bytes(std::string("Comment\0c", 9))), Idat({0, 1, 2, 3, 4, 5, 6, 0, 1, 2, 3, 4, 5, 6})}));
  b.Assign(a);
  EXPECT_EQ(std::tuple(b.Image.SharesImageWith(a.Image), b.Alpha().SharesImageWith(a.Alpha()), b.Comment, b.Grey),
            std::tuple(true, true, std::string("c\r\n"), true));
  b.SetWidth(5);
  // The alpha plane follows; the source keeps its size.
  EXPECT_EQ((std::array{b.Image.Width(), b.Alpha().Width(), b.Alpha().Height(), a.Image.Width()}), (std::array{5, 5, 2, 3}));
}

TEST(ImgTool, DecodesToPamAndPng) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "in.png", Png({Ihdr(2, 1, 8, 3), PngChunk("PLTE", {10, 20, 30, 40, 50, 60}), PngChunk("tRNS", {0}), Idat({0, 0, 1})}));
  ASSERT_EQ(test::RunOrbaTool({"img", "decode", dir / "in.png", dir / "out.pam"}).exit_code, 0);
  const auto pam = test::ReadFileBytes(dir / "out.pam");
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(pam.end() - 8, pam.end())), "0a 14 1e 00 28 32 3c ff");
  ASSERT_EQ(test::RunOrbaTool({"img", "decode", dir / "in.png", dir / "out.png"}).exit_code, 0);
  ASSERT_EQ(test::RunPython("fixtures/png_reference.py", {dir / "out.png", dir / "out.rgba"}).exit_code, 0);
  EXPECT_EQ(test::ToHex(test::ReadReferenceRgba(dir / "out.rgba").Pixels), "0a 14 1e 00 28 32 3c ff");
  EXPECT_NE(test::RunOrbaTool({"img", "decode", dir / "missing.png", dir / "x.pam"}).exit_code, 0);
  EXPECT_NE(test::RunOrbaTool({"img", "decode", dir / "in.png", dir / "x.gif"}).exit_code, 0);
}

// ---- the PngSuite-like fixtures ------------------------------------------------------

TEST(PngConformance, SuiteDecodesLikeTheReferenceAndEveryCutOfSmallFilesIsSafe) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/png_suite.py", {dir.path()}).exit_code, 0);
  const auto entries = test::ReadFixtureIndex(dir.path());
  ASSERT_GT(entries.size(), 150u);
  int failed = 0, cut = 0;
  for (const auto& e : entries) {
    const std::string path = dir / (e.name + ".png");
    std::string problem;
    try {
      const TRgbaPicture ours = test::DecodeFile(path);
      problem = e.kind == "corrupt" ? "a corrupt file was accepted" : test::ComparePictures(ours, test::ReadReferenceRgba(dir / (e.name + ".rgba")));
    } catch (const EOrbaError& err) {
      if (e.kind != "corrupt") problem = std::string("refused: ") + err.what();
    }
    if (!problem.empty()) {
      ++failed;
      ADD_FAILURE() << e.name << ": " << problem;
    }
    const auto bytes = test::ReadFileBytes(path);
    if (bytes.size() > 400) continue;
    ++cut;
    test::ExpectEveryCutSafe(bytes, e);
  }
  std::printf("%zu decoded like the reference, %d not\n", entries.size() - static_cast<size_t>(failed), failed);
  EXPECT_GT(cut, 50);
}

}  // namespace
}  // namespace orba
