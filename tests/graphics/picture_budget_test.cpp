// The picture budget at its edges, and pictures decoded straight at the
// depth their holder keeps: the same pixels as the decode at their own
// depth, one copy held, and a picture over the budget refused from its
// header before its surfaces are made.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "core/system/heap_watch.h"
#include "graphics/brix.h"
#include "graphics/dibx.h"
#include "graphics/jpeg_codec.h"
#include "graphics/picture_budget.h"
#include "graphics/png_codec.h"
#include "support/picture_makers.h"

namespace orba {
namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

TEST(PictureBudget, SurfaceBytesPadRowsAndHoldFifteenBitsAsSixteen) {
  // Rows padded to 4 bytes: 3 pixels of 24 bits take 9 bytes, padded to 12;
  // 33 pixels of 1 bit take 5 bytes, padded to 8; 15 bits counts 2 bytes.
  const std::vector<std::tuple<int64_t, int64_t, int32_t, int64_t>> cases = {
      {3, 5, 24, 60},  {33, 2, 1, 16}, {3, 1, 15, 8}, {8192, 8192, 32, 256 * kMiB},
      {-1, 1, 8, -1},  {1, -1, 8, -1}, {1, 1, 0, -1}, {int64_t{1} << 32, 1, 8, -1},
  };
  for (const auto& [w, h, bits, bytes] : cases) EXPECT_EQ(SurfaceBytes(w, h, bits), bytes) << w << "x" << h << "@" << bits;
}

TEST(PictureBudget, RefusesTheSurfaceThatWouldPassTheCapAndCountsNothingOfIt) {
  struct Case {
    const char* What;
    int32_t Held;
    int32_t Width, Height, Bits;
    bool Kept;
    int64_t Total;  // -1: refused
  };
  const Case cases[] = {
      // 8192 x 8192 at 32 bits is the cap itself.
      {"largest at 32 bits", 0, 8192, 8192, 32, true, 256 * kMiB},
      {"largest at 32 held at 32", 32, 8192, 8192, 32, true, 256 * kMiB},
      // 8192 x 8192 at 24 bits kept at 32 is both: 192 + 256 MiB.
      {"24 bits copied to 32", 32, 8192, 8192, 24, true, -1},
      {"24 bits read as is", 32, 8192, 8192, 24, false, 192 * kMiB},
      // 1 bit kept at 32: 1024 + 32768 bytes a row; 2^28 / 33792 = 7943.8.
      {"1 bit copied to 32 fits", 32, 8192, 7943, 1, true, 7943 * (1024 + 32768)},
      {"1 bit copied to 32 one row more", 32, 8192, 7944, 1, true, -1},
      {"a row of 2^31 pixels", 0, INT32_MAX, 1, 8, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TPictureBudget budget(c.Held);
    if (c.Total < 0) {
      EXPECT_THROW(c.Kept ? budget.ChargeKept(c.Width, c.Height, c.Bits) : budget.ChargeAsRead(c.Width, c.Height, c.Bits),
                   EPictureTooLarge);
      EXPECT_EQ(budget.Total(), 0);
    } else {
      c.Kept ? budget.ChargeKept(c.Width, c.Height, c.Bits) : budget.ChargeAsRead(c.Width, c.Height, c.Bits);
      EXPECT_EQ(budget.Total(), c.Total);
    }
  }
  // What is left is the limit for the next surface, to the byte.
  TPictureBudget budget;
  budget.ChargeWork(kMinPictureBytes - 64);
  budget.ChargeAsRead(8, 8, 8);  // 64 bytes
  EXPECT_EQ(budget.Total(), kMinPictureBytes);
  EXPECT_THROW(budget.ChargeWork(1), EPictureTooLarge);
  EXPECT_THROW(budget.ChargeWork(INT64_MAX), EPictureTooLarge);
  EXPECT_EQ(budget.Total(), kMinPictureBytes);
}

// One picture may take a quarter of the heap ceiling in force, never less
// than the largest picture at 32 bits; a budget keeps the limit it was made
// with, and its refusal names it.
TEST(PictureBudget, TheLimitIsAQuarterOfTheHeapCeilingAndAtLeastTheLargestPicture) {
  struct Case {
    uint64_t Ceiling;
    int64_t Limit;
  };
  const Case cases[] = {
      {0, 256 * kMiB},                        // no ceiling
      {64 * kMiB, 256 * kMiB},                // a small ceiling given for a test
      {1024 * kMiB, 256 * kMiB},              // where the quarter meets the least
      {1024 * kMiB + 4, 256 * kMiB + 1},      // then follows the ceiling
      {1280 * kMiB, 320 * kMiB},              //
      {3072 * kMiB, 768 * kMiB},              // the most a machine's ceiling is
      {UINT64_MAX, INT64_MAX / 2},            // no overflow
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Ceiling);
    SetHeapCeiling(c.Ceiling);
    EXPECT_EQ(MaxPictureBytes(), c.Limit);
    TPictureBudget budget;
    EXPECT_EQ(budget.Limit(), c.Limit);
    budget.ChargeWork(c.Limit - 8);
    SetHeapCeiling(0);  // a budget made keeps its limit
    budget.ChargeWork(8);
    EXPECT_EQ(budget.Total(), c.Limit);
    try {
      budget.ChargeWork(1);
      ADD_FAILURE() << "a byte past the limit was taken";
    } catch (const EPictureTooLarge& e) {
      EXPECT_EQ(std::string(e.what()), "picture refused: its surfaces need more than " + std::to_string(c.Limit) + " bytes");
    }
  }
}

// The buffers planes are unpacked into come one after another: only the
// largest counts, growing the total by what it passes the last largest.
TEST(PictureBudget, PlaneBuffersCountOnlyTheLargest) {
  TPictureBudget budget;
  const std::pair<int64_t, int64_t> steps[] = {{100, 100}, {40, 100}, {100, 100}, {250, 250}, {0, 250}};
  for (const auto& [bytes, total] : steps) {
    budget.ChargePlaneWork(bytes);
    EXPECT_EQ(budget.Total(), total) << bytes;
  }
  budget.ChargeAsRead(8, 8, 8);  // 64 bytes beside them
  EXPECT_EQ(budget.Total(), 314);
  EXPECT_THROW(budget.ChargePlaneWork(kMinPictureBytes), EPictureTooLarge);
  EXPECT_EQ(budget.Total(), 314);
}

// A small RGB(A) picture whose samples all differ.
std::vector<uint8_t> SmallPng(bool alpha) {
  return test::MakePng(37, 23, 8, alpha ? 6 : 2, [&](uint32_t y, std::vector<uint8_t>& row) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>((y * 131 + i * 7) * 2654435761u >> 24);
  });
}

