// How the text controls look, the same for every back end: the lines laid
// out through the installed glyph source (the game's glyph cache), each line
// as high as the font's ascent and descent, the one-line control's line in
// the middle of its height; and the painting of a control (its background,
// the text, the selection, the blinking caret, what an input method
// composes, the memo's scroll bar) in game pixels. The SDL back end paints
// each control into a texture scaled with the picture; the headless window
// paints them into its picture, so screenshots show them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text_controls.h"

namespace orba {

// One character of a laid-out line, X from the line's start.
struct TControlRun {
  size_t Offset = 0;
  uint16_t Code = 0;
  int32_t X = 0, Advance = 0;
};

// A shown line: its bytes [Start, End) (with its break) and where it is
// drawn in the control.
struct TControlLine {
  size_t Start = 0, End = 0;
  std::vector<TControlRun> Runs;
  int32_t X = 0, Y = 0;
};

// The gaps between a control's edges and its text, and the memo's bar.
constexpr int32_t kControlPadX = 2, kControlPadY = 1;
constexpr int32_t kControlScrollBarWidth = 12;

// The height of one line: the font's ascent and descent, or its height
// without a glyph source.
int32_t ControlLineHeight(const TTextControlFont& font);
// How many whole lines a memo shows (at least 1).
int32_t ControlRows(const TTextControl& c);
// The lines shown, from the memo's top line; a one-line control scrolls its
// text (ScrollX) so that the caret is in view.
std::vector<TControlLine> ShownControlLines(TTextControl& c);
// The byte offset nearest a point of the control (its own coordinates).
size_t ControlOffsetAt(TTextControl& c, int32_t x, int32_t y);

// The memo's scroll bar: the track from Left to the control's right edge,
// the thumb from ThumbTop to ThumbBottom; no thumb while every line shows.
struct TControlScrollBar {
  bool Shown = false;
  int32_t Left = 0;
  bool HasThumb = false;
  int32_t ThumbTop = 0, ThumbBottom = 0;
  int32_t Lines = 0, Rows = 0;
};
TControlScrollBar ControlScrollBar(const TTextControl& c);
// The top line that puts the thumb's top at Y.
int32_t ControlTopLineForThumb(const TTextControl& c, int32_t thumb_top);

// Game pixels 0x00RRGGBB: Pixels[0] shows the point (X0, Y0) of the control
// being painted, W x H of them, Stride apart.
struct TControlCanvas {
  uint32_t* Pixels = nullptr;
  int32_t Stride = 0;
  int32_t X0 = 0, Y0 = 0, W = 0, H = 0;
};
// Paints the control whole over the canvas (it covers its rectangle).
void PaintTextControl(TTextControl& c, const TTextControlGroup& group, const TControlCanvas& canvas);
// Paints every visible control of the group over a picture of the game's
// size (Width x Height pixels, Stride apart), in creation order.
void PaintTextControls(TTextControlGroup& group, uint32_t* pixels, int32_t width, int32_t height, int32_t stride);

// A one-line Shift-JIS text laid out as the controls lay theirs out (for
// other windows that show text the same way): its width, and its painting
// in RGB with the line's top-left at (X, Y), cut at ClipRight, in the
// canvas's coordinates.
int32_t ControlTextWidth(const std::string& text, const TTextControlFont& font);
void PaintControlText(const TControlCanvas& canvas, const std::string& text, const TTextControlFont& font, int32_t x,
                      int32_t y, int32_t clip_right, uint32_t rgb);

}  // namespace orba
