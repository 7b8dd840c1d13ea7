// Brix images: our writer and reader in round trips at every depth, the
// writer's bytes, our files read back by the independent Python reader,
// conversions, trimming, copies into drawing surfaces and one-frame
// loaders; the Python writer's files of every version, depth, tile form,
// scrambled order and composition rule decoded to its own pictures, and
// damaged files refused or decoded without harm; drawing surfaces loaded
// from picture streams and files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>
#include <utility>

#include "core/errors.h"
#include "core/files/brix_probe.h"
#include "core/streams/compression.h"
#include "graphics/brix.h"
#include "graphics/dibx.h"
#include "graphics/jpeg_codec.h"
#include "graphics/picture_fixtures.h"
#include "graphics/png_codec.h"
#include "graphics/surface_files.h"
#include "support/test_support.h"

namespace orba {
namespace {

using Fields = std::vector<std::string>;

// The tab-separated fields of the lines the Python writer's manifest gives.
std::vector<Fields> ManifestLines(const std::string& manifest, bool hostile) {
  const test::CommandResult r = test::RunPython("fixtures/brix_fixture.py", hostile ? Fields{"lines", manifest, "hostile"} : Fields{"lines", manifest});
  EXPECT_EQ(r.exit_code, 0);
  std::vector<Fields> out;
  std::stringstream in(r.output);
  for (std::string line, field; std::getline(in, line);) {
    std::stringstream fields(line);
    if (!line.empty()) out.emplace_back();
    while (!line.empty() && std::getline(fields, field, '\t')) out.back().push_back(field);
  }
  return out;
}

// A P7 RGB_ALPHA picture as written by the fixture writer and orbatool.
TRgbaPicture ReadPam(const std::string& path) {
  std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  const size_t end = text.find("ENDHDR\n");
  TRgbaPicture p;
  if (end == std::string::npos) return p;
  std::stringstream head(text.substr(0, end));
  std::string word;
  while (head >> word) {
    if (word == "WIDTH") head >> p.Width;
    if (word == "HEIGHT") head >> p.Height;
  }
  p.Pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(end + 7), bytes.end());
  return p;
}

void LoadBytes(TBrixFrameList& image, const std::vector<uint8_t>& bytes, bool first_only = false, bool convert = false,
               bool keep_layers = true) {
  TKsMemoryStream s(bytes);
  image.LoadFromStream(s, first_only, convert, keep_layers);
}

std::vector<uint8_t> SaveBytes(TBrixFrameList& image, int32_t compression, int32_t quality = 70) {
  TKsMemoryStream s;
  image.SaveToStream(s, compression, quality);
  return s.TakeBytes();
}

// "背景"
const std::string kSjisName = "\x94\x77\x8c\x69";

uint32_t Next(uint32_t& seed) { return seed = seed * 1103515245u + 12345u; }

void FillNoise(TDIBSurface& s, uint32_t seed) {
  TPixelView v = s.WriteView();
  for (int32_t y = 0; y < v.Height; ++y)
    for (std::ptrdiff_t i = 0; i < std::abs(v.Pitch); ++i) v.Row(y)[i] = static_cast<uint8_t>(Next(seed) >> 16);
}

// Two frames of three layers: plain, keyed with an alpha plane it does not
// use, and blended through its enabled alpha plane (hidden in frame 0).
std::unique_ptr<TBrixFrameList> MakeImage(int32_t bits, int32_t ident) {
  auto image = std::make_unique<TBrixFrameList>(ident);
  image->BackgroundColor = bits <= 8 ? 0 : 0x406040;
  image->OpaqueBase = 1;
  for (int fi = 0; fi < 2; ++fi) {
    TBrixFrame* frame = image->AddFrame();
    frame->Name = fi == 0 ? kSjisName : "second";
    frame->Delay = 40 + fi;
    frame->TransparentPixel = fi == 1 ? 1 : -1;
    for (int li = 0; li < 3; ++li) {
      TBrixLayer* layer = frame->AddLayer();
      uint32_t seed = static_cast<uint32_t>(bits * 7 + fi);
      for (size_t i = 1; i < layer->Surface->ColorTable.size(); ++i) {
        const uint32_t c = Next(seed);
        layer->Surface->ColorTable[i] = MakeQuad(uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24));
      }
      layer->Surface->SetSize(13 + fi, 9, bits);
      layer->Surface->CommitTable();
      FillNoise(*layer->Surface, static_cast<uint32_t>(bits * 100 + fi * 10 + li));
      layer->Name = "L" + std::to_string(li);
      layer->Opacity = li == 1 ? 128 : 255;
      layer->TransparentColor = (li == 0 && bits != 1) || li == 2 ? -1 : 1;
      layer->Visible = li == 2 && fi == 0 ? 0 : 1;
      if (li > 0) {
        layer->Surface->EnsureAlpha();
        FillNoise(*layer->Surface->Alpha(), static_cast<uint32_t>(li + fi));
        layer->AlphaEnabled = li == 2 ? 1 : 0;
      }
    }
  }
  return image;
}

