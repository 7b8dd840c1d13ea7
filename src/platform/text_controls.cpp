#include "platform/text_controls.h"

#include <cstdlib>

#include "platform/text_controls_view.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::shared_ptr<TTextControlGroup>& CurrentGroup() {
  static std::shared_ptr<TTextControlGroup> current = std::make_shared<TStateTextControls>();
  return current;
}

std::shared_ptr<TControlGlyphs>& CurrentGlyphs() {
  static std::shared_ptr<TControlGlyphs> current;
  return current;
}

// What a word is made of: letters, digits, '_' and double-byte characters
// other than the full-width signs; spaces; and the other signs.
enum class TCharClass : uint8_t { Word, Space, Sign };

TCharClass ClassOf(const std::string& text, size_t at) {
  const auto c = static_cast<uint8_t>(text[at]);
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return TCharClass::Space;
  if (IsLead(c)) {
    // The full-width space and signs (row 0x81) break words.
    if (c == 0x81) return at + 1 < text.size() && static_cast<uint8_t>(text[at + 1]) == 0x40 ? TCharClass::Space : TCharClass::Sign;
    return TCharClass::Word;
  }
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0xA6)
    return TCharClass::Word;
  return TCharClass::Sign;
}

}  // namespace

// ---- TTextControl -----------------------------------------------------------------------------

TTextControl::TTextControl(TTextControlGroup& group, bool multi_line) : group_(&group), multi_line_(multi_line) {
  group_->controls_.push_back(this);
}

TTextControl::~TTextControl() {
  if (group_ == nullptr) return;
  auto& list = group_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (group_->last_press_control_ == this) group_->last_press_ = false, group_->last_press_control_ = nullptr;
  if (group_->focused_ == this) {
    group_->focused_ = nullptr;
    group_->hold_ = TTextControlGroup::TMouseHold::None;
    group_->FocusChanged();
  }
  group_->changed_ = true;
}

void TTextControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed();
}

void TTextControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (!visible && Focused()) group_->ClearFocus();
  Changed();
}

void TTextControl::SetText(const std::string& sjis) {
  text_ = sjis;
  caret_ = anchor_ = 0;
  top_line_ = 0;
  Changed();
}

void TTextControl::SelectAll() {
  anchor_ = 0;
  caret_ = text_.size();
  Changed();
}

void TTextControl::SetFont(const TTextControlFont& font) {
  font_ = font;
  Changed();
}

void TTextControl::SetTextColor(int32_t color) {
  text_color_ = color;
  Changed();
}

void TTextControl::SetBackColor(int32_t color) {
  back_color_ = color;
  Changed();
}

void TTextControl::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (!on && Focused()) group_->ClearFocus();
  Changed();
}

void TTextControl::SetAlignment(TTextAlign align) {
  align_ = align;
  Changed();
}

void TTextControl::Changed() {
  if (group_ == nullptr) return;
  group_->changed_ = true;
  if (Focused()) group_->restart_blink_ = true;
}

bool TTextControl::Focused() const { return group_ != nullptr && group_->focused_ == this; }

void TTextControl::SetFocus() {
  if (!CanFocus() || Focused() || group_ == nullptr) return;
  TTextControl* old = group_->focused_;
  group_->focused_ = this;
  group_->composing_.clear();
  group_->restart_blink_ = true;
  group_->caret_shown_ = true;
  group_->FocusChanged();
  if (old != nullptr) old->Changed();
  Changed();
  if (OnFocusGained) OnFocusGained();
}

void TTextControl::SetTopLine(int32_t line) {
  const auto lines = static_cast<int32_t>(LineStarts().size());
  line = std::clamp(line, 0, std::max(lines - 1, 0));
  if (line == top_line_) return;
  top_line_ = line;
  Changed();
}

