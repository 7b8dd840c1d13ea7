// Drawing a GIF picture: the animation a painter plays through Draw (frame
// N shown after the delays of the frames before it, each disposal method,
// in the caller's thread on a fake timer), threaded painters (painting only
// where the synchronisation is pumped, stopped at once by a halt, their
// errors raised when freed), the composed bitmap of later draws, and a
// painter that stops when its canvas goes.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_painter.h"
#include "graphics/gif_frames_fixture.h"
#include "graphics/picture_fixtures.h"

namespace orba {
namespace {

using test::Colors;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;
using test::TFakeTimer;
using test::ThreeFrames;

// Frame 1's disposal decides what frame 2 is drawn over: kept (0, 1),
// restored to the background (2) or to the screen before it (3). Delays:
// frame 0 asks for 1 unit (raised to 3: 36 ms), frame 1 for 2000 (lowered
// to 1000 without a thread: 12 s, slept in steps of 100 ms); the first
// frame waits 1 unit (12 ms).
TEST(GifDraw, FrameNShowsAfterTheDelaysOfTheFramesBeforeWithEachDisposal) {
  struct TCase {
    int32_t disposal;
    std::vector<uint32_t> last;
  };
  const TCase cases[] = {{0, {kRed, kGreen, kBlue}},
                         {1, {kRed, kGreen, kBlue}},
                         {2, {kRed, kWhite, kBlue}},
                         {3, {kRed, kRed, kBlue}}};
  for (const TCase& c : cases) {
    for (const bool direct : {false, true}) {
      SCOPED_TRACE(testing::Message() << "disposal " << c.disposal << (direct ? " on the canvas" : " composed"));
      auto image = ThreeFrames(c.disposal, {1, 2000, 0});
      TFakeTimer timer;
      image->Timer = &timer;
      image->PaintFlags = gif_paint::kAnimate | (direct ? gif_paint::kDirectPaint : 0);
      TDIB canvas;
      canvas.SetSize(3, 1, 24);
      TGIFCanvas target(canvas);
      std::vector<std::pair<uint32_t, std::vector<uint32_t>>> shown;
      image->OnAfterFrame = [&] {
        TDIB& painted = direct ? canvas : *image->ComposedBitmap();
        shown.emplace_back(timer.now - 1000, Colors(painted));
      };
      int32_t ends = 0;
      image->OnAnimationEnd = [&] { ++ends; };
      image->Draw(target, TRect{0, 0, 3, 1});
      const std::vector<std::pair<uint32_t, std::vector<uint32_t>>> expected = {
          {12, {kRed, kRed, kRed}}, {48, {kRed, kGreen, kRed}}, {12048, c.last}};
      EXPECT_EQ(shown, expected);
      EXPECT_EQ(Colors(canvas), c.last);
      EXPECT_EQ(ends, 1);
      EXPECT_EQ(timer.sleeps.size(), 2u + 120u);
      EXPECT_EQ(*std::max_element(timer.sleeps.begin(), timer.sleeps.end()), 100u);
      EXPECT_EQ(image->PainterCount(), 0);
      EXPECT_EQ(image->ComposedBitmap() != nullptr, !direct);
    }
  }
}

// Without bit 2, or with one frame, Draw shows the first frame and starts
// no painter; once an animation has composed its bitmap, a later Draw only
// stretches (or tiles) it.
TEST(GifDraw, FirstFrameOnlyAndLaterDrawsOfTheComposedBitmap) {
  auto image = ThreeFrames(1, {3, 3, 3});
  TFakeTimer timer;
  image->Timer = &timer;
  int32_t starts = 0;
  image->OnAnimationStart = [&] { ++starts; };
  image->PaintFlags = 0x068B;  // the default: no animation
  TDIB canvas;
  canvas.SetSize(3, 1, 24);
  TGIFCanvas target(canvas);
  image->Draw(target, TRect{0, 0, 3, 1});
  EXPECT_EQ(Colors(canvas), (std::vector<uint32_t>{kRed, kRed, kRed}));
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(image->ComposedBitmap(), nullptr);

  image->PaintFlags = gif_paint::kAnimate;
  image->Draw(target, TRect{0, 0, 3, 1});
  ASSERT_EQ(starts, 1);
  TDIB wide;
  wide.SetSize(6, 2, 24);
  TGIFCanvas wide_target(wide);
  image->Draw(wide_target, TRect{0, 0, 6, 2});
  EXPECT_EQ(Colors(wide, 1), (std::vector<uint32_t>{kRed, kRed, kGreen, kGreen, kBlue, kBlue}));
  image->PaintFlags = gif_paint::kAnimate | gif_paint::kTile;
  TDIB tiles;
  tiles.SetSize(5, 1, 24);
  TGIFCanvas tile_target(tiles);
  image->Draw(tile_target, TRect{0, 0, 5, 1});
  EXPECT_EQ(Colors(tiles), (std::vector<uint32_t>{kRed, kGreen, kBlue, kRed, kGreen}));
  EXPECT_EQ(starts, 1);
  // Clearing the picture frees the composed bitmap.
  image->Clear();
  EXPECT_EQ(image->ComposedBitmap(), nullptr);
}

// With bit 5 a painter looks at its canvas's device context before each
// frame painted through its buffers, and stops when it is gone; without
// bit 5 it paints on.
TEST(GifDraw, PainterStopsWhenItsCanvasIsGone) {
  for (const bool check : {false, true}) {
    auto image = ThreeFrames(2, {3, 3, 3});
    TFakeTimer timer;
    image->Timer = &timer;
    image->PaintFlags = gif_paint::kAnimate | gif_paint::kDirectPaint | (check ? gif_paint::kValidateCanvas : 0);
    TDIB canvas;
    canvas.SetSize(3, 1, 24);
    TGIFCanvas target(canvas);
    int32_t frames = 0, ends = 0;
    image->OnAfterFrame = [&] {
      if (++frames == 1) target.ReleaseDC();
    };
    image->OnAnimationEnd = [&] { ++ends; };
    image->Draw(target, TRect{0, 0, 3, 1});
    EXPECT_EQ(frames, check ? 1 : 3) << check;
    // A stopped painter fires no more events.
    EXPECT_EQ(ends, check ? 0 : 1) << check;
  }
}

// An error in a painter without a thread ends the animation and comes out
// of Draw, which freed the painter.
TEST(GifDraw, ErrorOfAPainterWithoutAThreadComesOutOfDraw) {
  auto image = ThreeFrames(1, {3, 3, 3});
  TFakeTimer timer;
  image->Timer = &timer;
  image->PaintFlags = gif_paint::kAnimate;
  image->OnBeforeFrame = [] { throw std::runtime_error("handler failed"); };
  TDIB canvas;
  canvas.SetSize(3, 1, 24);
  TGIFCanvas target(canvas);
  EXPECT_THROW(image->Draw(target, TRect{0, 0, 3, 1}), std::runtime_error);
  EXPECT_EQ(image->PainterCount(), 0);
}

// Pumps the synchronisation until `done` or about ten seconds have passed.
template <typename TDone>
bool PumpUntil(TDone done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    GifSynchronizer().Pump();
    GifSynchronizer().WaitForCalls(5);
  }
  return true;
}

// Halts in another thread; false when that did not end within ten seconds.
bool HaltEnds(TGIFImage& image) {
  auto halted = std::async(std::launch::async, [&] { image.HaltAllPainters(); });
  const bool ended = halted.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (ended) halted.get();
  return ended;
}

// A threaded painter paints and fires its events only in the thread that
// pumps the synchronisation, looping for ever over short delays (3 units).
TEST(GifThreadedPainter, PaintsOnlyWherePumpedAndLoopsUntilHalted) {
  auto image = ThreeFrames(1, {3, 3, 3});
  image->PaintFlags = gif_paint::kThread | gif_paint::kAnimate | gif_paint::kLoop | gif_paint::kLoopForever |
                      gif_paint::kDirectPaint;
  TDIB canvas;
  canvas.SetSize(3, 1, 24);
  TGIFCanvas target(canvas);
  const std::thread::id here = std::this_thread::get_id();
  std::vector<uint32_t> seen;  // the colour at x = 2 after each frame
  bool elsewhere = false;
  image->OnAfterFrame = [&] {
    elsewhere |= std::this_thread::get_id() != here;
    seen.push_back(Colors(canvas)[2]);
  };
  image->Draw(target, TRect{0, 0, 3, 1});
  ASSERT_EQ(image->PainterCount(), 1);
  // Drawn again on the same canvas and rectangle: the painter goes on.
  image->Draw(target, TRect{0, 0, 3, 1});
  EXPECT_EQ(image->PainterCount(), 1);
  ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 5; }));
  image->HaltAllPainters();
  EXPECT_EQ(image->PainterCount(), 0);
  EXPECT_FALSE(elsewhere);
  // Frames 0, 1, 2, then 0 and 1 again: blue appears with frame 2 only.
  EXPECT_EQ(std::vector<uint32_t>(seen.begin(), seen.begin() + 5),
            (std::vector<uint32_t>{kRed, kRed, kBlue, kRed, kRed}));
}