bool SameRows(TDIBSurface& a, TDIBSurface& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.GetBitCount() != b.GetBitCount()) return false;
  TPixelView va = a.ReadView(), vb = b.ReadView();
  for (int32_t y = 0; y < va.Height; ++y)
    if (std::memcmp(va.Row(y), vb.Row(y), static_cast<size_t>(std::abs(va.Pitch))) != 0) return false;
  return true;
}

void ExpectSameLayers(TBrixFrameList& written, TBrixFrameList& read) {
  ASSERT_EQ(read.Count(), written.Count());
  EXPECT_EQ(std::tie(read.BackgroundColor, read.OpaqueBase), std::tie(written.BackgroundColor, written.OpaqueBase));
  for (int32_t f = 0; f < written.Count(); ++f) {
    TBrixFrame &a = *written.GetFrame(f), &b = *read.GetFrame(f);
    EXPECT_EQ(std::tie(b.Name, b.Delay, b.TransparentPixel), std::tie(a.Name, a.Delay, a.TransparentPixel));
    ASSERT_EQ(b.LayerCount(), a.LayerCount());
    for (int32_t l = 0; l < a.LayerCount(); ++l) {
      SCOPED_TRACE("frame " + std::to_string(f) + " layer " + std::to_string(l));
      TBrixLayer &x = *a.GetLayer(l), &y = *b.GetLayer(l);
      EXPECT_EQ(std::tie(y.Name, y.Visible, y.Opacity, y.TransparentColor, y.AlphaEnabled),
                std::tie(x.Name, x.Visible, x.Opacity, x.TransparentColor, x.AlphaEnabled));
      EXPECT_TRUE(SameRows(*y.Surface, *x.Surface));
      const int32_t bits = x.Surface->GetBitCount();
      const auto used = static_cast<std::ptrdiff_t>(bits <= 8 ? 1 << bits : 0);  // the entries a picture can use
      EXPECT_TRUE(std::equal(x.Surface->ImageTable().begin(), x.Surface->ImageTable().begin() + used,
                             y.Surface->ImageTable().begin()));
      ASSERT_EQ(y.Surface->Alpha() != nullptr, x.Surface->Alpha() != nullptr);
      if (x.Surface->Alpha() != nullptr) {
        EXPECT_TRUE(SameRows(*y.Surface->Alpha(), *x.Surface->Alpha()));
      }
    }
  }
}

// Our file read by the independent Python reader gives our frames' pictures.
void ExpectPythonPictures(const std::vector<uint8_t>& bytes, int32_t code, TBrixFrameList& read) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "ours.brx", bytes);
  ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"decode", dir / "ours.brx", std::to_string(code), dir.path()}).exit_code, 0);
  for (int32_t f = 0; f < read.Count(); ++f) {
    const std::string name = f == 0 ? "decoded.expected.pam" : "decoded.f" + std::to_string(f) + ".expected.pam";
    EXPECT_EQ(test::ComparePictures(BrixFrameToRgba(*read.GetFrame(f)), ReadPam(dir / name)), "") << name;
  }
}

class BrixRoundTrip : public ::testing::TestWithParam<int32_t> {};