std::vector<size_t> TTextControl::LineStarts() const {
  std::vector<size_t> starts{0};
  if (!multi_line_) return starts;
  for (size_t i = 0; i < text_.size(); i = NextChar(i)) {
    if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') {
      starts.push_back(i + 2);
      ++i;
    } else if (text_[i] == '\r' || text_[i] == '\n') {
      starts.push_back(i + 1);
    }
  }
  return starts;
}

size_t TTextControl::PrevChar(size_t at) const {
  // Walk from the start so that a trail byte is never taken for a lead byte.
  size_t i = 0, prev = 0;
  while (i < at) {
    prev = i;
    i = NextChar(i);
    if (i <= prev) break;
  }
  if (multi_line_ && prev > 0 && text_[prev] == '\n' && text_[prev - 1] == '\r') --prev;
  return prev;
}

size_t TTextControl::NextChar(size_t at) const {
  if (at >= text_.size()) return text_.size();
  if (IsLead(static_cast<uint8_t>(text_[at])) && at + 1 < text_.size()) return at + 2;
  if (multi_line_ && text_[at] == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n') return at + 2;
  return at + 1;
}

void TTextControl::PlaceCaret(size_t offset, bool extend) {
  offset = std::min(offset, text_.size());
  size_t i = 0;
  while (i < offset) {
    const size_t next = NextChar(i);
    if (next > offset) break;
    i = next;
  }
  caret_ = i;
  if (!extend) anchor_ = caret_;
  if (multi_line_) {
    const auto line = static_cast<int32_t>(CaretLine(LineStarts()));
    if (line < top_line_) top_line_ = line;
    const int32_t rows = ControlRows(*this);
    if (line >= top_line_ + rows) top_line_ = line - rows + 1;
  }
  Changed();
}

size_t TTextControl::CaretLine(const std::vector<size_t>& starts) const {
  size_t line = 0;
  while (line + 1 < starts.size() && starts[line + 1] <= caret_) ++line;
  return line;
}

size_t TTextControl::LineEnd(const std::vector<size_t>& starts, size_t line) const {
  size_t end = line + 1 < starts.size() ? starts[line + 1] : text_.size();
  while (end > starts[line] && (text_[end - 1] == '\n' || text_[end - 1] == '\r')) --end;
  return end;
}

void TTextControl::MoveLine(int32_t delta, bool shift) {
  const std::vector<size_t> starts = LineStarts();
  const size_t line = CaretLine(starts);
  const int64_t target = static_cast<int64_t>(line) + delta;
  if (target < 0 || target >= static_cast<int64_t>(starts.size())) return;
  const auto t = static_cast<size_t>(target);
  PlaceCaret(std::min(starts[t] + (caret_ - starts[line]), LineEnd(starts, t)), shift);
}

void TTextControl::ReplaceSelection(const std::string& bytes) {
  const size_t from = SelStart(), to = SelEnd();
  text_.replace(from, to - from, bytes);
  caret_ = anchor_ = from;
  PlaceCaret(from + bytes.size(), false);
}

void TTextControl::KeyDown(int32_t key, bool shift, bool ctrl) {
  if (!enabled_) return;
  if (key == kVkTab && !want_tab_) return;
  if (OnKeyDown) OnKeyDown(key);
  if (ctrl) {
    switch (key) {
      case kVkA: SelectAll(); return;
      case kVkC:
      case kVkX:
        if (SelStart() == SelEnd() || group_ == nullptr) return;
        group_->SetClipboardText(SelectedText());
        if (key == kVkX && !read_only_) ReplaceSelection(std::string());
        return;
      case kVkV:
        if (group_ != nullptr) Paste(group_->ClipboardText());
        return;
      case kVkLeft:
      case kVkRight: PlaceCaret(WordEdge(caret_, key == kVkRight), shift); return;
      case kVkHome:
      case kVkEnd: PlaceCaret(key == kVkHome ? 0 : text_.size(), shift); return;
      default: break;
    }
  }
  switch (key) {
    case kVkLeft:
      PlaceCaret(!shift && SelStart() != SelEnd() ? SelStart() : PrevChar(caret_), shift);
      break;
    case kVkRight:
      PlaceCaret(!shift && SelStart() != SelEnd() ? SelEnd() : NextChar(caret_), shift);
      break;
    case kVkHome:
    case kVkEnd: {
      const std::vector<size_t> starts = LineStarts();
      const size_t line = CaretLine(starts);
      PlaceCaret(key == kVkHome ? starts[line] : LineEnd(starts, line), shift);
      break;
    }
    case kVkUp:
    case kVkDown:
      if (multi_line_) MoveLine(key == kVkUp ? -1 : 1, shift);
      break;
    case kVkDelete:
      if (read_only_) break;
      if (SelStart() == SelEnd()) anchor_ = NextChar(caret_);
      ReplaceSelection(std::string());
      break;
    case kVkBack:
    case kVkTab:
    case kVkReturn:
    case kVkEscape:
      Char(static_cast<uint16_t>(key));
      break;
    default:
      break;
  }
}

size_t TTextControl::WordEdge(size_t at, bool forward) const {
  if (forward) {
    // Past the rest of this word (or run of signs), then past the spaces.
    if (at < text_.size() && ClassOf(text_, at) != TCharClass::Space) {
      const TCharClass run = ClassOf(text_, at);
      while (at < text_.size() && ClassOf(text_, at) == run) at = NextChar(at);
    }
    while (at < text_.size() && ClassOf(text_, at) == TCharClass::Space) at = NextChar(at);
    return at;
  }
  // Back over the spaces, then to the start of the word before them.
  while (at > 0 && ClassOf(text_, PrevChar(at)) == TCharClass::Space) at = PrevChar(at);
  if (at == 0) return 0;
  const TCharClass run = ClassOf(text_, PrevChar(at));
  while (at > 0 && ClassOf(text_, PrevChar(at)) == run) at = PrevChar(at);
  return at;
}

void TTextControl::SelectWord(size_t offset) {
  PlaceCaret(offset, false);
  size_t from = caret_;
  // At a word's end (or the text's), the word before the caret.
  if (from >= text_.size() || (from > 0 && ClassOf(text_, from) == TCharClass::Space &&
                               ClassOf(text_, PrevChar(from)) != TCharClass::Space))
    from = from > 0 ? PrevChar(from) : from;
  if (from >= text_.size()) return;
  const TCharClass run = ClassOf(text_, from);
  size_t to = from;
  while (to < text_.size() && ClassOf(text_, to) == run && !(multi_line_ && (text_[to] == '\r' || text_[to] == '\n')))
    to = NextChar(to);
  while (from > 0 && ClassOf(text_, PrevChar(from)) == run &&
         !(multi_line_ && (text_[PrevChar(from)] == '\r' || text_[PrevChar(from)] == '\n')))
    from = PrevChar(from);
  if (to == from) to = NextChar(from);
  anchor_ = from;
  PlaceCaret(to, true);
}

void TTextControl::Paste(const std::string& sjis) {
  if (read_only_ || !enabled_) return;
  std::string bytes = sjis;
  if (!multi_line_) bytes = bytes.substr(0, bytes.find_first_of("\r\n"));
  // Control characters other than line breaks and tabs are left out.
  std::string clean;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (IsLead(c) && i + 1 < bytes.size()) {
      clean += bytes.substr(i++, 2);
    } else if (c >= 0x20 ? c != 0x7F : (multi_line_ && (c == '\r' || c == '\n' || c == '\t'))) {
      clean += static_cast<char>(c);
    }
  }
  ReplaceSelection(clean);
}