TEST(PictureBudget, ColourPngKeptAtThirtyTwoBitsIsDecodedThereAndGivenAwayWhole) {
  for (const bool alpha : {false, true}) {
    SCOPED_TRACE(alpha);
    const std::vector<uint8_t> bytes = SmallPng(alpha);
    TKsMemoryStream plain_in(bytes), wide_in(bytes);
    TBrixFrameList plain, wide;
    wide.HeldBitCount = 32;
    plain.LoadFromStream(plain_in, false, false, false);
    wide.LoadFromStream(wide_in, false, false, false);
    TBrixFrame& a = *plain.GetFrame(0);
    TBrixFrame& b = *wide.GetFrame(0);
    ASSERT_EQ(a.Surface.GetBitCount(), 24);
    ASSERT_EQ(b.Surface.GetBitCount(), 32);
    EXPECT_EQ(a.HasAlpha(), alpha);
    EXPECT_EQ(b.HasAlpha(), alpha);
    // Copied the old way and given away the new: the same surfaces.
    TDIBX copied, given, copied_mask, given_mask;
    copied.SetSize(1, 1, 32);
    given.SetSize(1, 1, 32);
    a.CopyToDIBX(copied);
    a.CopyAlphaToDIBX(copied_mask);
    const uint8_t* pixels = b.Surface.PeekTopRow();
    const uint8_t* decoded = b.Surface.Alpha() != nullptr ? b.Surface.Alpha()->PeekTopRow() : nullptr;
    b.MoveAlphaToDIBX(given_mask);
    b.MoveToDIBX(given);
    EXPECT_EQ(given.Surface().PeekTopRow(), pixels) << "the pixels were copied";
    EXPECT_TRUE(b.Surface.Empty());
    EXPECT_FALSE(b.HasAlpha());
    ASSERT_EQ(given.Width(), 37);
    ASSERT_EQ(given.Height(), 23);
    for (int32_t y = 0; y < 23; ++y)
      for (int32_t x = 0; x < 37; ++x) {
        ASSERT_EQ(given.GetPixel(x, y), copied.GetPixel(x, y)) << x << "," << y;
        if (alpha) {
          ASSERT_EQ(given_mask.GetPixel(x, y), copied_mask.GetPixel(x, y)) << x << "," << y;
        }
      }
    if (alpha) {
      EXPECT_EQ(given_mask.Surface().PeekTopRow(), decoded) << "the plane was copied";
    }
  }
}

TEST(PictureBudget, JpegKeptAtThirtyTwoBitsHasTheColoursOfTheTwentyFourBitDecode) {
  const std::vector<uint8_t> jpeg = test::MakeProgressiveJpeg(45, 29, [](int x, int y, uint8_t* rgb) {
    rgb[0] = static_cast<uint8_t>(x * 5);
    rgb[1] = static_cast<uint8_t>(y * 8);
    rgb[2] = static_cast<uint8_t>((x ^ y) * 9);
  });
  TDIBSurface narrow, wide;
  narrow.LoadJpeg(jpeg.data(), jpeg.size());
  wide.LoadJpeg(jpeg.data(), jpeg.size(), 32);
  ASSERT_EQ(wide.GetBitCount(), 32);
  for (int32_t y = 0; y < 29; ++y)
    for (int32_t x = 0; x < 45; ++x) ASSERT_EQ(wide.GetPixel(x, y), narrow.GetPixel(x, y)) << x << "," << y;
}