// A halt ends a threaded painter's wait at once: at speed 0 it would wait
// for ever, and with a delay of 1000 units twelve seconds. Halting the
// painter of Draw alone does the same.
TEST(GifThreadedPainter, HaltEndsTheWaitOfADelay) {
  struct TCase {
    int32_t speed;
    uint16_t delay;
    bool draw_painter_only;
  };
  for (const TCase c : {TCase{0, 3, false}, TCase{100, 1000, false}, TCase{100, 1000, true}}) {
    SCOPED_TRACE(testing::Message() << "speed " << c.speed << " delay " << c.delay);
    auto image = ThreeFrames(1, {c.delay, c.delay, c.delay});
    image->SpeedPercent = c.speed;
    image->PaintFlags = gif_paint::kThread | gif_paint::kAnimate;
    TDIB canvas;
    canvas.SetSize(3, 1, 24);
    TGIFCanvas target(canvas);
    int32_t frames = 0;
    image->OnAfterFrame = [&] { ++frames; };
    // Draw waits for the first frame and shows it.
    image->Draw(target, TRect{0, 0, 3, 1});
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(Colors(canvas), (std::vector<uint32_t>{kRed, kRed, kRed}));
    ASSERT_EQ(image->PainterCount(), 1);
    if (c.draw_painter_only) {
      auto halted = std::async(std::launch::async, [&] { image->HaltDrawPainter(); });
      ASSERT_EQ(halted.wait_for(std::chrono::seconds(10)), std::future_status::ready);
      EXPECT_NE(image->ComposedBitmap(), nullptr);
    } else {
      ASSERT_TRUE(HaltEnds(*image));
      EXPECT_EQ(image->ComposedBitmap(), nullptr);
    }
    EXPECT_EQ(image->PainterCount(), 0);
    EXPECT_EQ(frames, 1);
  }
}