void TTextControl::Char(uint16_t ch) {
  if (!enabled_) return;
  if (OnKeyPress) OnKeyPress(ch);
  if (ch == 0 || read_only_) return;
  if (ch == kVkBack) {
    if (SelStart() == SelEnd()) anchor_ = PrevChar(caret_);
    ReplaceSelection(std::string());
  } else if (ch == kVkReturn) {
    if (multi_line_) ReplaceSelection("\r\n");
  } else if (ch == kVkTab) {
    if (multi_line_) ReplaceSelection("\t");
  } else if (ch >= 0x100) {
    ReplaceSelection(std::string{static_cast<char>(ch >> 8), static_cast<char>(ch & 0xFF)});
  } else if (ch >= 0x20 && ch != 0x7F) {
    ReplaceSelection(std::string(1, static_cast<char>(ch)));
  }
}

void TTextControl::TypeText(const std::string& sjis) {
  for (size_t i = 0; i < sjis.size(); ++i) {
    const auto c = static_cast<uint8_t>(sjis[i]);
    if (IsLead(c) && i + 1 < sjis.size()) {
      Char(static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(sjis[i + 1])));
      ++i;
    } else {
      Char(c);
    }
  }
}

// ---- the group --------------------------------------------------------------------------------

TTextControlGroup::~TTextControlGroup() {
  for (TTextControl* control : controls_) control->group_ = nullptr;
}

