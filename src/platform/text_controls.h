// Native text-entry controls placed over the game's picture: a one-line edit
// or a multi-line memo, each with its bounds in game coordinates, visibility,
// Shift-JIS text, caret and selection, font, colours, read-only and enabled
// flags, alignment and keyboard focus. Three callbacks reach the owner: a key
// went down, a character is about to be typed (the owner may swallow it by
// setting it to 0) and the control took the focus.
//
// TTextControl keeps the state and does the editing (typing, Backspace,
// Delete, the arrows, Home and End, Shift to select); a back end only feeds
// it keys, characters and focus and shows it. The SDL back end draws each
// control over the presented picture; the headless one keeps state only and
// lets tests inject keys and focus. Window thread only.
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
  void KeyDown(int32_t key, bool shift = false);
  // One character (a byte, or lead byte * 256 + trail byte): the key-press
  // handler, then typing.
  void Char(uint16_t ch);
  // Each character of a Shift-JIS text through Char.
  void TypeText(const std::string& sjis);
  // The caret to a byte offset (moved back onto a character's start).
  void PlaceCaret(size_t offset, bool extend);

  // The first line shown by a memo (its scroll position).
  int32_t TopLine() const { return top_line_; }
  void SetTopLine(int32_t line);
  // The byte offsets where the lines start (after CR LF, CR or LF).
  std::vector<size_t> LineStarts() const;

 protected:
  // Something that shows changed; the SDL back end draws again.
  virtual void Changed() {}

 private:
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

// The controls of one back end and which of them has the focus.
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

 protected:
  // The focus moved (SDL starts or stops its text input).
  virtual void FocusChanged() {}

 private:
  friend class TTextControl;
  std::vector<TTextControl*> controls_;
  TTextControl* focused_ = nullptr;
};

// Draws the characters of control texts; the text layer installs one over
// its glyph cache.
class TControlGlyphs {
 public:
  virtual ~TControlGlyphs() = default;
  // The character's box and advance in the font (OriginY from the line's
  // top); false when the font has no face.
  virtual bool Glyph(uint16_t code, const TTextControlFont& font, TGlyphBitmap& out) = 0;
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

// A state-only back end: tests inject keys and focus through the controls.
class TStateTextControls : public TTextControlGroup {
 public:
  std::unique_ptr<TTextControl> Create(bool multi_line) override;
};

}  // namespace orba
