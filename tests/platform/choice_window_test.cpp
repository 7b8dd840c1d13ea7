// The chooser's window without a screen: how the selection follows keys,
// presses and the wheel, that the picture is asked for only when the
// selection changes, and where the painting puts the picture and the button.
#include "platform/choice_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orba {
namespace {

// A request of `count` lines whose picture is 1 x 1 of the line's number in
// red; `asked` collects the lines asked for.
TChoiceRequest Lines(int count, std::vector<int>* asked) {
  TChoiceRequest request;
  request.Title = "t";
  for (int i = 0; i < count; ++i) request.Lines.push_back("line " + std::to_string(i));
  request.Preview = [asked](int line) {
    if (asked != nullptr) asked->push_back(line);
    return TChoicePicture{1, 1, {static_cast<uint8_t>(line), 0, 0}};
  };
  return request;
}

constexpr int32_t kUp = 0x26, kDown = 0x28, kHome = 0x24, kEnd = 0x23, kPrior = 0x21, kNext = 0x22, kReturn = 13,
                  kEscape = 27, kLetterA = 0x41;

TEST(ChoiceWindow, KeysMoveTheSelectionWithinTheList) {
  struct Case {
    const char* name;
    std::vector<int32_t> keys;
    int selected;
    bool closed;
  };
  const TChoiceWindow sample(Lines(40, nullptr));
  const int page = sample.Rows() - 1;
  const Case cases[] = {
      {"opens on the first line", {}, 0, false},
      {"Down twice", {kDown, kDown}, 2, false},
      {"Up at the top stays", {kUp}, 0, false},
      {"End goes to the last", {kEnd}, 39, false},
      {"Down at the end stays", {kEnd, kDown}, 39, false},
      {"Home from the end", {kEnd, kHome}, 0, false},
      {"Page Down moves a page less one", {kNext}, page, false},
      {"Page Up at the top stays", {kPrior}, 0, false},
      {"other keys do nothing", {kLetterA}, 0, false},
      {"Return closes keeping the line", {kDown, kReturn}, 1, true},
      {"Escape closes keeping the line", {kDown, kDown, kEscape}, 2, true},
  };
  for (const Case& c : cases) {
    TChoiceWindow window(Lines(40, nullptr));
    for (int32_t key : c.keys) window.Key(key);
    EXPECT_EQ(window.Selected(), c.selected) << c.name;
    EXPECT_EQ(window.Closed(), c.closed) << c.name;
  }
}

TEST(ChoiceWindow, ThePictureIsAskedForOnlyWhenTheSelectionChanges) {
  std::vector<int> asked;
  TChoiceWindow window(Lines(3, &asked));
  window.Key(kUp);
  window.Select(0);
  window.Key(kDown);
  window.Key(kDown);
  window.Key(kDown);
  EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(window.Picture().Rgb, (std::vector<uint8_t>{2, 0, 0}));
}

TEST(ChoiceWindow, PressesPickALineOrCloseOnOk) {
  TChoiceWindow window(Lines(3, nullptr));
  const int32_t line_h = window.LineHeight();
  const int32_t x = TChoiceWindow::kList.Left + 20;
  const int32_t first = TChoiceWindow::kList.Top + 1;
  window.Press(x, first + 2 * line_h + 1);
  EXPECT_EQ(window.Selected(), 2);
  // Below the last line, on the list's frame and beside the list: nothing.
  window.Press(x, first + 3 * line_h + 1);
  window.Press(TChoiceWindow::kList.Left, first + 1);
  window.Press(170, first + 1);
  EXPECT_EQ(window.Selected(), 2);
  EXPECT_FALSE(window.Closed());
  window.Press(TChoiceWindow::kOk.Left + 40, TChoiceWindow::kOk.Top + 13);
  EXPECT_TRUE(window.Closed());
  EXPECT_EQ(window.Selected(), 2);
}

TEST(ChoiceWindow, TheListScrollsToKeepTheSelectionInView) {
  TChoiceWindow window(Lines(40, nullptr));
  const int rows = window.Rows();
  window.Key(kEnd);
  EXPECT_EQ(window.TopLine(), 40 - rows);
  window.Key(kHome);
  EXPECT_EQ(window.TopLine(), 0);
  window.Wheel(-3);
  EXPECT_EQ(window.TopLine(), 3);
  window.Wheel(100);
  EXPECT_EQ(window.TopLine(), 0);
  window.Wheel(-100);
  EXPECT_EQ(window.TopLine(), 40 - rows);
  // A press on the first line shown picks the line scrolled to.
  window.Press(TChoiceWindow::kList.Left + 20, TChoiceWindow::kList.Top + 2);
  EXPECT_EQ(window.Selected(), 40 - rows);
  // A short list does not scroll.
  TChoiceWindow two(Lines(2, nullptr));
  two.Wheel(-5);
  EXPECT_EQ(two.TopLine(), 0);
}

TEST(ChoiceWindow, PaintsThePictureInItsPlaceAndTheButton) {
  TChoiceRequest request = Lines(2, nullptr);
  request.Preview = [](int) {
    TChoicePicture p{100, 100, std::vector<uint8_t>(100 * 100 * 3, 0)};
    p.Rgb[(99 * 100 + 99) * 3] = 0x80;  // the bottom-right pixel
    return p;
  };
  const std::vector<uint32_t> pixels = TChoiceWindow(request).Paint();
  ASSERT_EQ(pixels.size(), size_t{TChoiceWindow::kWidth} * TChoiceWindow::kHeight);
  auto at = [&](int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * TChoiceWindow::kWidth + x]; };
  struct Probe {
    int32_t x, y;
    uint32_t want;
    const char* where;
  };
  const Probe probes[] = {
      {0, 0, TChoiceWindow::kFace, "the window's face"},
      {180, 16, 0x000000, "the picture's top-left"},
      {279, 115, 0x800000, "the picture's bottom-right"},
      {280, 115, TChoiceWindow::kFace, "right of the picture"},
      {179, 16, TChoiceWindow::kFace, "left of the picture"},
      {8, 8, TChoiceWindow::kFrame, "the list's frame"},
      {157, 161, TChoiceWindow::kFrame, "the list's far corner"},
      {150, 150, TChoiceWindow::kWhite, "the list below its lines"},
      {200, 140, TChoiceWindow::kButtonFrame, "the button's frame"},
      {202, 142, TChoiceWindow::kButton, "the button's face"},
  };
  for (const Probe& p : probes) EXPECT_EQ(at(p.x, p.y), p.want) << p.where;
  // Without a picture the place is white.
  const std::vector<uint32_t> blank = TChoiceWindow(TChoiceRequest{"t", {"a"}, nullptr}).Paint();
  EXPECT_EQ(blank[16 * TChoiceWindow::kWidth + 180], TChoiceWindow::kWhite);
}

}  // namespace
}  // namespace orba
