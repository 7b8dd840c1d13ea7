// The headless window's picture with text controls over it: it shows what
// copying the game's whole picture and painting every visible control over
// it shows, while taking from the game's picture only what changed, and
// nothing at all while no control is visible.
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
      const TFrameBuffer target = video.PresentBuffer();
      ASSERT_NE(target.Pixels, nullptr);
      std::copy(game_.begin(), game_.end(), target.Pixels);
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

// Each case presents dirty rectangles after the control was shown and
// counts the pixels taken from the game's picture for them.
TEST_F(MemoryVideoControls, AShownControlTakesOnlyWhatChanged) {
  struct TCase {
    const char* what;
    TScreenRect dirty;
    uint64_t copied;
  };
  const std::vector<TCase> cases = {
      // Away from the control: the rectangle alone.
      {"apart", {20, 10, 30, 20}, 100},
      // Partly off the window: the part on it.
      {"at the edge", {35, 25, 50, 40}, 25},
      // Under the control: the rectangle, then the control's own (12 x 8)
      // under its new paint.
      {"under the control", {0, 0, 6, 6}, 36 + 96},
  };
  field->SetVisible(true);
  video.RepaintTextControls();
  EXPECT_EQ(video.ControlCopyPixels(), uint64_t{kW * kH}) << "the first paint takes the picture whole";
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
}

}  // namespace
}  // namespace orba
