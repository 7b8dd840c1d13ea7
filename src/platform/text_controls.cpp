#include "platform/text_controls.h"

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

class TStateTextControl final : public TTextControl {
 public:
  using TTextControl::TTextControl;
};

}  // namespace

// ---- TTextControl -----------------------------------------------------------------------------

TTextControl::TTextControl(TTextControlGroup& group, bool multi_line) : group_(&group), multi_line_(multi_line) {
  group_->controls_.push_back(this);
}

TTextControl::~TTextControl() {
  if (group_ == nullptr) return;
  auto& list = group_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (group_->focused_ == this) {
    group_->focused_ = nullptr;
    group_->FocusChanged();
  }
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

bool TTextControl::Focused() const { return group_ != nullptr && group_->focused_ == this; }

void TTextControl::SetFocus() {
  if (!CanFocus() || Focused() || group_ == nullptr) return;
  TTextControl* old = group_->focused_;
  group_->focused_ = this;
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
    const int32_t rows = std::max(1, height_ / font_.LineHeight());
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

void TTextControl::KeyDown(int32_t key, bool shift) {
  if (!enabled_) return;
  if (key == kVkTab && !want_tab_) return;
  if (OnKeyDown) OnKeyDown(key);
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
  FocusChanged();
  old->Changed();
}

std::unique_ptr<TTextControl> TStateTextControls::Create(bool multi_line) {
  return std::make_unique<TStateTextControl>(*this, multi_line);
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
