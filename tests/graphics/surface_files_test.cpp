// Drawing surfaces loaded from BMP, PNG and Brix streams by their first
// bytes, from BMP files, and saved as 24-bit BMP files.
#include "graphics/surface_files.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "brix_test_util.h"
#include "graphics/dibx.h"

namespace orba {
namespace {

std::vector<uint8_t> BmpBytes(int32_t bits, uint32_t pixel) {
  TDIBSurface s;
  s.SetSize(3, 2, bits);
  s.SetPixel(1, 0, pixel);
  TKsMemoryStream out;
  s.SaveToStream(out);
  return out.TakeBytes();
}

TEST(SurfaceFiles, StreamsAreToldApartByTheirFirstBytesAndKeepTheSurfaceDepth) {
  TDIBX surface;
  surface.SetSize(1, 1, 16);
  TKsMemoryStream bmp(BmpBytes(24, 0xF81008));
  bmp.SetPosition(2);  // read from position 0 whatever the position
  LoadDIBXFromStream(surface, &bmp, 0);
  EXPECT_EQ((std::array<uint32_t, 3>{uint32_t(surface.Width()), uint32_t(surface.BitCount()), surface.GetPixel(1, 0)}),
            (std::array<uint32_t, 3>{3, 16, 0xF881}));

  TRgbaPicture rgba{2, 1, {0xF8, 0x10, 0x08, 255, 0, 0, 0, 255}};
  TKsMemoryStream png;
  SaveRgbaAsPng(rgba, png);
  TDIBX deep;
  deep.SetSize(1, 1, 32);
  LoadDIBXFromStream(deep, &png, 0);
  EXPECT_EQ(deep.Width(), 2);
  EXPECT_EQ(deep.GetPixel(0, 0) & 0xFFFFFF, 0xF81008u);

  // Unknown bytes and a null stream leave the surface as it was.
  TKsMemoryStream other(test::Bytes("GIF89a......"));
  LoadDIBXFromStream(deep, &other, 0);
  LoadDIBXFromStream(deep, nullptr, 0);
  EXPECT_EQ(deep.Width(), 2);
}

TEST(SurfaceFiles, ABrixStreamGivesItsFirstFrameOnly) {
  TBrixFrameList image(77);
  for (int i = 0; i < 5; ++i) {
    TBrixFrame* frame = image.AddFrame();
    frame->Surface.SetSize(4 + i, 3, 24);
    frame->Surface.FillRect(frame->Surface.GetBounds(), 0x010203u * static_cast<uint32_t>(i + 1));
  }
  TKsMemoryStream stream(brixtest::SaveBytes(image, 0));
  TDIBX surface;
  surface.SetSize(1, 1, 24);
  LoadDIBXFromStream(surface, &stream, 77);
  EXPECT_EQ(surface.Width(), 4);
  EXPECT_EQ(surface.GetPixel(3, 2), 0x010203u);
}

TEST(SurfaceFiles, BmpFilesInAndOut) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "in.Bmp", BmpBytes(8, 1));
  TDIBX surface;
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
  TDIB saved;
  saved.LoadFromFile(dir / "picture.BMP");
  EXPECT_EQ((std::pair{saved.BitCount(), saved.GetPixel(2, 1)}), (std::pair{24, 0x123456u}));
}

}  // namespace
}  // namespace orba
