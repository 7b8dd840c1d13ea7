// Native text-entry controls placed over the game's picture: a one-line edit
// or a multi-line memo, each with its bounds in game coordinates, visibility,
// Shift-JIS text, caret and selection, font, colours, read-only and enabled
// flags, alignment and keyboard focus. Three callbacks reach the owner: a key
// went down, a character is about to be typed (the owner may swallow it by
// setting it to 0) and the control took the focus.
//
// TTextControl keeps the state and does the editing as a desktop text field
// does (typing, Backspace, Delete, the arrows, Home and End, Shift to select,
// Ctrl with the arrows by words, Ctrl+A, Ctrl+C, Ctrl+X, Ctrl+V through the
// group's clipboard). The group answers the mouse in game coordinates (a
// click places the caret, a drag or Shift+click selects, a double click
// selects a word, the memo's scroll bar and wheel scroll) and blinks the
// caret. A back end feeds it keys, characters, the mouse and the focus;
// text_controls_view draws the controls the same way for every back end.
// Window thread only.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fonts.h"

namespace orba {

struct TTextControlFont {
  std::string Name;  // Shift-JIS face name
  int32_t Height = 12;
  uint8_t Style = 0;  // kFontBold, kFontItalic, kFontUnderline, kFontStrikeOut
  bool operator==(const TTextControlFont&) const = default;
  // The height without its sign (a negative height asks for the same size).
  int32_t AbsHeight() const { return Height == INT32_MIN ? INT32_MAX : Height < 0 ? -Height : Height; }
  // The height a line is drawn with: 1 to kMaxLineHeight pixels.
  static constexpr int32_t kMaxLineHeight = 1024;
  int32_t LineHeight() const { return std::clamp(AbsHeight(), 1, kMaxLineHeight); }
};

enum class TTextAlign : uint8_t { Left = 0, Right = 1, Center = 2 };

class TTextControlGroup;

class TTextControl {
 public:
  // Virtual-key codes the editing answers.
  static constexpr int32_t kVkBack = 8, kVkTab = 9, kVkReturn = 13, kVkEscape = 27;
  static constexpr int32_t kVkEnd = 0x23, kVkHome = 0x24, kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27,
                           kVkDown = 0x28, kVkDelete = 0x2E;
  static constexpr int32_t kVkA = 0x41, kVkC = 0x43, kVkV = 0x56, kVkX = 0x58;

  TTextControl(TTextControlGroup& group, bool multi_line);
  virtual ~TTextControl();
  TTextControl(const TTextControl&) = delete;
  TTextControl& operator=(const TTextControl&) = delete;

  // ---- what the owner sets and reads ----------------------------------------------
  bool MultiLine() const { return multi_line_; }
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Hiding a focused control gives the focus back to the game.
  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  // The caret goes to the start and the selection is dropped.
  void SetText(const std::string& sjis);
  const std::string& Text() const { return text_; }
  void SelectAll();
  void SetFont(const TTextControlFont& font);
  const TTextControlFont& Font() const { return font_; }
  // Colours are 0x00BBGGRR.
  void SetTextColor(int32_t color);
  int32_t TextColor() const { return text_color_; }
  void SetBackColor(int32_t color);
  int32_t BackColor() const { return back_color_; }
  void SetReadOnly(bool on) { read_only_ = on; }
  bool ReadOnly() const { return read_only_; }
  // A disabled control takes no keys and cannot take the focus.
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  void SetAlignment(TTextAlign align);
  TTextAlign Alignment() const { return align_; }
  // Whether Tab reaches the key handlers; otherwise Tab is ignored.
  void SetWantTab(bool on) { want_tab_ = on; }
  bool WantTab() const { return want_tab_; }
  bool CanFocus() const { return visible_ && enabled_; }
  bool Focused() const;
  // Takes the focus (when it can); the focus handler runs when it changed.
  void SetFocus();