TEST_P(BrixRoundTrip, KeepsEveryFieldAndPlaneAndAgreesWithTheIndependentReader) {
  const int32_t bits = GetParam();
  for (int32_t ident : {0, 12345}) {
    for (int32_t compression : {0, 1}) {
      SCOPED_TRACE("ident " + std::to_string(ident) + " compression " + std::to_string(compression));
      auto image = MakeImage(bits, ident);
      const std::vector<uint8_t> bytes = SaveBytes(*image, compression);
      // A code forces stored (scrambled) planes.
      EXPECT_EQ((std::pair<int, int>{bytes[11 + 21], bytes[11 + 22]}), (std::pair{ident != 0 ? 1 : 0, ident != 0 ? 1 : compression}));
      TKsMemoryStream probe(bytes);
      EXPECT_EQ(IsBrixStreamUncompressed(probe), ident != 0 || compression == 1);
      TBrixFrameList read(ident);
      LoadBytes(read, bytes);
      ExpectSameLayers(*image, read);
      EXPECT_EQ(read.GetFrame(1)->TransparentColor, SurfacePixelColor(*image->GetFrame(1)->GetLayer(0)->Surface, 1));
      ExpectPythonPictures(bytes, ident, read);
      if (ident != 0) {
        // Read without the code, the rows come out in stored order.
        TBrixFrameList wrong(0);
        LoadBytes(wrong, bytes);
        EXPECT_FALSE(SameRows(*wrong.GetFrame(0)->GetLayer(0)->Surface, *image->GetFrame(0)->GetLayer(0)->Surface));
      }
    }
  }
  // Files are told by their extension; other files load nothing.
  test::TempDir dir;
  auto image = MakeImage(bits, 0);
  image->SaveToFile(dir / "pic.BRX");
  TBrixFrameList read, untouched;
  read.LoadFromFile(dir / "pic.BRX", false, false, true);
  ExpectSameLayers(*image, read);
  untouched.LoadFromFile(dir / "pic.txt", false, false, false);
  EXPECT_EQ(untouched.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, BrixRoundTrip, ::testing::Values(1, 4, 8, 15, 16, 24, 32),
                         ::testing::PrintToStringParamName());

TEST(Brix, JpegLayersHoldTheEmbeddedJpegAndZlibAlpha) {
  auto image = MakeImage(24, 0);
  const std::vector<uint8_t> bytes = SaveBytes(*image, 2, 83);
  EXPECT_EQ(bytes[11 + 37], 83);
  TBrixFrameList read;
  LoadBytes(read, bytes);
  for (int32_t f = 0; f < 2; ++f) {
    for (int32_t l = 0; l < 3; ++l) {
      TDIBSurface &written = *image->GetFrame(f)->GetLayer(l)->Surface, &got = *read.GetFrame(f)->GetLayer(l)->Surface;
      const std::vector<uint8_t> jpeg = EncodeJpeg(written.ToJpegImage(), 83);
      TDIBSurface expected;
      expected.LoadJpeg(jpeg.data(), jpeg.size());
      EXPECT_TRUE(SameRows(got, expected));
      ASSERT_EQ(got.Alpha() != nullptr, written.Alpha() != nullptr);
      if (written.Alpha() != nullptr) {
        EXPECT_TRUE(SameRows(*got.Alpha(), *written.Alpha()));
      }
    }
  }
  ExpectPythonPictures(bytes, 0, read);
}

TEST(Brix, WriterBytesOfAOnePixelFrameWithoutLayers) {
  TBrixFrameList image;
  TBrixFrame* frame = image.AddFrame();
  frame->Surface.SetSize(1, 1, 24);
  frame->Surface.SetPixel(0, 0, 0x112233);
  const std::vector<uint8_t> expected = test::FromHex(
      "42 72 69 78 31 30 36  28 00 00 00"
      "6a 00 00 00 01 00 00 00 01 00 00 00 18 00 00 00 01 00 00 00 01 00 01 00"
      "00 00 00 00 00 00 00 00 00 00 00 00 00 46 00 00"
      "00 00 00 00 ff ff ff ff 64 00 00 00 00 00 00 00 00"
      "01 00 00 00 01 00 00 00 01 00 00 00 18 00 00 00"
      "00 00 00 00 00 00 00 00 01 ff ff ff ff ff 00 00 00 00"
      "05 00 00 00 4c 61 79 65 72 04 00 00 00 33 22 11 00 00 00 00 00"
      "00 00 00 00 00 00 00 00");
  EXPECT_EQ(test::ToHex(SaveBytes(image, 1)), test::ToHex(expected));
  TBrixFrameList read;
  LoadBytes(read, expected);
  EXPECT_EQ(std::tuple(read.Version, read.GetFrame(0)->GetLayer(0)->Name, read.GetFrame(0)->Surface.GetPixel(0, 0)),
            std::tuple(106, "Layer", 0x112233u));
}

TEST(Brix, ConvertTurnsKeysIntoAlphaAndPaletteFramesIntoTwentyFourBits) {
  auto image = MakeImage(8, 0);
  TBrixFrameList plain, converted, overridden;
  // Key a value that frame 1 shows, at (3, 2) and perhaps before it.
  LoadBytes(plain, SaveBytes(*image, 0));
  image->GetFrame(1)->TransparentPixel = static_cast<int32_t>(plain.GetFrame(1)->Surface.GetPixel(3, 2));
  const std::vector<uint8_t> bytes = SaveBytes(*image, 0);
  LoadBytes(plain, bytes, false, false, false);
  LoadBytes(converted, bytes, false, true, true);
  TBrixFrame &key_frame = *plain.GetFrame(1), &conv = *converted.GetFrame(1);
  ASSERT_EQ(std::pair(conv.Surface.GetBitCount(), conv.HasAlpha()), std::pair(24, true));
  int32_t first = -1;
  for (int32_t y = 0; y < key_frame.GetHeight(); ++y)
    for (int32_t x = 0; x < key_frame.GetWidth(); ++x) {
      const bool keyed = key_frame.Surface.GetPixel(x, y) == static_cast<uint32_t>(key_frame.TransparentPixel);
      EXPECT_EQ(conv.Surface.Alpha()->GetPixel(x, y), keyed ? 0u : 255u);
      const auto c = static_cast<uint32_t>(SurfacePixelColor(key_frame.Surface, key_frame.Surface.GetPixel(x, y)));
      EXPECT_EQ(conv.Surface.GetPixel(x, y) & 0xFFFFFF, (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16));
      if (keyed && first < 0) first = static_cast<int32_t>(conv.Surface.GetPixel(x, y));
    }
  EXPECT_EQ(std::pair(conv.TransparentPixel, conv.GetLayer(0)->Surface->GetBitCount()), std::pair(first, 24));
  EXPECT_EQ(test::ComparePictures(BrixFrameToRgba(*converted.GetFrame(0)), BrixFrameToRgba(*plain.GetFrame(0))), "");
  // The depth override converts every frame.
  overridden.BitCountOverride = 16;
  TKsMemoryStream s(bytes);
  overridden.LoadFromStream(s, false, true, false);
  EXPECT_EQ(overridden.GetFrame(0)->Surface.GetBitCount(), 16);
}

TEST(Brix, TrimCropsToAlphaAndCutsTheRectangleLists) {
  TBrixFrameList image;
  TBrixFrame* frame = image.AddFrame();
  frame->Surface.SetSize(10, 8, 24);
  FillNoise(frame->Surface, 5);
  frame->Surface.EnsureAlpha();
  frame->Surface.Alpha()->FillRect(frame->Surface.GetBounds(), 0);
  frame->Surface.Alpha()->FillRect(TRect{2, 3, 6, 7}, 200);
  frame->RectsA = {TRect{0, 0, 3, 4}, TRect{7, 0, 9, 2}, TRect{8, 6, 10, 8}, TRect{4, 4, 9, 9}};
  frame->RectsB = {TRect{0, 0, 1, 1}};
  const uint32_t corner = frame->Surface.GetPixel(2, 3);
  EXPECT_EQ(frame->Trim(), (TRect{2, 3, 6, 7}));
  EXPECT_EQ((std::array<uint32_t, 3>{uint32_t(frame->GetWidth()), frame->Surface.GetPixel(0, 0), frame->Surface.Alpha()->GetPixel(0, 0)}),
            (std::array<uint32_t, 3>{4, corner, 200}));
  EXPECT_EQ(std::pair(frame->RectsA, frame->RectsB.empty()), std::pair(std::vector<TRect>{{0, 0, 1, 1}, {2, 1, 4, 4}}, true));
  // Without alpha and without a transparent colour nothing changes; a frame
  // of nothing but its key keeps its top-left pixel.
  TBrixFrame* plain = image.AddFrame();
  plain->Surface.SetSize(5, 5, 24);
  EXPECT_EQ(plain->Trim(), (TRect{0, 0, 5, 5}));
  plain->TransparentPixel = plain->TransparentColor = 0;
  EXPECT_EQ(plain->Trim(), (TRect{0, 0, 1, 1}));
}

TEST(Brix, CopyToDrawingSurfacesOfOtherDepths) {
  TBrixFrameList image;
  TBrixFrame* frame = image.AddFrame();
  frame->Surface.SetSize(3, 2, 24);
  frame->Surface.SetPixel(1, 1, 0xF81008);
  frame->Surface.EnsureAlpha();
  frame->Surface.FillAlpha();
  frame->Surface.Alpha()->SetPixel(2, 0, 7);
  frame->RectsA = {TRect{1, 1, 2, 2}};
  TDIBX deep, high, mask;
  deep.SetSize(1, 1, 32);
  deep.Surface().SetPixel(0, 0, 0xFFFFFFFF);
  frame->CopyToDIBX(deep);
  EXPECT_EQ(std::tuple(deep.Width(), deep.GetPixel(1, 1), deep.GetPixel(0, 0), deep.RectsA), std::tuple(3, 0xF81008u, 0u, frame->RectsA));
  high.SetSize(1, 1, 16);
  frame->CopyToDIBX(high);
  EXPECT_EQ((std::pair{high.BitCount(), high.GetPixel(1, 1)}), (std::pair{16, (0xF8u << 8) | (0x10u << 3) | (0x08u >> 3)}));
  frame->CopyAlphaToDIBX(mask);
  EXPECT_EQ((std::pair{mask.BitCount(), mask.GetPixel(2, 0)}), (std::pair{8, 7u}));
  TDIB dib;
  frame->CopyAlphaToDIB(dib);
  EXPECT_EQ((std::pair{dib.GetPixel(2, 0), dib.GetPixel(0, 0)}), (std::pair{7u, 255u}));
}

// A PNG loaded as a picture holds the decoder's pixels and, as opacity, its
// inverted alpha plane; pixels a cut file never reaches are opaque. Files of
// our writer: RGBA and grey with alpha, plain and interlaced, whole and cut.
TEST(Brix, PngPictureHoldsTheDecodedPixelsAndOpacity) {
  for (const auto& [bits, interlace, cut] : {std::tuple{24, 0, 0}, {24, 1, 0}, {8, 0, 0}, {24, 0, 1}, {24, 1, 1}, {8, 1, 1}}) {
    SCOPED_TRACE(std::to_string(bits) + " " + std::to_string(interlace) + " " + std::to_string(cut));
    TZelPNG png;
    png.Image.ColorTable = png.Alpha().ColorTable = GreyRamp();
    png.Image.SetSize(37, 23, bits);
    png.Alpha().SetSize(37, 23, 8);
    for (int32_t i = 0; i < 37 * 23; ++i) {
      png.Image.SetPixel(i % 37, i / 37, (static_cast<uint32_t>(i) * 2654435761u) >> (bits == 8 ? 24 : 8));
      png.Alpha().SetPixel(i % 37, i / 37, static_cast<uint32_t>(i * 19) & 0xFF);
    }
    png.AlphaLoaded = true;
    png.Grey = bits == 8;
    png.Interlace = static_cast<uint8_t>(interlace);
    TKsMemoryStream file;
    png.SaveToStream(file);
    std::vector<uint8_t> bytes = file.Bytes();
    bytes.resize(bytes.size() * (cut ? 3 : 5) / 5);
    TKsMemoryStream in(bytes), again(bytes);
    png.LoadFromStream(in);
    TBrixFrameList picture;
    picture.LoadPNG(again);
    TDIBSurface& surface = picture.GetFrame(0)->Surface;
    EXPECT_EQ(surface.Alpha()->ImageTable(), TColorTable{});
    for (int32_t i = 0; i < 37 * 23; ++i) {
      ASSERT_EQ(surface.GetPixel(i % 37, i / 37), png.Image.GetPixel(i % 37, i / 37)) << i;
      ASSERT_EQ(surface.Alpha()->GetPixel(i % 37, i / 37), 255 - png.Alpha().GetPixel(i % 37, i / 37)) << i;
    }
  }
}

TEST(Brix, OtherPictureFormatsAreReadAsWhatTheyAre) {
  // PNG with alpha: the plane is the PNG's alpha.
  TRgbaPicture rgba{2, 1, {10, 20, 30, 255, 40, 50, 60, 9}};
  TKsMemoryStream png;
  SaveRgbaAsPng(rgba, png);
  TBrixFrameList image;
  LoadBytes(image, png.Bytes());
  ASSERT_EQ(image.Count(), 1);
  EXPECT_EQ(BrixFrameToRgba(*image.GetFrame(0)).Pixels, rgba.Pixels);
  // 32-bit BMP: the fourth bytes become the alpha plane of a 24-bit frame.
  TDIBSurface bmp;
  bmp.SetSize(2, 1, 32);
  bmp.SetPixel(0, 0, 0x80112233);
  TKsMemoryStream bmp_bytes;
  bmp.SaveToStream(bmp_bytes);
  LoadBytes(image, bmp_bytes.Bytes());
  ASSERT_EQ(image.Count(), 1);
  TDIBSurface& frame = image.GetFrame(0)->Surface;
  EXPECT_EQ((std::array<uint32_t, 3>{uint32_t(frame.GetBitCount()), frame.GetPixel(0, 0), frame.Alpha()->GetPixel(0, 0)}),
            (std::array<uint32_t, 3>{24, 0x112233, 0x80}));
  // GIF is refused; the list keeps what it had.
  EXPECT_THROW(LoadBytes(image, test::Bytes("GIF89a\x01\x00\x01\x00")), EBrixError);
  EXPECT_EQ(image.Count(), 1);
  // A PNG's transparent colour becomes the frame's key: 2 x 1 RGB, key (1, 2, 3), the second pixel.
  std::vector<uint8_t> keyed = test::PngSignature();
  for (const auto& chunk : {test::PngChunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 1, 8, 2, 0, 0, 0}),
                            test::PngChunk("tRNS", {0, 1, 0, 2, 0, 3}), test::Idat({0, 9, 9, 9, 1, 2, 3}), test::PngChunk("IEND", {})})
    test::Append(keyed, chunk);
  test::TempDir dir;
  test::WriteFileBytes(dir / "key.PNG", keyed);
  image.LoadFromFile(dir / "key.PNG", false, false, false);
  ASSERT_EQ(image.Count(), 1);
  EXPECT_EQ((std::pair{image.GetFrame(0)->TransparentColor, image.GetFrame(0)->TransparentPixel}), (std::pair{0x030201, 0x010203}));
}

