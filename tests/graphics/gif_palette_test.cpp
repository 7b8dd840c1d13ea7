// GIF palettes and copies: the colour table's capacity and its palette
// handles, the order in which a frame and a picture find their palettes,
// Assign giving a picture that writes the same file byte for byte, and the
// graphics Add makes into frames.
#include <gtest/gtest.h>

#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"
#include "graphics/palette.h"
#include "graphics/picture_fixtures.h"

namespace orba {
namespace {

std::vector<uint8_t> Save(TGIFImage& image) {
  TKsMemoryStream s;
  image.SaveToStream(s);
  return s.Bytes();
}

// The entries behind a handle as red, green, blue, flags.
std::vector<std::array<uint8_t, 4>> Entries(TPaletteHandle palette) {
  std::vector<std::array<uint8_t, 4>> out;
  const TPaletteItem* item = SharedPaletteManager().Find(palette);
  if (item == nullptr) return out;
  for (int32_t i = 0; i < item->EntryCount; ++i) {
    const TRGBQuad& q = item->Table[static_cast<size_t>(i)];
    out.push_back({q.Red, q.Green, q.Blue, q.Reserved});
  }
  return out;
}

TEST(GifColorMap, CapacityGrowsBy16Then32AndNeverShrinks) {
  TGIFColorMap map;
  EXPECT_EQ(map.Capacity(), 0);
  const std::pair<int32_t, int32_t> steps[] = {{1, 16}, {16, 16}, {17, 32}, {32, 32}, {33, 64}, {225, 256}, {256, 256}};
  for (const auto& [count, capacity] : steps) {
    while (map.Count() < count) map.Add(static_cast<uint32_t>(map.Count()));
    EXPECT_EQ(map.Capacity(), capacity) << count;
  }
  map.Clear();
  EXPECT_EQ(map.Capacity(), 256);
  TGIFColorMap read;
  TKsMemoryStream s(std::vector<uint8_t>(3 * 40, 7));
  read.LoadFromStream(s, 40);
  EXPECT_EQ(read.Capacity(), 64);
}

// Quads are blue, green, red; a palette made of a table marks each entry
// not to be collapsed and reads back as the same colours; a bitmap of 4
// bits lends its 16 table entries, one of 24 bits none.
TEST(GifColorMap, PaletteHandlesQuadTablesAndBitmapTables) {
  TGIFColorMap map;
  const TRGBQuad quads[2] = {{0x30, 0x20, 0x10, 0}, {0x03, 0x02, 0x01, 9}};
  map.LoadQuadTable(quads, 2);
  EXPECT_EQ(map.ColorAt(0), 0x302010u);
  EXPECT_EQ(map.ColorAt(1), 0x030201u);
  TPaletteHandle palette = map.MakePaletteHandle();
  EXPECT_EQ(Entries(palette), (std::vector<std::array<uint8_t, 4>>{{0x10, 0x20, 0x30, kPaletteNoCollapse},
                                                                   {0x01, 0x02, 0x03, kPaletteNoCollapse}}));
  TGIFColorMap back;
  back.LoadPaletteHandle(palette);
  EXPECT_EQ(std::vector<uint8_t>(back.Data(), back.Data() + 6), std::vector<uint8_t>(map.Data(), map.Data() + 6));
  SharedPaletteManager().ReturnPalette(palette);
  back.LoadPaletteHandle(palette);  // 0 now: no colours
  EXPECT_EQ(back.Count(), 0);
  EXPECT_EQ(TGIFColorMap().MakePaletteHandle(), 0u);

  TDIB four;
  four.SetSize(2, 1, 4);
  for (int32_t i = 0; i < 16; ++i) four.ColorTable[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), 0, 0, 0};
  four.CommitTable();
  map.LoadDIBColorTable(four);
  ASSERT_EQ(map.Count(), 16);
  EXPECT_EQ(map.ColorAt(15), 0x0F0000u);
  TDIB wide;
  wide.SetSize(2, 1, 24);
  map.LoadDIBColorTable(wide);
  EXPECT_EQ(map.Count(), 0);
}

// A frame's palette: its local table's (kept until the table changes);
// without a local table the picture's (the global table's); through the
// cube rendering the 216 colours; with no table anywhere an error.
TEST(GifPalette, FrameAndPictureFindTheirPalettesInOrder) {
  TGIFImage image;
  image.ScreenWidth = image.ScreenHeight = 1;
  image.PaintFlags = 0;
  image.GlobalColorMap.Add(0x0000FF);
  for (int32_t k = 0; k < 2; ++k) {
    auto f = std::make_unique<TGIFSubImage>(image);
    f->SetFrameRect(0, 0, 1, 1);
    image.Add(std::move(f));
  }
  TGIFSubImage& local = image.Frame(1);
  local.ColorMap.Add(0x00FF00);
  const TPaletteHandle first = local.GetPalette();
  EXPECT_EQ(Entries(first), (std::vector<std::array<uint8_t, 4>>{{0, 0xFF, 0, kPaletteNoCollapse}}));
  EXPECT_EQ(local.GetPalette(), first);  // cached
  local.ColorMap.Add(0xFF0000);
  EXPECT_EQ(Entries(local.GetPalette()).size(), 2u);  // the change dropped the old one

  EXPECT_EQ(Entries(image.Frame(0).GetPalette()), (std::vector<std::array<uint8_t, 4>>{{0xFF, 0, 0, kPaletteNoCollapse}}));
  EXPECT_EQ(image.Frame(0).GetPalette(), image.GetPalette());

  TGIFImage cube;
  cube.PaintFlags = gif_paint::kDither;
  cube.Add(std::make_unique<TGIFSubImage>(cube));
  cube.Frame(0).ColorMap.Add(0x123456);
  const auto entries = Entries(cube.Frame(0).GetPalette());
  ASSERT_EQ(entries.size(), 216u);
  EXPECT_EQ(entries[36 * 1 + 6 * 2 + 3], (std::array<uint8_t, 4>{51, 102, 153, 0}));
  EXPECT_EQ(Entries(cube.GetPalette()).size(), 216u);

  TGIFImage none;
  none.PaintFlags = 0;
  none.Add(std::make_unique<TGIFSubImage>(none));
  EXPECT_EQ(test::ErrorOf<GIFException>([&] { none.GetPalette(); }), std::string(gif_text::kNoColorTable));
  TGIFImage empty;
  EXPECT_EQ(empty.GetPalette(), 0u);
}

// SetPalette: the picture keeps the palette given and drops its composed
// bitmap; GetPalette then answers it.
TEST(GifPalette, SetPaletteReplacesTheCachedOne) {
  TGIFImage image;
  image.PaintFlags = 0;
  image.GlobalColorMap.Add(0x0000FF);
  const TGIFColorMap other = [] {
    TGIFColorMap m;
    m.Add(0x00FF00);
    return m;
  }();
  const TPaletteHandle given = other.MakePaletteHandle();
  image.SetPalette(given);
  EXPECT_EQ(image.GetPalette(), given);
  EXPECT_EQ(Entries(given).size(), 1u);
  image.SetPalette(0);
  EXPECT_EQ(Entries(given).size(), 0u);  // handed back
  EXPECT_EQ(Entries(image.GetPalette()), (std::vector<std::array<uint8_t, 4>>{{0xFF, 0, 0, kPaletteNoCollapse}}));
}

// A picture of two frames with local and global tables, a transparent
// index, a loop, a comment, interlacing and odd header values: the copy
// writes the same bytes and takes the painting options along.
TEST(GifAssign, CopyWritesTheSameFileByteForByte) {
  TGIFImage image;
  image.ScreenWidth = 5, image.ScreenHeight = 3;
  image.BackgroundIndex = 1, image.AspectRatio = 49;
  for (uint32_t c : {0x000000u, 0xFFFFFFu, 0x123456u}) image.GlobalColorMap.Add(c);
  auto first = std::make_unique<TGIFSubImage>(image);
  first->SetFrameRect(0, 0, 5, 3);
  for (size_t i = 0; i < first->Data.size(); ++i) first->Data[i] = static_cast<uint8_t>(i % 3);
  auto loop = std::make_unique<TGIFAppExtNSLoop>(*first);
  loop->Loops = 7;
  first->AddExtension(std::move(loop));
  auto comment = std::make_unique<TGIFCommentExtension>(*first);
  comment->Text = {"two frames"};
  first->AddExtension(std::move(comment));
  image.Add(std::move(first));
  auto second = std::make_unique<TGIFSubImage>(image);
  second->SetFrameRect(1, 1, 3, 2);
  for (uint32_t c : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0x777777u, 0x010203u}) second->ColorMap.Add(c);
  for (size_t i = 0; i < second->Data.size(); ++i) second->Data[i] = static_cast<uint8_t>(4 - i % 5);
  second->SetInterlaced(true);
  auto& control = second->EnsureGraphicControl();
  control.Delay = 25, control.SetDisposal(2), control.TransparentIndex = 3, control.SetTransparent(true);
  image.Add(std::move(second));
  image.PainterPriority = 5, image.BackdropColor = 0x00112233, image.PaintFlags = 0x0123;
  image.PaletteMethod = 8, image.DitherKind = 4;