void TTextControlGroup::ClearFocus() {
  TTextControl* old = focused_;
  if (old == nullptr) return;
  focused_ = nullptr;
  composing_.clear();
  hold_ = TMouseHold::None;
  FocusChanged();
  old->Changed();
}

bool TTextControlGroup::TakeChanged() {
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

TTextControl* TTextControlGroup::ControlAt(int32_t x, int32_t y) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TTextControl* c = *it;
    if (c->Visible() && x >= c->Left() && y >= c->Top() && x < int64_t{c->Left()} + c->Width() &&
        y < int64_t{c->Top()} + c->Height())
      return c;
  }
  return nullptr;
}

bool TTextControlGroup::OverText(int32_t x, int32_t y) const {
  const TTextControl* c = ControlAt(x, y);
  if (c == nullptr) return false;
  const TControlScrollBar bar = ControlScrollBar(*c);
  return !bar.Shown || int64_t{x} - c->Left() < bar.Left;
}

bool TTextControlGroup::MouseDown(int32_t x, int32_t y, bool left, bool shift, uint32_t time_ms) {
  TTextControl* hit = ControlAt(x, y);
  if (hit == nullptr) {
    ClearFocus();
    last_press_ = false;
    return false;
  }
  hit->SetFocus();
  hold_ = TMouseHold::Other;
  if (!hit->Focused() || !left) return true;
  const auto cx = static_cast<int32_t>(int64_t{x} - hit->Left()), cy = static_cast<int32_t>(int64_t{y} - hit->Top());
  const TControlScrollBar bar = ControlScrollBar(*hit);
  if (bar.Shown && cx >= bar.Left) {
    // The thumb is taken; the track above or below it scrolls a page.
    last_press_ = false;
    if (!bar.HasThumb) return true;
    if (cy >= bar.ThumbTop && cy < bar.ThumbBottom) {
      hold_ = TMouseHold::Thumb;
      thumb_grab_ = cy - bar.ThumbTop;
    } else {
      hit->SetTopLine(hit->TopLine() + (cy < bar.ThumbTop ? -bar.Rows : bar.Rows));
    }
    return true;
  }
  const bool second = last_press_ && last_press_control_ == hit && time_ms - last_press_ms_ <= kDoubleClickMs &&
                      std::abs(int64_t{x} - last_press_x_) <= kDoubleClickSlop &&
                      std::abs(int64_t{y} - last_press_y_) <= kDoubleClickSlop;
  const size_t at = ControlOffsetAt(*hit, cx, cy);
  if (second) {
    hit->SelectWord(at);
    last_press_ = false;
    return true;
  }
  hit->PlaceCaret(at, shift);
  hold_ = TMouseHold::Text;
  last_press_ = true;
  last_press_control_ = hit;
  last_press_x_ = x, last_press_y_ = y, last_press_ms_ = time_ms;
  return true;
}