// A one-layer, one-frame JPEG image at the given depth whose JPEG block is
// replaced by `jpeg`.
std::vector<uint8_t> WithJpegLayer(int32_t bits, const std::vector<uint8_t>& jpeg) {
  TBrixFrameList image;
  TBrixFrame* frame = image.AddFrame();
  frame->Surface.ColorTable = GreyRamp();
  frame->Surface.SetSize(4, 2, bits);
  frame->Surface.CommitTable();
  std::vector<uint8_t> bytes = SaveBytes(image, 2);
  size_t at = 0;
  while (!(bytes[at] == 0xFF && bytes[at + 1] == 0xD8 && bytes[at + 2] == 0xFF)) ++at;
  uint32_t size = 0;
  std::memcpy(&size, &bytes[at - 4], 4);
  const auto n = static_cast<uint32_t>(jpeg.size());
  std::memcpy(&bytes[at - 4], &n, 4);
  bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), jpeg.begin(), jpeg.end());
  return bytes;
}

TEST(Brix, JpegLayersTakeTheFrameDepth) {
  TJpegImage grey{4, 2, 1, {0, 40, 80, 120, 160, 200, 240, 255}};
  const std::vector<uint8_t> jpeg = EncodeJpeg(grey, 90);
  const TJpegImage decoded = DecodeJpeg(jpeg.data(), jpeg.size());
  ASSERT_EQ(decoded.Components, 1);
  for (int32_t bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TBrixFrameList image;
    LoadBytes(image, WithJpegLayer(bits, jpeg));
    TDIBSurface& frame = image.GetFrame(0)->Surface;
    EXPECT_EQ((std::pair{image.GetFrame(0)->GetLayer(0)->Surface->GetBitCount(), frame.GetBitCount()}), (std::pair{bits, bits}));
    for (int32_t x = 0; x < 4; ++x) {
      const uint32_t v = decoded.Pixels[static_cast<size_t>(4 + x)];
      EXPECT_EQ(static_cast<uint32_t>(SurfacePixelColor(frame, frame.GetPixel(x, 1))),
                bits == 16 ? ((v >> 3) << 3 | (v >> 5)) | ((v >> 2) << 2 | (v >> 6)) << 8 | ((v >> 3) << 3 | (v >> 5)) << 16
                           : v | v << 8 | v << 16);
    }
  }
  // A JPEG file handed to the reader is one frame.
  TBrixFrameList plain;
  LoadBytes(plain, jpeg);
  EXPECT_EQ(std::pair(plain.Count(), plain.GetFrame(0)->Surface.Width()), std::pair(1, 4));
}