  const std::vector<uint8_t> bytes = Save(image);
  TGIFImage read;
  TKsMemoryStream s(bytes);
  read.LoadFromStream(s);
  read.PainterPriority = 5, read.BackdropColor = 0x00112233, read.PaintFlags = 0x0123;
  read.PaletteMethod = 8, read.DitherKind = 4;
  for (TGIFImage* source : {&image, &read}) {
    TGIFImage copy;
    copy.Add(std::make_unique<TGIFSubImage>(copy));  // replaced by the copy
    copy.Assign(*source);
    EXPECT_EQ(Save(copy), bytes);
    EXPECT_EQ((std::array<int64_t, 5>{copy.PainterPriority, copy.BackdropColor, copy.PaintFlags, copy.PaletteMethod,
                                      copy.DitherKind}),
              (std::array<int64_t, 5>{5, 0x00112233, 0x0123, 8, 4}));
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Frame(1).TransparentIndex(), 3);
  }
}

// Add: a bitmap becomes a frame with its table; another GIF picture adds
// its first frame as composed on its screen.
TEST(GifAssign, AddMakesFramesOfBitmapsAndPictures) {
  TGIFImage image;
  TDIB bitmap;
  bitmap.SetSize(2, 1, 8);
  bitmap.ColorTable[0] = {0, 0, 0xFF, 0}, bitmap.ColorTable[1] = {0xFF, 0, 0, 0};
  bitmap.CommitTable();
  bitmap.SetPixel(0, 0, 1);
  bitmap.SetPixel(1, 0, 0);
  EXPECT_EQ(image.Add(bitmap), 0);
  EXPECT_EQ(image.Frame(0).Data, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(image.Frame(0).ColorMap.ColorAt(1), 0xFF0000u);

  TGIFImage other;
  other.ScreenWidth = 2, other.ScreenHeight = 1;
  other.GlobalColorMap.Add(0x00FF00);
  auto f = std::make_unique<TGIFSubImage>(other);
  f->SetFrameRect(1, 0, 1, 1);
  other.Add(std::move(f));
  EXPECT_EQ(image.Add(other), 1);
  const TGIFSubImage& added = image.Frame(1);
  ASSERT_EQ((std::array<int32_t, 2>{added.Width(), added.Height()}), (std::array<int32_t, 2>{2, 1}));
  // The screen is black where no frame covers it.
  EXPECT_EQ(added.ColorMap.ColorAt(added.Data[0]), 0u);
  EXPECT_EQ(added.ColorMap.ColorAt(added.Data[1]), 0x00FF00u);
}

}  // namespace
}  // namespace orba