  // Byte offsets into the text; the selection runs between the anchor and
  // the caret.
  size_t Caret() const { return caret_; }
  size_t SelStart() const { return std::min(caret_, anchor_); }
  size_t SelEnd() const { return std::max(caret_, anchor_); }

  std::function<void(int32_t key)> OnKeyDown;
  std::function<void(uint16_t& ch)> OnKeyPress;
  std::function<void()> OnFocusGained;

  // ---- what a back end feeds in ----------------------------------------------------
  // A key went down: the key handler, then the editing keys. Backspace, Tab,
  // Enter and Escape go on as characters. Tab goes nowhere unless wanted.
  // Ctrl: the arrows move by words, Home and End to the text's ends, A
  // selects all, C copies, X cuts and V pastes through the clipboard.
  void KeyDown(int32_t key, bool shift = false, bool ctrl = false);
  // One character (a byte, or lead byte * 256 + trail byte): the key-press
  // handler, then typing.
  void Char(uint16_t ch);
  // Each character of a Shift-JIS text through Char.
  void TypeText(const std::string& sjis);
  // The caret to a byte offset (moved back onto a character's start).
  void PlaceCaret(size_t offset, bool extend);
  // Selects the word (or the run of spaces or of signs) at a byte offset.
  void SelectWord(size_t offset);
  std::string SelectedText() const { return text_.substr(SelStart(), SelEnd() - SelStart()); }
  // The text of the clipboard in place of the selection (a one-line
  // control takes its first line); nothing while read-only.
  void Paste(const std::string& sjis);

  // The first line shown by a memo (its scroll position).
  int32_t TopLine() const { return top_line_; }
  void SetTopLine(int32_t line);
  // The byte offsets where the lines start (after CR LF, CR or LF).
  std::vector<size_t> LineStarts() const;
  // How far a one-line control's text is scrolled left, in pixels (the
  // drawing keeps the caret in view).
  int32_t ScrollX = 0;

 private:
  // Something that shows changed: the group draws again.
  void Changed();
  size_t WordEdge(size_t at, bool forward) const;
  friend class TTextControlGroup;
  void ReplaceSelection(const std::string& bytes);
  size_t PrevChar(size_t at) const;
  size_t NextChar(size_t at) const;
  void MoveLine(int32_t delta, bool shift);
  // The line of the caret, and where a line's text ends (before its break).
  size_t CaretLine(const std::vector<size_t>& starts) const;
  size_t LineEnd(const std::vector<size_t>& starts, size_t line) const;

  TTextControlGroup* group_;  // nullptr once the group is gone
  bool multi_line_;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = false;
  std::string text_;
  size_t caret_ = 0, anchor_ = 0;
  TTextControlFont font_;
  int32_t text_color_ = 0, back_color_ = 0xFFFFFF;
  bool read_only_ = false, enabled_ = true, want_tab_ = false;
  TTextAlign align_ = TTextAlign::Left;
  int32_t top_line_ = 0;
};

// The controls of one back end, which of them has the focus, the mouse's
// hold on them, the clipboard and the caret's blink.
class TTextControlGroup {
 public:
  // Controls that outlive the group keep their state and lose the focus.
  virtual ~TTextControlGroup();
  // A new hidden control with no text.
  virtual std::unique_ptr<TTextControl> Create(bool multi_line) = 0;
  const std::vector<TTextControl*>& Controls() const { return controls_; }
  TTextControl* FocusedControl() const { return focused_; }
  // The focus goes back to the game.
  void ClearFocus();

  // True, once, when something shown changed since the last call.
  bool TakeChanged();
  void MarkChanged() { changed_ = true; }