TEST(Brix, HandWrittenVersionZeroFile) {
  // No magic: frame count 1, skipped byte; a 2 x 1 8-bit frame whose one
  // layer is packed rows.
  std::vector<uint8_t> rows = {7, 9, 0, 0};
  TKsMemoryStream packed(rows);
  CompressStream(packed);
  std::vector<uint8_t> bytes = test::FromHex("01 00 00 00 ee  00 00 00 00 ff ff ff ff 05 00 00 00 00 00 00 00 00"
                                             "01 00 00 00 02 00 00 00 01 00 00 00 08 00 00 00");
  std::vector<uint8_t> palette(1024);
  palette[7 * 4 + 2] = 0x70;
  palette[9 * 4 + 1] = 0x90;
  test::Append(bytes, palette);
  test::Append(bytes, test::FromHex("00 00 00 00 00 00 00 00 01 ff ff ff ff ff 00 00 00 00 00 00 00"));
  bytes.insert(bytes.end(), {static_cast<uint8_t>(packed.GetSize()), 0, 0, 0});
  test::Append(bytes, packed.Bytes());
  TBrixFrameList image;
  LoadBytes(image, bytes);
  EXPECT_EQ((std::pair{image.Version, image.GetFrame(0)->Delay}), (std::pair{0, 5}));
  EXPECT_EQ(BrixFrameToRgba(*image.GetFrame(0)).Pixels, (std::vector<uint8_t>{0x70, 0, 0, 255, 0, 0x90, 0, 255}));
}

