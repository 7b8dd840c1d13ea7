// Brix pictures handed over frame by frame: every file of the independent
// writer (tiles copying from layers of earlier frames among them) gives the
// same frames handed over as read whole; layers no later tile copies from
// are gone when the next frame is read, and those a later tile copies from
// stay until it is read; the picture budget counts what the caller keeps
// and one frame's work.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "graphics/picture_budget.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using Fields = std::vector<std::string>;

// The "I" lines of the writer's manifest: name, file, code, frames, ambiguous.
std::vector<Fields> ImageLines(const std::string& manifest) {
  const test::CommandResult r = test::RunPython("fixtures/brix_fixture.py", {"lines", manifest});
  EXPECT_EQ(r.exit_code, 0);
  std::vector<Fields> out;
  std::stringstream in(r.output);
  for (std::string line, field; std::getline(in, line);) {
    if (line.rfind("I\t", 0) != 0) continue;
    std::stringstream fields(line);
    out.emplace_back();
    while (std::getline(fields, field, '\t')) out.back().push_back(field);
  }
  return out;
}

// Layers of frames before Index that still hold pixels.
int32_t LayersHeldBefore(TBrixFrameList& list, int32_t index) {
  int32_t held = 0;
  for (int32_t j = 0; j < index; ++j)
    for (int32_t k = 0; k < list.GetFrame(j)->LayerCount(); ++k) held += list.GetFrame(j)->GetLayer(k)->Surface->Empty() ? 0 : 1;
  return held;
}

TEST(BrixHandOver, EveryWritersFileGivesTheSameFramesHandedOverAsReadWhole) {
  const test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"make", dir.path()}).exit_code, 0);
  int32_t images = 0, kept_for_tiles = 0;
  for (const Fields& f : ImageLines(dir / "manifest.json")) {
    if (f[5] == "1") continue;  // a file the writer calls ambiguous
    SCOPED_TRACE(f[1]);
    const std::vector<uint8_t> bytes = test::ReadFileBytes(dir / f[2]);
    TBrixFrameList whole(std::stoi(f[3])), handed(std::stoi(f[3]));
    TKsMemoryStream a(bytes), b(bytes);
    whole.LoadFromStream(a, false, false, false);
    std::vector<TRgbaPicture> taken;
    bool tiled_refs_kept = false;
    handed.OnFrameRead = [&](TBrixFrame& frame) -> int64_t {
      const int32_t index = static_cast<int32_t>(taken.size());
      EXPECT_EQ(&frame, handed.GetFrame(index));
      taken.push_back(BrixFrameToRgba(frame));
      // Layers of earlier frames are kept only for tiles still to come.
      if (LayersHeldBefore(handed, index) > 0) tiled_refs_kept = true;
      return 0;
    };
    handed.LoadFromStream(b, false, false, false);
    ASSERT_EQ(static_cast<int32_t>(taken.size()), whole.Count());
    EXPECT_EQ(handed.Count(), whole.Count());
    for (int32_t i = 0; i < whole.Count(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(test::ComparePictures(taken[static_cast<size_t>(i)], BrixFrameToRgba(*whole.GetFrame(i))), "");
      EXPECT_TRUE(handed.GetFrame(i)->Surface.Empty());
    }
    ++images;
    kept_for_tiles += tiled_refs_kept ? 1 : 0;
  }
  EXPECT_GT(images, 10);
  // The writer's tiled files copy tiles from layers of earlier frames.
  EXPECT_GT(kept_for_tiles, 0);
}

// Three frames of one layer each, stored as whole rows: no frame copies
// from another, so no earlier layer is held when a frame is handed over.
TEST(BrixHandOver, LayersNoTileCopiesFromGoWithTheirFrame) {
  TBrixFrameList source;
  for (int32_t k = 0; k < 3; ++k) {
    TBrixLayer* layer = source.AddFrame()->AddLayer();
    layer->Surface->SetSize(16, 8, 24);
    layer->Surface->FillRect(layer->Surface->GetBounds(), 0x203040u * static_cast<uint32_t>(k + 1));
  }
  TKsMemoryStream out;
  source.SaveToStream(out, 0, 70);
  TBrixFrameList handed;
  std::vector<int32_t> held;
  handed.OnFrameRead = [&](TBrixFrame&) -> int64_t {
    held.push_back(LayersHeldBefore(handed, handed.Count() - 1));
    return 0;
  };
  TKsMemoryStream in(out.Bytes());
  handed.LoadFromStream(in, false, false, false);
  EXPECT_EQ(held, (std::vector<int32_t>{0, 0, 0}));
}

// A failure after frames were handed over leaves the list as it was, as a
// failed read always does.
TEST(BrixHandOver, AFailedReadKeepsTheListAsItWas) {
  TBrixFrameList source;
  for (int32_t k = 0; k < 2; ++k) {
    TBrixLayer* layer = source.AddFrame()->AddLayer();
    layer->Surface->SetSize(8, 8, 24);
  }
  TKsMemoryStream out;
  source.SaveToStream(out, 0, 70);
  std::vector<uint8_t> cut = out.Bytes();
  cut.resize(cut.size() - 12);  // the second frame ends early
  TBrixFrameList list;
  list.AddFrame()->Name = "kept";
  int32_t calls = 0;
  list.OnFrameRead = [&](TBrixFrame&) -> int64_t { return ++calls, 0; };
  TKsMemoryStream in(cut);
  EXPECT_THROW(list.LoadFromStream(in, false, false, false), EOrbaError);
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetFrame(0)->Name, "kept");
}

// What a picture holds after each frame was handed over, and the refusal
// when what is held passes the budget.
TEST(PictureBudget, SettleCountsWhatIsHeldInsteadOfTheFramesWork) {
  struct TCase {
    int64_t work, held, after_next;
    bool refused;
  };
  const TCase cases[] = {
      // A frame's work goes, what is kept stays, the next frame adds to it.
      {200 << 20, 10 << 20, (10 << 20) + (100 << 20), false},
      {100, 0, 100 << 20, false},
      // What is held alone may not pass the budget.
      {100, kMinPictureBytes + 1, 0, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.held);
    TPictureBudget budget;
    budget.ChargeWork(c.work);
    budget.ChargePlaneWork(1 << 20);
    if (c.refused) {
      EXPECT_THROW(budget.Settle(c.held), EPictureTooLarge);
      continue;
    }
    budget.Settle(c.held);
    EXPECT_EQ(budget.Total(), c.held);
    // The plane buffer of the next frame counts again.
    budget.ChargePlaneWork(100 << 20);
    EXPECT_EQ(budget.Total(), c.after_next);
  }
}

// Sizes from headers: padded rows, and -1 for what no bitmap can be (a
// row of the widest width times a tall height passes 64 bits).
TEST(PictureBudget, SurfaceBytesOfHeaderSizes) {
  struct TCase {
    int64_t width, height;
    int32_t bits;
    int64_t bytes;
  };
  const TCase cases[] = {{3, 2, 24, 24}, {5, 1, 1, 4}, {2, 2, 15, 8}, {1, -1, 8, -1},
                         {INT32_MAX, 1869771333, 32, -1}, {INT32_MAX, 1, 32, int64_t{INT32_MAX} * 4}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    EXPECT_EQ(SurfaceBytes(c.width, c.height, c.bits), c.bytes);
  }
  TPictureBudget budget;
  EXPECT_THROW(budget.ChargeAsRead(INT32_MAX, 1869771333, 32), EPictureTooLarge);
}

}  // namespace
}  // namespace orba
