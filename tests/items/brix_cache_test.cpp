// The picture cache and image cells over Brix files written by the Brix
// writer. The "images" game plays pictures and the dithering setting across
// runs; the "kinds" game a scrambled picture and a failed read in the trace.
#include <gtest/gtest.h>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "graphics/brix.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/image_cells.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Pixel (x, y) of frame f.
uint32_t Colour(int32_t f, int32_t x, int32_t y) {
  return static_cast<uint32_t>(((60 + 30 * x) << 16) | ((20 + 40 * y) << 8) | (100 + 50 * f));
}

// A folder of pictures behind a file layer, and the global cache reading
// from it.
class CacheFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.SetOverrideFolder(dir_.path());
    InitBrixCollection();
    cache().Files = &files_;
    saved_frame_time_ = FrameTime;
  }
  void TearDown() override {
    FinalBrixCollection();
    FrameTime = saved_frame_time_;
  }
  static TBrixCollection& cache() { return *BrixCollection(); }

  // Frames of W x H at 24 bits in the colours of Colour; keyed frames have
  // magenta, their key, in the first column.
  void WriteBrix(const std::string& name, const std::vector<int32_t>& delays, int32_t w, int32_t h, bool keyed) {
    TBrixFrameList image;
    for (size_t f = 0; f < delays.size(); ++f) {
      TBrixFrame* frame = image.AddFrame();
      frame->Delay = delays[f];
      frame->Surface.SetSize(w, h, 24);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          frame->Surface.SetPixel(x, y, keyed && x == 0 ? 0xFF00FF : Colour(static_cast<int32_t>(f), x, y));
      if (keyed) frame->TransparentPixel = frame->TransparentColor = 0xFF00FF;
    }
    TKsMemoryStream s;
    image.SaveToStream(s, 0, 70);
    test::WriteFileBytes(dir_ / name, s.TakeBytes());
  }

  test::TempDir dir_;
  TVrFileManager files_;
  int owner1_ = 0, owner2_ = 0;
  int32_t saved_frame_time_ = 0;
};

TEST_F(CacheFixture, OwnersShareOneDecodeAndTheLastOneFreesIt) {
  WriteBrix("a.brx", {0, 100, 50}, 4, 3, false);
  TBrixItem& first = cache().Acquire(&owner1_, "a.brx", false, false);
  EXPECT_EQ(&cache().Acquire(&owner2_, "A.BRX", false, false), &first);
  // Delays (a stored 0 becomes 1), total delay and size.
  ASSERT_EQ(first.GetFrameCount(), 3);
  EXPECT_EQ((std::vector<int32_t>{first.GetFrame(0)->Delay, first.TotalDelay, first.Width, first.Height}),
            (std::vector<int32_t>{1, 151, 4, 3}));
  EXPECT_EQ(first.GetFrame(2)->DIB->GetPixel(3, 2), Colour(2, 3, 2));
  EXPECT_EQ(first.GetFrame(0)->DIB->TransparentColor, -1);
  EXPECT_EQ(first.GetFrame(0)->Mask, nullptr);
  // The same owner twice is one owner.
  cache().Acquire(&owner1_, "a.brx", false, false);
  EXPECT_EQ(first.Owners.Count(), 2u);
  first.RemoveOwner(&owner1_);
  ASSERT_EQ(cache().Count(), 1);
  cache().GetBrix(0).RemoveOwner(&owner2_);
  EXPECT_EQ(cache().Count(), 0);
  EXPECT_EQ(cache().Acquire(&owner1_, "a.brx", false, false).GetFrameCount(), 3);
}

TEST_F(CacheFixture, VariantsAreEntriesOfTheirOwn) {
  WriteBrix("k.brx", {100}, 3, 2, true);
  TBrixItem& plain = cache().Acquire(&owner1_, "k.brx", false, false);
  TBrixItem& masked = cache().Acquire(&owner1_, "k.brx", true, true);
  EXPECT_NE(&plain, &masked);
  EXPECT_EQ(masked.Name(), "k.brx?m?t");
  EXPECT_EQ(&cache().Acquire(&owner1_, "k.brx", true, true), &masked);
  EXPECT_EQ(cache().Count(), 2);
  // Plain: keyed by the frame's colour, no mask.
  EXPECT_EQ(std::make_pair(plain.GetFrame(0)->ColorKey, plain.GetFrame(0)->DIB->TransparentColor),
            std::make_pair(0xFF00FF, 0xFF00FF));
  EXPECT_EQ(plain.GetFrame(0)->Mask, nullptr);
  // Mask: the key became alpha; trimmed to the visible columns 1..2.
  TBrixItemFrame& m = *masked.GetFrame(0);
  ASSERT_NE(m.Mask, nullptr);
  EXPECT_EQ((std::vector<int32_t>{m.OffsetX, m.OffsetY, m.DIB->Width(), masked.Width}),
            (std::vector<int32_t>{1, 0, 2, 3}));
  EXPECT_EQ(m.Mask->GetPixel(0, 0), 255u);
  EXPECT_EQ(m.DIB->GetPixel(0, 1), Colour(0, 1, 1));
}