// ---- the independent writer's files ----------------------------------------------

class BrixFixtures : public ::testing::Test {
 protected:
  struct TFiles {
    test::TempDir dir;
    std::vector<Fields> lines, hostile;
  };
  static void SetUpTestSuite() {
    files_ = new TFiles;
    ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"make", files_->dir.path()}).exit_code, 0);
    ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"hostile", files_->dir / "hostile"}).exit_code, 0);
    files_->lines = ManifestLines(files_->dir / "manifest.json", false);
    files_->hostile = ManifestLines(files_->dir / "hostile/manifest.json", true);
  }
  static void TearDownTestSuite() { delete files_; }
  static std::string Path(const std::string& name) { return files_->dir / name; }
  static inline TFiles* files_ = nullptr;
};

// Hex digits of the bytes; rectangles as "l,t,r,b;..."; "-" for none.
std::string Hex(const std::string& bytes) {
  std::string out = test::ToHex(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  out.erase(std::remove(out.begin(), out.end(), ' '), out.end());
  return out.empty() ? "-" : out;
}

std::string Rects(const std::vector<TRect>& rects) {
  std::string out;
  for (const TRect& r : rects)
    out += (out.empty() ? "" : ";") + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom);
  return out.empty() ? "-" : out;
}

TEST_F(BrixFixtures, EveryFileDecodesToTheWritersPicturesAndFields) {
  std::map<std::string, std::unique_ptr<TBrixFrameList>> images;
  int pictures = 0;
  for (const auto& f : files_->lines) {
    if (f[0] == "I") {
      SCOPED_TRACE(f[1]);
      auto image = std::make_unique<TBrixFrameList>(std::stoi(f[3]));
      const bool ambiguous = f[5] == "1";
      try {
        image->LoadFromFile(Path(f[2]), false, false, true);
      } catch (const EOrbaError& e) {
        // A file the writer itself calls ambiguous may be refused.
        EXPECT_TRUE(ambiguous) << e.what();
        continue;
      }
      EXPECT_EQ(image->Count(), std::stoi(f[4]));
      if (!ambiguous) images[f[1]] = std::move(image);
      continue;
    }
    auto it = images.find(f[1]);
    if (it == images.end()) continue;
    SCOPED_TRACE(f[1] + " frame " + f[2]);
    TBrixFrame* frame = it->second->GetFrame(std::stoi(f[2]));
    using std::to_string;
    if (f[0] == "F") {
      // Name, width, height, depth, delay, key pixel, key colour; then the rectangle lists.
      EXPECT_EQ((Fields{Hex(frame->Name), to_string(frame->Surface.Width()), to_string(frame->Surface.Height()),
                        to_string(frame->Surface.GetBitCount()), to_string(frame->Delay),
                        to_string(frame->TransparentPixel), f[9] == "-" ? "-" : to_string(frame->TransparentColor),
                        Rects(frame->RectsA), Rects(frame->RectsB)}),
                (Fields{f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[11], f[12]}));
      if (f[13] != "-") {
        EXPECT_EQ(test::ComparePictures(BrixFrameToRgba(*frame), ReadPam(Path(f[13]))), "");
        ++pictures;
      }
    } else {
      TBrixLayer* layer = frame->GetLayer(std::stoi(f[3]));
      SCOPED_TRACE("layer " + f[3]);
      // Name, visibility, opacity, key colour, alpha enabled, alpha plane present.
      EXPECT_EQ((Fields{Hex(layer->Name), to_string(layer->Visible), to_string(layer->Opacity),
                        to_string(layer->TransparentColor), to_string(layer->AlphaEnabled),
                        layer->Surface->Alpha() != nullptr ? "1" : "0"}),
                (Fields{f[4], f[5], f[6], f[7], f[8], f[9]}));
    }
  }
  EXPECT_GT(pictures, 150);
}

