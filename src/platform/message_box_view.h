// A message box drawn by the player itself, the same for every back end:
// its layout (the text's lines above a band of buttons), its state (the
// focused and the pressed button, the answer), how it answers keys and the
// mouse, and its painting with the glyphs of the installed glyph source
// (the fonts the player draws its text controls with, so Japanese reads
// wherever the player's fonts are). The SDL back end shows it in a small
// window of its own; tests paint it without a window.
//
// Buttons: a label's "&" marks the next letter as the button's key (shown
// underlined, "&&" shows "&"); the first button has the focus. Return and
// Space press the focused button, Escape and the window's close button
// answer as EscapeAnswer says, Left, Right, Up, Down and Tab (Shift+Tab
// back) move the focus round the buttons, a button's letter presses it. A
// click is a press and a release on the same button.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/text_controls.h"
#include "platform/window_canvas.h"

namespace orba {

// One button of a box.
struct TMessageBoxButton {
  std::string Label;        // Shift-JIS, as shown: "&" marks taken out
  char Key = 0;             // the letter after "&" in upper case, or 0
  size_t KeyOffset = 0;     // where that letter is in Label
  TDialogResult Result;
};

// Which words the standard buttons show: a desktop's own boxes speak its
// user's language.
enum class TButtonLanguage : uint8_t { Japanese, English };
// The language of the installed host's user (Japanese without a host).
TButtonLanguage UserButtonLanguage();

// The buttons a request shows, in order: the standard sets with the
// labels of a desktop in Language ("はい(&Y)" or "&Yes" ...), a Custom box
// its own labels (an OK button when it has none).
std::vector<TMessageBoxButton> MessageBoxButtons(const TDialogRequest& request,
                                                 TButtonLanguage language = UserButtonLanguage());

class TMessageBoxWindow {
 public:
  // Layout, in client pixels: the text from (kMargin, kTextTop), its lines
  // wrapped at kMaxTextWidth and cut after kMaxLines; the band of buttons
  // at the bottom, the buttons kButtonHeight high, at least kButtonWidth
  // wide, kButtonGap apart, right-aligned kMargin from the edge.
  static constexpr int32_t kMargin = 12, kTextTop = 20, kTextBottomGap = 20, kMaxTextWidth = 480, kMaxLines = 30;
  static constexpr int32_t kButtonWidth = 75, kButtonHeight = 23, kButtonGap = 7, kButtonPad = 8, kBandPad = 11;
  static constexpr int32_t kMinWidth = 180;
  // What a title bar takes beside its caption: the window menu's icon and
  // up to three buttons (a window manager may keep room for minimise and
  // maximise on a dialog too) of about 24 pixels each, and the frame's
  // margins. The box is at least its caption's width in CaptionFont() and
  // this wide, so that the window manager shows the whole caption.
  static constexpr int32_t kTitleButtonWidth = 24, kTitleButtons = 4, kTitleMargins = 24;
  static constexpr int32_t kCaptionRoom = kTitleButtons * kTitleButtonWidth + kTitleMargins;
  // The caption measured as a title bar draws it: bold and larger than the
  // box's text (the 10 to 11 point bold of common window-manager themes is
  // 13 to 15 pixels at 96 dpi), so that the box is rather too wide than cut.
  static constexpr int32_t kCaptionHeight = 15;
  static TTextControlFont CaptionFont();
  // The width the caption needs: its measure in CaptionFont() and the room
  // of the title bar's buttons, at most MaxWidth (0: no limit).
  static int32_t CaptionWidth(const std::string& title, int32_t max_width);

  // MaxWidth: the screen's width, which the caption does not widen the box
  // past (0: no limit known).
  explicit TMessageBoxWindow(const TDialogRequest& request, int32_t max_width = 0);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  const std::string& Title() const { return title_; }
  // The font the box is written in, and the height of one line.
  const TTextControlFont& Font() const { return font_; }
  int32_t LineHeight() const { return line_height_; }
  // The text's shown lines (Shift-JIS) and the top of line I.
  const std::vector<std::string>& Lines() const { return lines_; }
  int32_t LineTop(size_t i) const;
  const std::vector<TMessageBoxButton>& Buttons() const { return buttons_; }
  TWindowBox ButtonBox(size_t i) const;
  // Where the band of buttons starts.
  int32_t BandTop() const;

  int Focused() const { return focused_; }
  bool Answered() const { return answered_; }
  const TDialogResult& Answer() const { return answer_; }

  // A key pressed (virtual-key code), with Shift held or not.
  void Key(int32_t vk, bool shift = false);
  // The left button pressed and released at a point.
  void Press(int32_t x, int32_t y);
  void Release(int32_t x, int32_t y);
  // The window's close button.
  void Close();

  // The whole window, Width() x Height() pixels 0x00RRGGBB, rows top first.
  std::vector<uint32_t> Paint() const;

 private:
  int ButtonAt(int32_t x, int32_t y) const;
  void AnswerWith(const TDialogResult& result);

  std::string title_;
  TTextControlFont font_;
  int32_t line_height_ = 1;
  std::vector<std::string> lines_;
  std::vector<TMessageBoxButton> buttons_;
  std::vector<int32_t> button_widths_;
  TDialogResult escape_;
  int32_t width_ = 0, height_ = 0;
  int focused_ = 0;
  int pressed_ = -1;
  bool answered_ = false;
  TDialogResult answer_;
};

}  // namespace orba
