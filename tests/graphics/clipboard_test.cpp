// Pictures on the clipboard: the bitmap's form byte for byte (hand-worked
// below), the GIF picture's two forms and their round trips, every
// failure the clipboard can give, icons made into GIF frames, and the GIF
// picture's CompactBeforeWrite and RenderAfterDecode.
#include <gtest/gtest.h>

#include <memory>

#include "graphics/dib.h"
#include "graphics/dib_surface.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"
#include "graphics/icon_file.h"
#include "graphics/picture_clipboard.h"
#include "graphics/picture_fixtures.h"
#include "platform/memory_clipboard.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

// Each test has a clipboard of its own, installed while it runs.
class PictureClipboard : public ::testing::Test {
 protected:
  void SetUp() override { SetClipboard(clip); }
  void TearDown() override { SetClipboard(nullptr); }
  std::shared_ptr<TMemoryClipboard> clip = std::make_shared<TMemoryClipboard>();

  std::vector<uint8_t> BlockBytes(TDataBlock block) {
    const TBlockLock lock(*clip, block);
    return {lock.Bytes(), lock.Bytes() + clip->BlockSize(block)};
  }
  TDataBlock BlockOf(const std::string& hex) {
    const std::vector<uint8_t> bytes = FromHex(hex);
    const TDataBlock block = clip->AllocBlock(bytes.size());
    const TBlockLock lock(*clip, block);
    std::copy(bytes.begin(), bytes.end(), lock.Bytes());
    return block;
  }
};

// The 40-byte header the writer gives: size 40, width, height (bottom-up),
// planes 1, bits, compression, image size = the pixel bytes that follow,
// resolutions, colours used and important 0.
const char kHeader2x1x24[] =
    "28 00 00 00  02 00 00 00  01 00 00 00  01 00  18 00  00 00 00 00  08 00 00 00"
    "  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00";

// A 24-bit picture of two pixels, (R 11 G 22 B 33) and (44 55 66): the
// header, then one row of blue-green-red triples padded to 8 bytes. Format
// 8, palette 0, and nothing of the 14-byte file header.
TEST_F(PictureClipboard, TheBitmapsFormIsItsBmpDataWithoutTheFileHeader) {
  TDIB dib;
  dib.SetSize(2, 1, 24);
  const uint8_t rgb[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  dib.WriteRowRGB(0, rgb);
  TClipFormat format = 0;
  TDataBlock data = 0;
  TPaletteHandle palette = 7;
  dib.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, kClipFormatDib);
  EXPECT_EQ(palette, 0u);
  EXPECT_EQ(ToHex(BlockBytes(data)), ToHex(FromHex(std::string(kHeader2x1x24) + " 33 22 11 66 55 44 00 00")));
  EXPECT_EQ(clip->LocksHeld(), 0);
}

// 16 bits are written with compression 3 and the 5-5-5 masks 0x7C00,
// 0x3E0, 0x1F after the header; white (0x7FFF) and one pad word. A
// 256-colour picture has 40 + 1024 bytes of info before its rows.
TEST_F(PictureClipboard, MasksAndColourTablesComeBeforeTheRows) {
  TDIB sixteen;
  sixteen.RequestedLayout = Layout555();
  sixteen.SetSize(1, 1, 16);
  sixteen.SetPixel(0, 0, 0x7FFF);
  TClipFormat format = 0;
  TDataBlock data = 0;
  TPaletteHandle palette = 0;
  sixteen.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(ToHex(BlockBytes(data)),
            ToHex(FromHex("28 00 00 00  01 00 00 00  01 00 00 00  01 00  10 00  03 00 00 00  04 00 00 00"
                          "  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00"
                          "  00 7c 00 00  e0 03 00 00  1f 00 00 00  ff 7f 00 00")));

  TDIB indexed;
  indexed.SetSize(3, 2, 8);
  indexed.SetPixel(2, 0, 5);  // top row, the one stored last
  indexed.SaveToClipboardFormat(format, data, palette);
  const std::vector<uint8_t> bytes = BlockBytes(data);
  ASSERT_EQ(bytes.size(), 40u + 1024u + 2 * 4);
  EXPECT_EQ(ToHex({bytes.begin() + 14, bytes.begin() + 24}), "08 00 00 00 00 00 08 00 00 00");
  EXPECT_EQ(ToHex({bytes.end() - 8, bytes.end()}), "00 00 00 00 00 00 05 00");
}