// Read for its first frame only, a file stops after the first frame record
// and gives the first picture without layers. The tool gives that picture
// too; it is run on every fifth file and on every file read with a code.
TEST_F(BrixFixtures, FirstFrameOnlyAndTheToolGiveTheFirstPicture) {
  int checked = 0, seen = 0;
  std::string code;
  for (const auto& f : files_->lines) {
    if (f[0] == "I") code = f[3];
    if (f[0] != "F" || f[2] != "0" || f[13] == "-") continue;
    SCOPED_TRACE(f[1]);
    TKsMemoryStream s;
    s.LoadFromFile(Path(f[1] + ".brx"));
    TBrixFrameList image(std::stoi(code));
    image.LoadFromStream(s, true, false, false);
    ASSERT_EQ(image.Count(), 1);
    EXPECT_EQ((std::pair<int64_t, int>(s.GetPosition(), image.GetFrame(0)->LayerCount())), (std::pair<int64_t, int>(std::stoll(f[10]), 0)));
    EXPECT_EQ(test::ComparePictures(BrixFrameToRgba(*image.GetFrame(0)), ReadPam(Path(f[13]))), "");
    if (seen++ % 5 != 0 && code == "0") continue;
    ASSERT_EQ(test::RunOrbaTool({"img", "decode", "--code", code, Path(f[1] + ".brx"), files_->dir / "tool.pam"}).exit_code, 0);
    EXPECT_EQ(test::ReadFileBytes(files_->dir / "tool.pam"), test::ReadFileBytes(Path(f[13])));
    ++checked;
  }
  EXPECT_GT(checked, 15);
}

