// The window of a list to choose one line from, with a picture of the
// selected line beside it (the icon chooser): its layout, its state, how it
// answers the mouse and the keys, and its painting, the same for every back
// end. The SDL back end shows it in a small window of its own and feeds it
// SDL's events; the scripted back end drives it without a window.
//
// Layout (client pixels): the window 290 x 180; the list at (8, 8), 150 x
// 154; the picture at (180, 16), 100 x 100; the OK button at (200, 140),
// 80 x 26. The first line is selected and its picture shown when it opens.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dialogs.h"
#include "platform/text_controls.h"
#include "platform/window_canvas.h"

namespace orba {

// A rectangle of the window.
using TChoiceBox = TWindowBox;

class TChoiceWindow {
 public:
  static constexpr int32_t kWidth = 290, kHeight = 180;
  static constexpr TChoiceBox kList{8, 8, 150, 154};
  static constexpr TChoiceBox kPicture{180, 16, 100, 100};
  static constexpr TChoiceBox kOk{200, 140, 80, 26};
  // The window's colours, 0x00RRGGBB.
  static constexpr uint32_t kFace = kWindowFace, kWhite = kWindowWhite, kInk = kWindowInk, kFrame = kWindowFrame,
                            kHighlight = kWindowHighlight, kButton = kWindowButton, kButtonFrame = kWindowButtonFrame;

  // Opens on the request's first line (its picture asked for at once).
  explicit TChoiceWindow(const TChoiceRequest& request);

  int Selected() const { return selected_; }
  int TopLine() const { return top_; }
  // The picture shown: the Preview's answer for the selected line.
  const TChoicePicture& Picture() const { return picture_; }
  // Whether OK, Return, Escape or the window's close ended the choice.
  bool Closed() const { return closed_; }
  // How many lines the list shows at once (at least 1).
  int32_t Rows() const;
  // The height of one line of the list.
  int32_t LineHeight() const;

  // Selects a line (clamped to the list) and shows its picture when it
  // changed; the list scrolls to keep it in view.
  void Select(int line);
  // A press of the left button: a line of the list selects it, the OK
  // button closes.
  void Press(int32_t x, int32_t y);
  // A key (virtual-key code): Up, Down, Home, End, Page Up and Page Down
  // move the selection; Return and Escape close (a closed list keeps its
  // selection).
  void Key(int32_t vk);
  // Wheel notches over the list scroll it (positive: up).
  void Wheel(int32_t notches);
  // The window's close button: closes keeping the selection.
  void Close() { closed_ = true; }

  // The whole window, kWidth x kHeight pixels 0x00RRGGBB, rows top first.
  std::vector<uint32_t> Paint() const;

 private:
  void ScrollTo(int top);

  TChoiceRequest request_;
  TTextControlFont font_;
  int selected_ = -1;
  int top_ = 0;
  bool closed_ = false;
  TChoicePicture picture_;
};

}  // namespace orba