// Reading: an OS/2 core header (12 bytes) of a 1-bit picture 2 x 1 with
// two 3-byte colours, red (00 00 ff) and blue (ff 00 00); the row 0x40
// gives pixel 0 index 0 and pixel 1 index 1. Format and palette are not
// looked at.
TEST_F(PictureClipboard, TheBitmapReadsItsFormFromAnyBlock) {
  const TDataBlock block = BlockOf("0c 00 00 00  02 00  01 00  01 00  01 00  00 00 ff  ff 00 00  40 00 00 00");
  TDIB dib;
  dib.LoadFromClipboardFormat(12345, block, 99);
  ASSERT_EQ(dib.Width(), 2);
  EXPECT_EQ(dib.BitCount(), 1);
  EXPECT_EQ(dib.GetPixel(0, 0), 0u);
  EXPECT_EQ(dib.GetPixel(1, 0), 1u);
  EXPECT_EQ(dib.ImageTable()[0].Red, 0xFF);
  EXPECT_EQ(dib.ImageTable()[1].Blue, 0xFF);
  EXPECT_EQ(clip->LocksHeld(), 0);
  EXPECT_EQ(clip->BlockSize(block), 22u);  // the block stays its owner's
}

TEST_F(PictureClipboard, ABitmapRoundTripsThroughTheClipboard) {
  TDIB dib;
  dib.SetSize(5, 3, 24);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) dib.SetPixel(x, y, static_cast<uint32_t>(x * 0x102030 + y * 0x40));
  CopyPictureToClipboard(dib);
  EXPECT_EQ(clip->Formats(), std::set<TClipFormat>{kClipFormatDib});
  EXPECT_FALSE(clip->IsOpen());
  TDIB back;
  PastePictureFromClipboard(back, kClipFormatDib);
  ASSERT_EQ(back.Width(), 5);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(back.GetPixel(x, y), dib.GetPixel(x, y));
  // An empty bitmap's form is a block of no bytes, which reads as empty.
  TDIB empty;
  CopyPictureToClipboard(empty);
  PastePictureFromClipboard(back, kClipFormatDib);
  EXPECT_TRUE(back.Empty());
}

// What cannot be read, or cannot be had, fails with a clear error; a
// bitmap that fails to read keeps its picture; no block or lock is left.
TEST_F(PictureClipboard, BitmapFailuresKeepThePictureAndLeaveNoBlock) {
  TDIB dib;
  dib.SetSize(2, 1, 24);
  dib.SetPixel(1, 0, 0x123456);
  const struct {
    const char* name;
    std::string hex;  // the block's bytes; empty: no block at all
    const char* error;
  } cases[] = {
      {"no block", "", kInvalidDibText},
      {"header size 20", "14 00 00 00 00 00 00 00", kInvalidDibText},
      {"cut in the colour table", "0c 00 00 00  02 00  01 00  01 00  01 00  00 00", "read error"},
      {"compression 4", "28 00 00 00  02 00 00 00  01 00 00 00  01 00  08 00  04 00 00 00  00 00 00 00"
                        "  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00",
       kInvalidDibText},
  };
  for (const auto& c : cases) {
    const TDataBlock block = c.hex.empty() ? 0 : BlockOf(c.hex);
    const std::string error = test::ErrorOf<EOrbaError>([&] { dib.LoadFromClipboardFormat(8, block, 0); });
    if (std::string(c.error) == "read error")
      EXPECT_NE(error, "no error") << c.name;
    else
      EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(dib.GetPixel(1, 0), 0x123456u) << c.name;
    EXPECT_EQ(clip->LocksHeld(), 0) << c.name;
  }
  const size_t blocks = clip->LiveBlocks();
  clip->Fail(TClipboardCall::AllocBlock);
  TClipFormat format = 0;
  TDataBlock data = 0;
  TPaletteHandle palette = 0;
  EXPECT_EQ(test::ErrorOf<EOutOfMemory>([&] { dib.SaveToClipboardFormat(format, data, palette); }), kOutOfMemoryText);
  clip->Fail(TClipboardCall::AllocBlock, false);
  clip->Fail(TClipboardCall::LockBlock);
  EXPECT_EQ(test::ErrorOf<EOutOfMemory>([&] { dib.SaveToClipboardFormat(format, data, palette); }), kOutOfMemoryText);
  EXPECT_EQ(data, 0u);
  EXPECT_EQ(clip->LiveBlocks(), blocks);
}

// A picture of two frames over a 3 x 2 screen: red, green, blue and white
// pixels, then a frame of one black pixel at (1, 1) with a delay.
std::unique_ptr<TGIFImage> TwoFrames() {
  auto image = std::make_unique<TGIFImage>();
  image->PaletteMethod = 0;  // the colours as they are
  image->ScreenWidth = 3;
  image->ScreenHeight = 2;
  auto first = std::make_unique<TGIFSubImage>(*image);
  const uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
  first->AssignRgb(rgb, 3, 2, nullptr);
  image->Add(std::move(first));
  auto second = std::make_unique<TGIFSubImage>(*image);
  const uint8_t black[] = {0, 0, 0};
  second->AssignRgb(black, 1, 1, nullptr);
  second->SetFrameRect(1, 1, 1, 1);
  second->EnsureGraphicControl().Delay = 20;
  image->Add(std::move(second));
  return image;
}