TEST_F(CacheFixture, MissingFileGivesAnInvisiblePlaceholder) {
  TBrixItem& item = cache().Acquire(&owner1_, "none.brx", false, true);
  ASSERT_EQ(item.GetFrameCount(), 1);
  TBrixItemFrame& f = *item.GetFrame(0);
  // Size and delay of the item; size, depth, key and colour key of its frame.
  EXPECT_EQ((std::vector<int32_t>{item.Width, item.Height, item.TotalDelay, f.DIB->Width(), f.DIB->Height(),
                                  f.DIB->BitCount(), f.DIB->TransparentColor, f.ColorKey}),
            (std::vector<int32_t>{0, 0, 0, 8, 8, 32, 0, 0}));
  EXPECT_NE(f.Mask, nullptr);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(f.DIB->GetPixel(x, y), 0u);
  // Drawn onto a surface it changes nothing.
  TDIBX target;
  target.SetSize(8, 8, 32);
  target.Fill(0x123456);
  cache().Acquire(&owner1_, "none.brx", false, false).GetFrame(0)->Draw(target, 0, 0, {0, 0, 8, 8}, false, false, 255);
  EXPECT_EQ(target.GetPixel(4, 4), 0x123456u);
}

TEST_F(CacheFixture, AFailedDecodeIsNotKept) {
  test::WriteFileBytes(dir_ / "bad.brx", test::FromHex("42 72 69 78 31 30 36 28 00 00 00 01"));
  EXPECT_ANY_THROW(cache().Acquire(&owner1_, "bad.brx", false, false));
  EXPECT_EQ(cache().Count(), 0);
  // The next acquire reads the file again: once repaired it decodes.
  EXPECT_ANY_THROW(cache().Acquire(&owner1_, "bad.brx", false, false));
  WriteBrix("bad.brx", {100}, 2, 2, false);
  EXPECT_EQ(cache().Acquire(&owner1_, "bad.brx", false, false).Width, 2);
}

TEST_F(CacheFixture, ReleaseFileFreesOnlyReleasedEntries) {
  WriteBrix("r.brx", {100}, 2, 2, false);
  TBrixItem& held = cache().Acquire(&owner1_, "r.brx", false, false);
  cache().ReleaseList.push_back(&cache().Acquire(&owner1_, "r.brx", false, true));
  cache().ReleaseFile("r.brx");
  ASSERT_EQ(cache().Count(), 1);
  EXPECT_EQ(&cache().GetBrix(0), &held);
  // Acquiring takes an entry off the release list.
  cache().ReleaseList.push_back(&held);
  cache().Acquire(&owner1_, "r.brx", false, false);
  EXPECT_TRUE(cache().ReleaseList.empty());
}

// The dithering flag redecodes alike. It is saved from version 101 on, by
// the cache and by the status save's piece for it ("@CGDither"), which
// loads without redecoding, raises on a short stream changing nothing, and
// without a cache keeps the empty form's byte.
TEST_F(CacheFixture, DitherSettingIsSavedFromVersion101) {
  WriteBrix("d.brx", {100, 100}, 3, 3, true);
  TBrixItem& item = cache().Acquire(&owner1_, "d.brx", false, false);
  const uint32_t before = item.GetFrame(1)->DIB->GetPixel(2, 2);
  cache().SetDither(true);
  EXPECT_EQ(item.GetFrame(1)->DIB->GetPixel(2, 2), before);
  cache().RestoreSurfaces(true);
  EXPECT_EQ(item.GetFrame(1)->DIB->GetPixel(2, 2), before);
  EXPECT_EQ(item.GetFrame(1)->DIB->TransparentColor, 0xFF00FF);
  TKsMemoryStream s;
  cache().SaveToStream(s);
  EXPECT_EQ(test::ToHex(s.TakeBytes()), "01");
  TBrixCollection other;
  TKsMemoryStream old_stream(test::FromHex("01"));
  other.LoadFromStream(old_stream, 100);
  EXPECT_EQ(std::make_pair(other.Dither, old_stream.GetPosition()), std::make_pair(false, int64_t{0}));
  other.LoadFromStream(old_stream, 101);
  EXPECT_TRUE(other.Dither);

  TOrbaBaseList manager;
  TSaveSection& section = *manager.Services.ImageCacheSection();
  TKsMemoryStream off(test::FromHex("00")), empty;
  section.LoadFromStream(off, 103);
  EXPECT_FALSE(manager.GetCGDither());
  cache().Dither = true;
  section.LoadFromStream(empty, 100);
  EXPECT_TRUE(cache().Dither);
  EXPECT_THROW(section.LoadFromStream(empty, 101), EReadError);
  EXPECT_TRUE(cache().Dither);
  FinalBrixCollection();
  TKsMemoryStream none;
  section.SaveToStream(none);
  EXPECT_EQ(test::ToHex(none.TakeBytes()), "00");
  InitBrixCollection();
}