TEST_F(BrixFixtures, DamagedFilesAreRefusedOrDecodedAndChangeNothingWhenRefused) {
  int refused = 0;
  for (const auto& h : files_->hostile) {
    SCOPED_TRACE(h[1]);
    for (bool keep_layers : {false, true}) {
      TBrixFrameList image;
      image.AddFrame()->Name = "kept";
      bool threw = false;
      try {
        image.LoadFromFile(files_->dir / ("hostile/" + h[2]), false, true, keep_layers);
      } catch (const EOrbaError&) {
        threw = true;
      }
      if (h[3] == "refuse") {
        EXPECT_TRUE(threw);
      }
      if (threw) {
        ASSERT_EQ(image.Count(), 1);
        EXPECT_EQ(image.GetFrame(0)->Name, "kept");
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 60);
  // Header bytes beyond the 40-byte record are skipped; tiles may copy
  // from themselves or later tiles of their plane.
  for (const char* name : {"header_size_1000.brx", "tile_copy_forward.brx", "tile_copy_self.brx"}) {
    TBrixFrameList image;
    image.LoadFromFile(files_->dir / (std::string("hostile/") + name), false, false, false);
    EXPECT_EQ(image.Count(), 1) << name;
  }
}

TEST_F(BrixFixtures, EveryTruncationIsRefused) {
  for (const char* name : {"tiles_d08.brx", "scrambled_tiles.brx", "v102_d15.brx", "jpeg.brx"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> whole = test::ReadFileBytes(Path(name));
    const int32_t code = std::string(name) == "scrambled_tiles.brx" ? 12345 : 0;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      TBrixFrameList image(code);
      TKsMemoryStream s(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
      EXPECT_THROW(image.LoadFromStream(s, false, false, true), EOrbaError) << cut;
    }
  }
}

// ---- drawing surfaces from picture files --------------------------------------------

std::vector<uint8_t> BmpBytes(int32_t bits, uint32_t pixel) {
  TDIBSurface s;
  s.SetSize(3, 2, bits);
  s.SetPixel(1, 0, pixel);
  TKsMemoryStream out;
  s.SaveToStream(out);
  return out.TakeBytes();
}

TEST(SurfaceFiles, StreamsAreToldApartByTheirFirstBytesAndKeepTheSurfaceDepth) {
  TDIBX surface, deep;
  surface.SetSize(1, 1, 16);
  TKsMemoryStream bmp(BmpBytes(24, 0xF81008)), png, other(test::Bytes("GIF89a......"));
  bmp.SetPosition(2);  // read from position 0 whatever the position
  LoadDIBXFromStream(surface, &bmp, 0);
  EXPECT_EQ((std::array<uint32_t, 3>{uint32_t(surface.Width()), uint32_t(surface.BitCount()), surface.GetPixel(1, 0)}),
            (std::array<uint32_t, 3>{3, 16, 0xF881}));
  SaveRgbaAsPng(TRgbaPicture{2, 1, {0xF8, 0x10, 0x08, 255, 0, 0, 0, 255}}, png);
  deep.SetSize(1, 1, 32);
  LoadDIBXFromStream(deep, &png, 0);
  EXPECT_EQ(std::pair(deep.Width(), deep.GetPixel(0, 0) & 0xFFFFFF), std::pair(2, 0xF81008u));
  // Unknown bytes and a null stream leave the surface as it was.
  LoadDIBXFromStream(deep, &other, 0);
  LoadDIBXFromStream(deep, nullptr, 0);
  EXPECT_EQ(deep.Width(), 2);
  // A Brix stream gives its first frame only.
  TBrixFrameList image(77);
  for (int i = 0; i < 5; ++i) {
    TBrixFrame* frame = image.AddFrame();
    frame->Surface.SetSize(4 + i, 3, 24);
    frame->Surface.FillRect(frame->Surface.GetBounds(), 0x010203u * static_cast<uint32_t>(i + 1));
  }
  TKsMemoryStream stream(SaveBytes(image, 0));
  TDIBX brix;
  brix.SetSize(1, 1, 24);
  LoadDIBXFromStream(brix, &stream, 77);
  EXPECT_EQ(std::pair(brix.Width(), brix.GetPixel(3, 2)), std::pair(4, 0x010203u));
}

TEST(SurfaceFiles, BmpFilesInAndOut) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "in.Bmp", BmpBytes(8, 1));
  TDIBX surface;
  TDIB saved;
  surface.SetSize(1, 1, 24);
  LoadDIBXFromFile(surface, dir / "missing.bmp");
  LoadDIBXFromFile(surface, dir / "in.png");
  EXPECT_EQ(surface.Width(), 1);
  LoadDIBXFromFile(surface, dir / "in.Bmp");
  EXPECT_EQ((std::pair{surface.Width(), surface.BitCount()}), (std::pair{3, 24}));
  surface.SetPixel(2, 1, 0x123456);
  SaveDIBXToFile(surface, dir / "picture.BMP");
  SaveDIBXToFile(surface, dir / "picture.png");
  EXPECT_THROW(test::ReadFileBytes(dir / "picture.png"), std::runtime_error);
  saved.LoadFromFile(dir / "picture.BMP");
  EXPECT_EQ((std::pair{saved.BitCount(), saved.GetPixel(2, 1)}), (std::pair{24, 0x123456u}));
}

}  // namespace
}  // namespace orba