// An error raised in a threaded painter (here by an event handler, which
// runs where the synchronisation is pumped and hands the error back to the
// painter) ends it, and is raised by the halt that frees it, once.
TEST(GifThreadedPainter, ErrorIsRaisedWhenThePainterIsFreed) {
  auto image = ThreeFrames(1, {3, 3, 3});
  image->PaintFlags = gif_paint::kThread | gif_paint::kAnimate | gif_paint::kLoop | gif_paint::kLoopForever;
  int32_t frames = 0;
  image->OnAfterFrame = [&] {
    if (++frames == 2) throw std::runtime_error("handler failed");
  };
  TDIB canvas;
  canvas.SetSize(3, 1, 24);
  TGIFCanvas target(canvas);
  image->Draw(target, TRect{0, 0, 3, 1});
  ASSERT_TRUE(PumpUntil([&] { return image->PainterCount() == 0; }));
  EXPECT_EQ(frames, 2);
  try {
    image->HaltAllPainters();
    ADD_FAILURE() << "the painter's error was not raised";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "handler failed");
  }
  EXPECT_NO_THROW(image->HaltAllPainters());
}

// An event handler that clears the picture (which halts its painters) ends
// the painter that called it, in the caller's thread or its own, without
// touching the frames it freed.
TEST(GifThreadedPainter, HandlerThatClearsThePictureEndsItsPainter) {
  for (const bool threaded : {false, true}) {
    SCOPED_TRACE(threaded ? "threaded" : "in the caller's thread");
    auto image = ThreeFrames(3, {3, 3, 3});
    TFakeTimer timer;
    image->Timer = &timer;
    image->PaintFlags = gif_paint::kAnimate | gif_paint::kLoop | gif_paint::kLoopForever | gif_paint::kDirectPaint |
                        (threaded ? gif_paint::kThread : 0);
    int32_t before = 0, after = 0;
    image->OnBeforeFrame = [&] {
      if (++before == 2) image->Clear();
    };
    image->OnAfterFrame = [&] { ++after; };
    TDIB canvas;
    canvas.SetSize(3, 1, 24);
    TGIFCanvas target(canvas);
    image->Draw(target, TRect{0, 0, 3, 1});
    ASSERT_TRUE(PumpUntil([&] { return image->PainterCount() == 0; }));
    EXPECT_EQ(std::pair(before, after), std::pair(2, 1));
    EXPECT_TRUE(image->Empty());
    EXPECT_NO_THROW(image->HaltAllPainters());
  }
}