bool TTextControlGroup::MouseMove(int32_t x, int32_t y) {
  if (hold_ == TMouseHold::None) return false;
  TTextControl* c = focused_;
  if (c == nullptr) return true;
  const auto cx = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} - c->Left(), INT32_MIN, INT32_MAX));
  const auto cy = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y} - c->Top(), INT32_MIN, INT32_MAX));
  if (hold_ == TMouseHold::Text) {
    // Past the top or the bottom of a memo, it scrolls a line.
    if (c->MultiLine() && cy < 0) c->SetTopLine(c->TopLine() - 1);
    if (c->MultiLine() && cy >= c->Height()) c->SetTopLine(c->TopLine() + 1);
    c->PlaceCaret(ControlOffsetAt(*c, cx, cy), true);
  } else if (hold_ == TMouseHold::Thumb) {
    c->SetTopLine(ControlTopLineForThumb(*c, cy - thumb_grab_));
  }
  return true;
}

bool TTextControlGroup::MouseUp() {
  const bool held = hold_ != TMouseHold::None;
  hold_ = TMouseHold::None;
  return held;
}

bool TTextControlGroup::Wheel(int32_t x, int32_t y, int32_t notches) {
  TTextControl* hit = ControlAt(x, y);
  if (hit == nullptr || !hit->MultiLine()) return false;
  hit->SetTopLine(static_cast<int32_t>(std::clamp<int64_t>(hit->TopLine() - 3 * int64_t{notches}, 0, INT32_MAX)));
  return true;
}

bool TTextControlGroup::KeyDown(int32_t key, bool shift, bool ctrl) {
  if (focused_ == nullptr) return false;
  focused_->KeyDown(key, shift, ctrl);
  return true;
}

void TTextControlGroup::Blink(uint32_t time_ms) {
  if (restart_blink_) {
    restart_blink_ = false;
    blink_start_ = time_ms;
  }
  const bool shown = (time_ms - blink_start_) / kBlinkMs % 2 == 0;
  if (shown == caret_shown_) return;
  caret_shown_ = shown;
  if (focused_ != nullptr) changed_ = true;
}

void TTextControlGroup::SetComposing(const std::string& sjis) {
  if (sjis == composing_) return;
  composing_ = sjis;
  changed_ = true;
}

std::unique_ptr<TTextControl> TStateTextControls::Create(bool multi_line) {
  return std::make_unique<TTextControl>(*this, multi_line);
}

TTextControlGroup& TextControls() { return *CurrentGroup(); }

std::shared_ptr<TTextControlGroup> SetTextControls(std::shared_ptr<TTextControlGroup> group) {
  std::shared_ptr<TTextControlGroup> old = CurrentGroup();
  CurrentGroup() = group ? std::move(group) : std::make_shared<TStateTextControls>();
  return old;
}

TControlGlyphs* ControlGlyphs() { return CurrentGlyphs().get(); }

std::shared_ptr<TControlGlyphs> SetControlGlyphs(std::shared_ptr<TControlGlyphs> glyphs) {
  std::shared_ptr<TControlGlyphs> old = CurrentGlyphs();
  CurrentGlyphs() = std::move(glyphs);
  return old;
}

std::string TypedUtf8ToSjis(const std::string& utf8) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<uint8_t>(utf8[i]);
    size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    n = std::min(n, utf8.size() - i);
    const std::string one = utf8.substr(i, n);
    i += n;
    const std::string sjis = Utf8ToSjis(one);
    // A character the code page lacks comes back as '?'.
    if (sjis == "?" && one != "?") continue;
    if (!sjis.empty() && static_cast<uint8_t>(sjis[0]) < 0x20) continue;
    out += sjis;
  }
  return out;
}

}  // namespace orba