TEST(PictureBudget, JpegPlanNamesTheCoefficientsOfAProgressivePicture) {
  // 64 x 48 at 4:2:0: luma 8 x 6 blocks (whole 2 x 2 units), each chroma
  // 4 x 3 blocks; 72 blocks of 64 two-byte coefficients.
  const std::vector<uint8_t> progressive =
      test::MakeProgressiveJpeg(64, 48, [](int x, int y, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(x + y); });
  TJpegImage image{64, 48, 3, std::vector<uint8_t>(64 * 48 * 3, 90)};
  const std::vector<uint8_t> baseline = EncodeJpeg(image, 80);
  for (const auto& [bytes, work] : {std::pair{progressive, int64_t{72 * 128}}, std::pair{baseline, int64_t{0}}}) {
    int64_t told = -1;
    TDIBSurface s;
    s.LoadJpeg(bytes.data(), bytes.size(), 32, [&](int32_t w, int32_t h, int32_t bits, int64_t work_bytes) {
      EXPECT_EQ(w, 64);
      EXPECT_EQ(h, 48);
      EXPECT_EQ(bits, 32);
      told = work_bytes;
    });
    EXPECT_EQ(told, work);
  }
}

TEST(PictureBudget, PicturesOverTheCapAreRefusedFromTheirHeaders) {
  // RGBA 8192 x 6554 kept at 32 bits: 6554 rows of 32768 + 8192 bytes,
  // 33 KB over the cap (6553 rows would fit). The data is junk: the
  // refusal comes before a row is inflated.
  std::vector<uint8_t> png = test::PngHead(8192, 6554, 8, 6);
  test::PutPngChunk(png, "IDAT", std::vector<uint8_t>(8000, 0x5A));
  test::PutPngChunk(png, "IEND", {});
  TKsMemoryStream in(png);
  TBrixFrameList list;
  list.HeldBitCount = 32;
  EXPECT_THROW(list.LoadFromStream(in, false, false, false), EPictureTooLarge);
  EXPECT_EQ(list.Count(), 0);

  // An 8-bit BMP of 8192 x 8192 (a header alone): 64 MiB as read and
  // 256 MiB as kept. The same at 4096 x 4096 is read.
  for (const auto& [side, refused] : {std::pair{8192, true}, std::pair{4096, false}}) {
    std::vector<uint8_t> bmp = {'B', 'M'};
    const auto put = [&bmp](uint32_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) bmp.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(0, 4), put(0, 4), put(14 + 40 + 1024, 4);                    // file size, reserved, pixels at
    put(40, 4), put(side, 4), put(side, 4), put(1, 2), put(8, 2);  // info header: size, width, height, planes, bits
    put(1, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4);  // RLE8, sizes, resolution, colours
    bmp.resize(bmp.size() + 1024 + 4096, 0);                          // the palette and runs of nothing
    bmp.insert(bmp.end(), {0, 1});                                    // the end of the picture
    TKsMemoryStream bin(bmp);
    TBrixFrameList bmp_list;
    bmp_list.HeldBitCount = 32;
    if (refused) {
      EXPECT_THROW(bmp_list.LoadFromStream(bin, false, false, false), EPictureTooLarge);
    } else {
      bmp_list.LoadFromStream(bin, false, false, false);
      EXPECT_EQ(bmp_list.GetFrame(0)->Surface.Width(), 4096);
    }
  }

  // A progressive 8192 x 8192 JPEG: 192 MiB of coefficients and 256 MiB of
  // picture.
  std::vector<uint8_t> jpeg =
      test::MakeProgressiveJpeg(512, 512, [](int x, int y, uint8_t* rgb) { const uint32_t h = (static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u) * 2654435761u;
        rgb[0] = static_cast<uint8_t>(h >> 8), rgb[1] = static_cast<uint8_t>(h >> 16), rgb[2] = static_cast<uint8_t>(h >> 24); });
  test::SetJpegSize(jpeg, 8192, 8192);
  TKsMemoryStream jin(jpeg);
  EXPECT_THROW(list.LoadFromStream(jin, false, false, false), EPictureTooLarge);
}

TEST(PictureBudget, AMaskPassingTheBudgetIsRefusedBeforeItsPlanesAreMade) {
  // 1 bit, 8192 x 7943, kept at 32 bits: 255.75 MiB, within the budget; a
  // mask's plane of 62 MiB is not.
  const std::vector<uint8_t> bytes = test::MakePng(8192, 7943, 1, 0, [](uint32_t, std::vector<uint8_t>&) {});
  TKsMemoryStream in(bytes);
  TBrixFrameList list;
  list.HeldBitCount = 32;
  list.LoadFromStream(in, false, false, false);
  EXPECT_THROW(list.TransparentToAlpha(false), EPictureTooLarge);
  EXPECT_FALSE(list.GetFrame(0)->HasAlpha());
  // A small one takes its plane.
  TKsMemoryStream small(SmallPng(false));
  list.LoadFromStream(small, false, false, false);
  list.TransparentToAlpha(false);
  EXPECT_TRUE(list.GetFrame(0)->HasAlpha());
}

}  // namespace
}  // namespace orba