// A new screen width or height stops the painters first, also when the
// frames refuse the size.
TEST(GifThreadedPainter, SizeChangesStopThePainters) {
  for (const int32_t height : {4, 0}) {
    auto image = ThreeFrames(1, {1000, 1000, 1000});
    image->PaintFlags = gif_paint::kThread | gif_paint::kAnimate;
    TDIB canvas;
    canvas.SetSize(3, 1, 24);
    TGIFCanvas target(canvas);
    image->Draw(target, TRect{0, 0, 3, 1});
    ASSERT_EQ(image->PainterCount(), 1);
    const std::string error = test::ErrorOf<GIFException>([&] { image->SetHeight(height); });
    EXPECT_EQ(error, height == 0 ? gif_text::kHeightTooSmall : "no error") << height;
    EXPECT_EQ(image->PainterCount(), 0) << height;
    EXPECT_EQ(image->ComposedBitmap(), nullptr) << height;
  }
}

// A one-frame picture never starts a painter, whatever the flags.
TEST(GifThreadedPainter, OneFramePictureStartsNone) {
  auto image = ThreeFrames(1, {3, 3, 3});
  image->Frames.resize(1);
  TFakeTimer timer;
  image->Timer = &timer;
  image->PaintFlags = gif_paint::kThread | gif_paint::kAnimate | gif_paint::kLoopForever;
  TDIB canvas;
  canvas.SetSize(3, 1, 24);
  TGIFCanvas target(canvas);
  EXPECT_EQ(image->SpawnPainter(target, TRect{0, 0, 3, 1}, image->PaintFlags, nullptr), nullptr);
  EXPECT_EQ(image->PainterCount(), 0);
  TGIFSpawnedPainter* owner = reinterpret_cast<TGIFSpawnedPainter*>(&canvas);
  EXPECT_EQ(image->SpawnPainter(target, TRect{0, 0, 0, 1}, image->PaintFlags, &owner), nullptr);
  EXPECT_EQ(owner, nullptr);
}

}  // namespace
}  // namespace orba