  // ---- the mouse, in game coordinates: true when the controls took it --------
  // A press on a visible control gives it the focus; the left button places
  // the caret (Shift extends the selection), a second press soon after at
  // the same place selects a word, a press on a memo's scroll bar scrolls a
  // page or takes the thumb. A press elsewhere gives the focus back to the
  // game and is not taken. Time is in milliseconds.
  bool MouseDown(int32_t x, int32_t y, bool left, bool shift, uint32_t time_ms);
  // While a press is held: the selection follows, or the thumb.
  bool MouseMove(int32_t x, int32_t y);
  bool MouseUp();
  // Three lines a notch over a memo.
  bool Wheel(int32_t x, int32_t y, int32_t notches);
  // Whether (X, Y) lies over the text of a visible control (an I-beam there).
  bool OverText(int32_t x, int32_t y) const;
  // The topmost visible control at (X, Y), or nullptr.
  TTextControl* ControlAt(int32_t x, int32_t y) const;

  // The focused control's key: false without one.
  bool KeyDown(int32_t key, bool shift, bool ctrl);

  // The caret shows for kBlinkMs, hides for as long, and shows again at once
  // after each change; Blink moves the phase on (a back end that never calls
  // it shows the caret steadily).
  static constexpr uint32_t kBlinkMs = 530;
  void Blink(uint32_t time_ms);
  bool CaretShown() const { return caret_shown_; }

  // The text an input method is composing at the focused control's caret.
  const std::string& Composing() const { return composing_; }
  void SetComposing(const std::string& sjis);

  // The clipboard (Shift-JIS); the group keeps its own unless a back end
  // reaches the desktop's.
  virtual void SetClipboardText(const std::string& sjis) { clipboard_ = sjis; }
  virtual std::string ClipboardText() { return clipboard_; }

  // The longest pause between the presses of a double click, and how far
  // apart they may lie.
  static constexpr uint32_t kDoubleClickMs = 500;
  static constexpr int32_t kDoubleClickSlop = 4;

 protected:
  // The focus moved (SDL starts or stops its text input).
  virtual void FocusChanged() {}

 private:
  friend class TTextControl;
  enum class TMouseHold : uint8_t { None, Text, Thumb, Other };
  std::vector<TTextControl*> controls_;
  TTextControl* focused_ = nullptr;
  bool changed_ = true;
  TMouseHold hold_ = TMouseHold::None;
  int32_t thumb_grab_ = 0;  // the pointer's distance below the thumb's top
  TTextControl* last_press_control_ = nullptr;
  int32_t last_press_x_ = 0, last_press_y_ = 0;
  uint32_t last_press_ms_ = 0;
  bool last_press_ = false;
  bool caret_shown_ = true, restart_blink_ = true;
  uint32_t blink_start_ = 0;
  std::string composing_;
  std::string clipboard_;
};

// Draws the characters of control texts; the text layer installs one over
// its glyph cache.
class TControlGlyphs {
 public:
  virtual ~TControlGlyphs() = default;
  // The character's box and advance in the font (OriginY from the line's
  // top); false when the font has no face.
  virtual bool Glyph(uint16_t code, const TTextControlFont& font, TGlyphBitmap& out) = 0;
  // The font's ascent and descent, which make a line's height; false when
  // the font has no face.
  virtual bool LineMetrics(const TTextControlFont& font, int32_t& ascent, int32_t& descent) = 0;
};

// The back end in use; until one is installed, state-only controls.
TTextControlGroup& TextControls();
std::shared_ptr<TTextControlGroup> SetTextControls(std::shared_ptr<TTextControlGroup> group);
// The glyph source in use, or nullptr.
TControlGlyphs* ControlGlyphs();
std::shared_ptr<TControlGlyphs> SetControlGlyphs(std::shared_ptr<TControlGlyphs> glyphs);

// UTF-8 typed text as Shift-JIS; characters code page 932 cannot hold are
// dropped.
std::string TypedUtf8ToSjis(const std::string& utf8);

// The group alone, with its own clipboard: the headless player and tests
// feed it keys and the mouse.
class TStateTextControls : public TTextControlGroup {
 public:
  std::unique_ptr<TTextControl> Create(bool multi_line) override;
};

}  // namespace orba
