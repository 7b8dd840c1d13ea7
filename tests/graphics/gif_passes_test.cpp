// A GIF animation across passes and draws: drawn again on the canvas and
// rectangle its painter already paints on, the animation goes on where it
// was (another canvas starts it over); with PaintFlags bit 7 every pass
// starts from the background under the first frame's area.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_painter.h"
#include "graphics/gif_frames_fixture.h"

namespace orba {
namespace {

using TRows = std::vector<std::vector<uint32_t>>;

// Red, green, blue, and the grey (Y) the second test's screen starts with.
constexpr uint32_t R = test::kRed, G = test::kGreen, B = test::kBlue, Y = 0x808080;

// Pumps the synchronisation until `done`; a painter that never gets there
// is ended by the test runner's own time limit.
template <typename TDone>
void PumpUntil(TDone done) {
  while (!done()) {
    GifSynchronizer().Pump();
    GifSynchronizer().WaitForCalls(5);
  }
}

// A threaded painter looping for ever on the canvas (bit 6) has shown two
// frames or more (a late step paints every frame that is due) when the
// picture is drawn again. On the same canvas and rectangle the painter goes
// on: no new start, and the next frame is the one after those shown (after
// frame 0 the screen is all red, after 1 green at x 1, after 2 blue at x 2
// too). On another canvas it is stopped and a new one starts with frame 0.
TEST(GifThreadedPainter, DrawAgainOnThePaintersCanvasGoesOnWithTheNextFrame) {
  const TRows after_frame = {{R, R, R}, {R, G, R}, {R, G, B}};
  for (const bool same : {true, false}) {
    SCOPED_TRACE(same ? "same canvas" : "another canvas");
    auto image = test::ThreeFrames(1, {3, 3, 3});
    image->PaintFlags = gif_paint::kThread | gif_paint::kAnimate | gif_paint::kLoop | gif_paint::kLoopForever |
                        gif_paint::kDirectPaint;
    TDIB canvas, other;
    canvas.SetSize(3, 1, 24);
    other.SetSize(3, 1, 24);
    TGIFCanvas target(canvas), other_target(other);
    TDIB* watched = &canvas;
    int32_t starts = 0;
    TRows shown;
    image->OnAnimationStart = [&] { ++starts; };
    image->OnAfterFrame = [&] { shown.push_back(test::Colors(*watched)); };
    const TRect rect{0, 0, 3, 1};
    image->Draw(target, rect);
    PumpUntil([&] { return shown.size() >= 2; });
    const size_t painted = shown.size();
    for (size_t k = 0; k < painted; ++k) ASSERT_EQ(shown[k], after_frame[k % 3]) << k;
    if (same) {
      image->Draw(target, rect);
    } else {
      watched = &other;
      image->Draw(other_target, rect);
    }
    EXPECT_EQ(image->PainterCount(), 1);
    PumpUntil([&] { return shown.size() > painted; });
    image->HaltAllPainters();
    EXPECT_EQ(starts, same ? 1 : 2);
    EXPECT_EQ(shown[painted], after_frame[same ? painted % 3 : 0]) << painted << " frames shown before";
  }
}

// Frame 0 is red at x 0 and transparent at x 1 and 2, drawn through its
// mask over a grey screen; frames 1 and 2 add green at x 1 and blue at x 2.
// With bit 7 each pass first puts back the grey under frame 0's area, so
// the second pass starts from red, grey, grey again; without it frame 0
// leaves the green and blue of the pass before. Alike on the canvas and on
// the composed bitmap.
TEST(GifDraw, ClearOnLoopPutsBackTheBackgroundUnderTheFirstFrameAtEachPass) {
  struct TCase {
    uint16_t clear;
    TRows shown;
  };
  const TCase cases[] = {
      {gif_paint::kClearOnLoop,
       {{R, Y, Y}, {R, G, Y}, {R, G, B}, {R, Y, Y}, {R, G, Y}}},
      {0,
       {{R, Y, Y}, {R, G, Y}, {R, G, B}, {R, G, B}, {R, G, B}}},
  };
  for (const TCase& c : cases) {
    for (const bool direct : {true, false}) {
      SCOPED_TRACE(testing::Message() << (c.clear ? "bit 7" : "no bit 7") << (direct ? " on the canvas" : " composed"));
      auto image = test::ThreeFrames(1, {3, 3, 3});
      TGIFSubImage& first = image->Frame(0);
      first.Data = {0, 3, 3};
      first.GraphicControl->TransparentIndex = 3, first.GraphicControl->SetTransparent(true);
      test::TFakeTimer timer;
      image->Timer = &timer;
      image->PaintFlags = gif_paint::kAnimate | gif_paint::kLoop | gif_paint::kLoopForever | gif_paint::kTransparent |
                          c.clear | (direct ? gif_paint::kDirectPaint : 0);
      TDIB canvas;
      canvas.SetSize(3, 1, 24);
      std::fill_n(canvas.GetRow(0), 9, uint8_t{0x80});
      TGIFCanvas target(canvas);
      TRows shown;
      image->OnAfterFrame = [&] {
        shown.push_back(test::Colors(direct ? canvas : *image->ComposedBitmap()));
        if (shown.size() == c.shown.size()) image->HaltAllPainters();
      };
      image->Draw(target, TRect{0, 0, 3, 1});
      EXPECT_EQ(shown, c.shown);
      EXPECT_EQ(test::Colors(canvas), c.shown.back());
    }
  }
}

}  // namespace
}  // namespace orba
