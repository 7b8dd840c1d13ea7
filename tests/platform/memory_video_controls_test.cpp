// The headless window's picture with text controls painted into it: it
// shows what the game's whole picture with every visible control painted
// over it shows, while copying only the pixels under the controls (kept
// aside and put back), and nothing at all while no control is visible.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/headless/memory_video.h"
#include "platform/text_controls.h"
#include "platform/text_controls_view.h"

namespace orba {
namespace {

constexpr int32_t kW = 40, kH = 30;

class MemoryVideoControls : public ::testing::Test {
 protected:
  void SetUp() override {
    video.CreateWindow(kW, kH, "controls");
    video.SetTextControls(&group);
    field = group.Create(false);
    field->SetBounds(4, 4, 12, 8);
    field->SetBackColor(0x00A0B0);
    field->SetText("ab");
  }
  // A frame whose pixels differ from the last one's, presented with one
  // dirty rectangle, copied from a buffer of the caller's or painted in
  // place into the window's picture.
  void PresentStep(const TScreenRect& dirty, bool in_place) {
    ++step_;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) frame_[static_cast<size_t>(y * kW + x)] = static_cast<uint32_t>(step_ * 0x10101 + y * kW + x);
    for (int32_t y = std::max(dirty.Top, 0); y < std::min(dirty.Bottom, kH); ++y)
      for (int32_t x = std::max(dirty.Left, 0); x < std::min(dirty.Right, kW); ++x)
        game_[static_cast<size_t>(y * kW + x)] = frame_[static_cast<size_t>(y * kW + x)];
    if (in_place) {
      // The game paints its dirty rectangle alone into the window's picture.
      const TFrameBuffer target = video.PresentBuffer();
      ASSERT_NE(target.Pixels, nullptr);
      for (int32_t y = std::max(dirty.Top, 0); y < std::min(dirty.Bottom, kH); ++y)
        for (int32_t x = std::max(dirty.Left, 0); x < std::min(dirty.Right, kW); ++x)
          target.Pixels[y * kW + x] = game_[static_cast<size_t>(y * kW + x)];
      video.Present({target.Pixels, kW, kH, kW}, {dirty});
    } else {
      video.Present({frame_.data(), kW, kH, kW}, {dirty});
    }
  }
  // The game's picture copied whole with every visible control over it.
  std::vector<uint32_t> Expected() {
    std::vector<uint32_t> shown = game_;
    PaintTextControls(group, shown.data(), kW, kH, kW);
    return shown;
  }

  TMemoryVideo video;
  TStateTextControls group;
  std::unique_ptr<TTextControl> field;
  std::vector<uint32_t> game_ = std::vector<uint32_t>(kW * kH, 0);
  std::vector<uint32_t> frame_ = std::vector<uint32_t>(kW * kH, 0);
  uint32_t step_ = 0;
};

TEST_F(MemoryVideoControls, WithoutAVisibleControlNothingIsCopied) {
  video.RepaintTextControls();
  for (bool in_place : {false, true}) {
    PresentStep({0, 0, kW, kH}, in_place);
    PresentStep({2, 3, 30, 20}, in_place);
  }
  video.RepaintTextControls();
  EXPECT_EQ(video.Picture(), game_);
  EXPECT_EQ(video.ControlCopyPixels(), 0u);
}

// Each case presents dirty rectangles after the control (12 x 8) was shown
// and counts the pixels copied for it: none away from the control; under
// it, the pixels the present did not paint anew are put back and the
// control's are kept aside again.
TEST_F(MemoryVideoControls, AShownControlCopiesOnlyItsOwnRectangle) {
  struct TCase {
    const char* what;
    TScreenRect dirty;
    uint64_t copied;
  };
  const std::vector<TCase> cases = {
      {"apart", {20, 10, 30, 20}, 0},
      {"partly off the window", {35, 25, 50, 40}, 0},
      {"turned around", {10, 8, 2, 6}, 0},
      // 2 x 2 of the control's pixels painted anew.
      {"under the control's corner", {0, 0, 6, 6}, 92 + 96},
      {"over the whole control", {0, 0, 20, 20}, 0 + 96},
  };
  field->SetVisible(true);
  video.RepaintTextControls();
  EXPECT_EQ(video.ControlCopyPixels(), 96u) << "the first paint keeps the control's pixels aside";
  EXPECT_EQ(video.Picture(), Expected());
  for (const TCase& c : cases) {
    for (bool in_place : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (in_place ? " in place" : " copied"));
      const uint64_t before = video.ControlCopyPixels();
      PresentStep(c.dirty, in_place);
      EXPECT_EQ(video.ControlCopyPixels() - before, c.copied);
      EXPECT_EQ(video.Picture(), Expected());
    }
  }
  // A still window copies nothing more.
  const uint64_t still = video.ControlCopyPixels();
  for (int i = 0; i < 3; ++i) video.RepaintTextControls();
  EXPECT_EQ(video.ControlCopyPixels(), still);
}

// The control's own changes: typed text, a move (the old place shows the
// game again), hiding it (the game's picture is the shown one) and
// showing it again.
TEST_F(MemoryVideoControls, ControlChangesShowAsAWholeRepaintWould) {
  field->SetVisible(true);
  PresentStep({0, 0, kW, kH}, false);
  auto check = [&](const char* what) {
    video.RepaintTextControls();
    EXPECT_EQ(video.Picture(), Expected()) << what;
  };
  field->SetText("abc");
  check("typed");
  field->SetBounds(20, 15, 10, 10);
  check("moved");
  PresentStep({0, 0, 8, 8}, true);
  check("the old place presented");
  field->SetVisible(false);
  check("hidden");
  EXPECT_EQ(video.Picture(), game_);
  PresentStep({22, 16, 26, 18}, false);
  field->SetVisible(true);
  check("shown again");
  // An overlay (a film frame of one colour) reaching under the control:
  // the control shows over it, and over the game's picture once it goes.
  const std::vector<uint32_t> film(4, 0xFF0A0B0C);
  video.SetOverlays({{{film.data(), 2, 2, 2}, {0, 0, 2, 2}, {18, 13, 24, 19}, 1}});
  std::vector<uint32_t> overlaid = game_;
  for (int32_t y = 13; y < 19; ++y)
    for (int32_t x = 18; x < 24; ++x) overlaid[static_cast<size_t>(y * kW + x)] = 0x0A0B0C;
  PaintTextControls(group, overlaid.data(), kW, kH, kW);
  EXPECT_EQ(video.Picture(), overlaid) << "overlaid";
  video.SetOverlays({});
  check("the overlay gone");
}

}  // namespace
}  // namespace orba