std::vector<uint8_t> FileOf(TGIFImage& image) {
  TKsMemoryStream s;
  image.SaveToStream(s);
  return s.Bytes();
}

std::vector<uint32_t> PixelsOf(TDIB& dib) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x) out.push_back(dib.GetPixel(x, y));
  return out;
}

// Copying puts the file under "GIF Image" and the first frame, composed on
// the screen, as a bitmap; pasting either gives the picture back (the
// bitmap as one frame of the same pixels).
TEST_F(PictureClipboard, AGifPictureRoundTripsInBothForms) {
  auto image = TwoFrames();
  CopyPictureToClipboard(*image);
  const TClipFormat gif = TGIFImage::ClipboardFormat();
  EXPECT_EQ(gif, clip->RegisterFormat("GIF Image"));
  EXPECT_EQ(clip->Formats(), (std::set<TClipFormat>{kClipFormatDib, gif}));
  EXPECT_FALSE(clip->IsOpen());

  TGIFImage pasted;
  PastePictureFromClipboard(pasted, gif);
  EXPECT_EQ(ToHex(FileOf(pasted)), ToHex(FileOf(*image)));
  EXPECT_EQ(pasted.Count(), 2);

  TDIB first;
  ComposeFirstFrame(*image, first);
  TGIFImage from_bitmap;
  from_bitmap.PaletteMethod = 0;
  PastePictureFromClipboard(from_bitmap, kClipFormatDib);
  ASSERT_EQ(from_bitmap.Count(), 1);
  EXPECT_EQ(from_bitmap.Width(), 3);
  TDIB back;
  ComposeFirstFrame(from_bitmap, back);
  EXPECT_EQ(PixelsOf(back), PixelsOf(first));
  EXPECT_EQ(clip->LocksHeld(), 0);
}

// A format the picture does not read, or no block of a format it reads,
// fails with "未対応のクリップボード データです"; the clipboard refusing the
// file fails with "Failed to store GIF on clipboard" and frees both blocks.
TEST_F(PictureClipboard, GifClipboardFailures) {
  auto image = TwoFrames();
  const TClipFormat gif = TGIFImage::ClipboardFormat();
  const struct {
    const char* name;
    TClipFormat format;
  } unread[] = {{"text format", 1}, {"no such format", 0}, {"GIF Image but empty clipboard", gif},
                {"bitmap but empty clipboard", kClipFormatDib}};
  for (const auto& c : unread) {
    TGIFImage other;
    EXPECT_EQ(test::ErrorOf<GIFException>([&] { PastePictureFromClipboard(other, c.format); }),
              gif_text::kUnsupportedClipboard)
        << c.name;
    EXPECT_FALSE(clip->IsOpen()) << c.name;
  }
  // No block for the bitmap is the bitmap's own "Out of memory".
  const struct {
    TClipboardCall call;
    const char* error;
  } refused[] = {{TClipboardCall::SetData, gif_text::kClipboardStoreFailed},
                 {TClipboardCall::AllocBlock, kOutOfMemoryText}};
  for (const auto& [call, error] : refused) {
    const size_t blocks = clip->LiveBlocks();
    clip->Fail(call);
    EXPECT_EQ(test::ErrorOf<EOrbaError>([&] { CopyPictureToClipboard(*image); }), error);
    clip->Fail(call, false);
    EXPECT_EQ(clip->LiveBlocks(), blocks);
    EXPECT_FALSE(clip->IsOpen());
  }
  clip->Fail(TClipboardCall::Open);
  EXPECT_EQ(test::ErrorOf<EOutOfResources>([&] { CopyPictureToClipboard(*image); }), kCannotOpenClipboardText);
  clip->Fail(TClipboardCall::Open, false);
  // An empty picture hands nothing over and sets nothing.
  TGIFImage empty;
  CopyPictureToClipboard(empty);
  EXPECT_TRUE(clip->Formats().empty());
}