// ---- image cells ------------------------------------------------------------

TEST_F(CacheFixture, BrightnessShiftsVisiblePixelsAndKeepsTheKey) {
  WriteBrix("c.brx", {100}, 4, 3, true);
  TOrbaImageList list;
  list.LoadBrix(&owner1_, "c.brx", false);
  TOrbaImageData& cell = *list.GetCell(0);
  TCustomDIBX& cached = *cell.GetDIB();
  cell.SetBrightness(-40);
  ASSERT_NE(cell.GetDIB(), &cached);
  TCustomDIBX& own = *cell.GetDIB();
  auto sub = [](uint32_t c, int s) {
    uint32_t out = 0;
    for (int sh : {0, 8, 16}) out |= static_cast<uint32_t>(std::max(0, static_cast<int>((c >> sh) & 0xFF) - s)) << sh;
    return out;
  };
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 1; x < 4; ++x) EXPECT_EQ(own.GetPixel(x, y), sub(Colour(0, x, y), 40)) << x << "," << y;
  // The darkened magenta is the new key: drawn keyed, the first column
  // leaves the target as it was and the rest is the darkened picture.
  EXPECT_EQ(own.TransparentColor, static_cast<int32_t>(sub(0xFF00FF, 40)));
  TDIBX target;
  target.SetSize(4, 3, 32);
  target.Fill(0x010203);
  target.Draw(0, 0, own, own.GetBoundsRect(), own.TransparentColor != -1, false, false);
  EXPECT_EQ(std::make_pair(target.GetPixel(0, 1), target.GetPixel(2, 1)),
            std::make_pair(0x010203u, sub(Colour(0, 2, 1), 40)));
  // Back to 0 shows the cached frame; the cached frame was never touched.
  cell.SetBrightness(0);
  EXPECT_EQ(cell.GetDIB(), &cached);
  EXPECT_EQ(cached.GetPixel(2, 1), Colour(0, 2, 1));
  cell.SetBrightness(30);
  EXPECT_EQ(cell.GetDIB()->GetPixel(3, 2), Colour(0, 3, 2) + 0x1E1E1E);
  cell.FreeSurface();
  EXPECT_EQ(cell.GetDIB(), &cached);
  cell.RestoreSurface();
  EXPECT_EQ(cell.GetDIB()->GetPixel(3, 2), Colour(0, 3, 2) + 0x1E1E1E);
}

TEST_F(CacheFixture, FrameTimerAndIndex) {
  WriteBrix("t.brx", {100, 100, 100}, 2, 2, false);
  WriteBrix("one.brx", {100}, 2, 2, false);
  TOrbaImageList list, single;
  auto state = [&list] { return std::make_pair(list.Index, list.Remaining); };
  list.LoadBrix(&owner1_, "t.brx", false);
  EXPECT_EQ(state(), std::make_pair(0, 101));
  FrameTime = 250;
  EXPECT_TRUE(list.Step());
  EXPECT_EQ(state(), std::make_pair(2, 51));
  // A very long tick stops at the wrap, cell 0 starting afresh.
  FrameTime = 10000;
  EXPECT_TRUE(list.Step());
  EXPECT_EQ(state(), std::make_pair(0, 100));
  list.SetIndex(7);
  EXPECT_EQ(state(), std::make_pair(2, 101));
  EXPECT_EQ(list.GetCell(-1), nullptr);
  list.SetIndex(-3);
  EXPECT_EQ(state(), std::make_pair(-3, 101));
  single.LoadBrix(&owner1_, "one.brx", false);
  EXPECT_FALSE(single.Step());
  EXPECT_EQ(single.Index, 0);
  // Clearing gives the entries back.
  EXPECT_EQ(cache().Count(), 2);
  list.Clear();
  single.Clear();
  EXPECT_EQ(cache().Count(), 0);
}

}  // namespace
}  // namespace orba