// A run-length bitmap of no width holds its codes but no pixels (header:
// width 0, height 1, 8 bits, BI_RLE8, image size 2, one colour; then the
// colour and the end-of-bitmap code 00 01): pasted as a GIF picture it
// gives no frame, rather than a frame over pixels that are not there.
TEST_F(PictureClipboard, ARunLengthBitmapOfNoWidthPastesAsNoFrame) {
  const TDataBlock block = BlockOf(
      "28 00 00 00  00 00 00 00  01 00 00 00  01 00  08 00  01 00 00 00  02 00 00 00"
      "  00 00 00 00  00 00 00 00  01 00 00 00  00 00 00 00   00 00 00 00   00 01");
  ASSERT_TRUE(clip->Open());
  ASSERT_EQ(clip->SetData(kClipFormatDib, block), block);
  ASSERT_TRUE(clip->Close());
  TGIFImage image;
  PastePictureFromClipboard(image, kClipFormatDib);
  EXPECT_TRUE(image.Empty());
}

// The icon of TinyIcon's layout, 24 bits, 2 x 1: pixel 0 red (00 00 ff),
// pixel 1 set in the AND mask (row 40 00 00 00). Read as 24-bit pixels
// with palette method 0 the colours are red and, drawn over black, black
// (in the order the reduction gives them); the mask then adds black once
// more as the transparent index 2.
TEST_F(PictureClipboard, AnIconBecomesAFrameWithItsOwnMask) {
  std::vector<uint8_t> file = FromHex("00 00 01 00 01 00  02 01 00 00 01 00 18 00  34 00 00 00  16 00 00 00"
                                      "  28 00 00 00 02 00 00 00 02 00 00 00 01 00 18 00"
                                      "  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                      "  00 00 ff  00 00 00  00 00   40 00 00 00");
  TKsMemoryStream stream(file);
  EXPECT_EQ(IconImageCount(stream), 1);
  TDIBSurface icon;
  TPoint hotspot{};
  bool has_alpha = false;
  int64_t key = -1;
  DecodeIconEntry(icon, stream, 0, hotspot, has_alpha, true, key);
  TGIFImage image;
  image.PaletteMethod = 0;
  auto frame = std::make_unique<TGIFSubImage>(image);
  frame->AssignIcon(icon);
  EXPECT_EQ(frame->Width(), 2);
  ASSERT_EQ(frame->ColorMap.Count(), 3);
  EXPECT_EQ(frame->TransparentIndex(), 2);
  EXPECT_EQ(frame->Data[1], 2);
  EXPECT_EQ(frame->ColorMap.ColorAt(frame->Data[0]), 0x0000FFu);
  EXPECT_EQ(frame->ColorMap.ColorAt(2), 0u);
  // An icon whose mask covers nothing stays opaque.
  file[file.size() - 4] = 0;
  TKsMemoryStream opaque_stream(file);
  DecodeIconEntry(icon, opaque_stream, 0, hotspot, has_alpha, true, key);
  frame->AssignIcon(icon);
  EXPECT_EQ(frame->TransparentIndex(), -1);
  EXPECT_EQ(frame->ColorMap.Count(), 2);
}

// CompactBeforeWrite compacts as the picture data is written (here the
// clean-up drops a comment and a graphic control that carries nothing);
// without it the data is the file as it stands.
TEST_F(PictureClipboard, CompactBeforeWriteCompactsWhatWriteDataWrites) {
  auto image = TwoFrames();
  auto comment = std::make_unique<TGIFCommentExtension>(image->Frame(0));
  comment->Text = {"made by a test"};
  image->Frame(0).AddExtension(std::move(comment));
  const std::vector<uint8_t> plain = FileOf(*image);
  TKsMemoryStream as_is;
  image->WriteData(as_is);
  EXPECT_EQ(as_is.Bytes(), plain);
  image->CompactBeforeWrite = true;
  TKsMemoryStream compacted;
  image->WriteData(compacted);
  EXPECT_LT(compacted.Bytes().size(), plain.size());
  EXPECT_TRUE(image->Frame(0).Extensions.empty());
}

// RenderAfterDecode renders every frame's bitmap as it is decoded; by
// default a frame has none until asked.
TEST_F(PictureClipboard, RenderAfterDecodeRendersEachFrameAsItIsRead) {
  auto image = TwoFrames();
  const std::vector<uint8_t> file = FileOf(*image);
  for (bool render : {false, true}) {
    TGIFImage read;
    read.RenderAfterDecode = render;
    TKsMemoryStream s(file);
    read.LoadFromStream(s);
    ASSERT_EQ(read.Count(), 2);
    for (int32_t i = 0; i < 2; ++i) {
      EXPECT_EQ(read.Frame(i).HasBitmap(), render);
      const TGIFRenderedFrame fresh = RenderFrame(read.Frame(i), false);
      EXPECT_EQ(read.Frame(i).Bitmap().Rgb, fresh.Rgb);
    }
  }
}

}  // namespace
}  // namespace orba
