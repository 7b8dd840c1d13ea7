#include "platform/message_box_view.h"

#include <algorithm>

#include "platform/host.h"
#include "platform/text_controls_view.h"

namespace orba {

namespace {

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The length of the character at I (a lead byte at the end stands alone).
size_t CharLength(const std::string& text, size_t i) {
  return IsLead(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The label as shown, and its key: "&" marks the next character, "&&" is "&".
TMessageBoxButton LabelButton(const std::string& label, const TDialogResult& result) {
  TMessageBoxButton button;
  button.Result = result;
  for (size_t i = 0; i < label.size();) {
    if (label[i] == '&' && i + 1 < label.size()) {
      ++i;
      // Only a letter or a digit has a key of its own.
      const char c = label[i];
      const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (alnum && button.Key == 0) {
        button.Key = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        button.KeyOffset = button.Label.size();
      }
    } else if (label[i] == '&') {
      ++i;
      continue;
    }
    const size_t n = CharLength(label, i);
    button.Label.append(label, i, n);
    i += n;
  }
  return button;
}

// The text's lines: split at its line breaks ("\r\n", "\n", "\r") and
// wrapped where a line would pass Width.
std::vector<std::string> WrapLines(const std::string& text, const TTextControlFont& font, int32_t width,
                                   size_t max_lines) {
  std::vector<std::string> lines(1);
  int32_t x = 0;
  for (size_t i = 0; i < text.size() && lines.size() <= max_lines;) {
    if (text[i] == '\r' || text[i] == '\n') {
      i += text.compare(i, 2, "\r\n") == 0 ? 2 : 1;
      lines.emplace_back();
      x = 0;
      continue;
    }
    const size_t n = CharLength(text, i);
    const std::string c = text.substr(i, n);
    const int32_t advance = ControlTextWidth(c, font);
    if (x > 0 && x + advance > width) {
      lines.emplace_back();
      x = 0;
    }
    lines.back() += c;
    x += advance;
    i += n;
  }
  if (lines.size() > max_lines) lines.resize(max_lines);
  return lines;
}

}  // namespace

TButtonLanguage UserButtonLanguage() {
  THostServices* host = InstalledHost();
  return host == nullptr || host->UserLanguageIsJapanese() ? TButtonLanguage::Japanese : TButtonLanguage::English;
}

std::vector<TMessageBoxButton> MessageBoxButtons(const TDialogRequest& request, TButtonLanguage language) {
  const bool japanese = language == TButtonLanguage::Japanese;
  const std::string ok = "OK";
  const std::string cancel = japanese ? "\x83L\x83\x83\x83\x93\x83Z\x83\x8b" : "Cancel";  // キャンセル
  const std::string yes = japanese ? "\x82\xcd\x82\xa2(&Y)" : "&Yes";                    // はい(&Y)
  const std::string no = japanese ? "\x82\xa2\x82\xa2\x82\xa6(&N)" : "&No";            // いいえ(&N)
  const std::string retry = japanese ? "\x8d\xc4\x8e\x8e\x8ds(&R)" : "&Retry";          // 再試行(&R)
  auto answer = [](TDialogAnswer a) { return TDialogResult{a, -1}; };
  std::vector<TMessageBoxButton> buttons;
  switch (request.Buttons) {
    case TDialogButtons::Ok: buttons = {LabelButton(ok, answer(TDialogAnswer::Ok))}; break;
    case TDialogButtons::OkCancel:
      buttons = {LabelButton(ok, answer(TDialogAnswer::Ok)), LabelButton(cancel, answer(TDialogAnswer::Cancel))};
      break;
    case TDialogButtons::YesNo:
      buttons = {LabelButton(yes, answer(TDialogAnswer::Yes)), LabelButton(no, answer(TDialogAnswer::No))};
      break;
    case TDialogButtons::RetryCancel:
      buttons = {LabelButton(retry, answer(TDialogAnswer::Retry)), LabelButton(cancel, answer(TDialogAnswer::Cancel))};
      break;
    case TDialogButtons::Custom:
      for (size_t i = 0; i < request.Labels.size(); ++i)
        buttons.push_back(LabelButton(request.Labels[i], TDialogResult{TDialogAnswer::Custom, static_cast<int>(i)}));
      break;
  }
  if (buttons.empty()) buttons.push_back(LabelButton(ok, answer(TDialogAnswer::Ok)));
  return buttons;
}

TMessageBoxWindow::TMessageBoxWindow(const TDialogRequest& request, int32_t max_width)
    : title_(request.Title), buttons_(MessageBoxButtons(request)), escape_(EscapeAnswer(request)) {
  line_height_ = ControlLineHeight(font_);
  lines_ = WrapLines(request.Text, font_, kMaxTextWidth, kMaxLines);
  int32_t text_width = 0;
  for (const std::string& line : lines_) text_width = std::max(text_width, ControlTextWidth(line, font_));
  int32_t row = 0;
  for (const TMessageBoxButton& b : buttons_) {
    button_widths_.push_back(std::clamp(ControlTextWidth(b.Label, font_) + 2 * kButtonPad, kButtonWidth, kMaxTextWidth));
    row += button_widths_.back() + (row > 0 ? kButtonGap : 0);
  }
  const int32_t caption_width = CaptionWidth(title_, max_width);
  width_ = std::max({std::min(text_width, kMaxTextWidth) + 2 * kMargin, row + 2 * kMargin, caption_width, kMinWidth});
  height_ = kTextTop + static_cast<int32_t>(lines_.size()) * line_height_ + kTextBottomGap + 2 * kBandPad + kButtonHeight;
}

TTextControlFont TMessageBoxWindow::CaptionFont() {
  TTextControlFont font;
  font.Height = kCaptionHeight;
  font.Style = kFontBold;
  return font;
}

int32_t TMessageBoxWindow::CaptionWidth(const std::string& title, int32_t max_width) {
  const int32_t width = ControlTextWidth(title, CaptionFont()) + kCaptionRoom;
  return max_width > 0 ? std::min(width, max_width) : width;
}

int32_t TMessageBoxWindow::LineTop(size_t i) const { return kTextTop + static_cast<int32_t>(i) * line_height_; }

int32_t TMessageBoxWindow::BandTop() const { return height_ - 2 * kBandPad - kButtonHeight; }

TWindowBox TMessageBoxWindow::ButtonBox(size_t i) const {
  int32_t row = 0;
  for (int32_t w : button_widths_) row += w;
  row += kButtonGap * (static_cast<int32_t>(button_widths_.size()) - 1);
  int32_t x = width_ - kMargin - row;
  for (size_t j = 0; j < i && j < button_widths_.size(); ++j) x += button_widths_[j] + kButtonGap;
  return TWindowBox{x, BandTop() + kBandPad, i < button_widths_.size() ? button_widths_[i] : 0, kButtonHeight};
}

int TMessageBoxWindow::ButtonAt(int32_t x, int32_t y) const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (ButtonBox(i).Holds(x, y)) return static_cast<int>(i);
  return -1;
}

void TMessageBoxWindow::AnswerWith(const TDialogResult& result) {
  if (answered_) return;
  answered_ = true;
  answer_ = result;
}

void TMessageBoxWindow::Key(int32_t vk, bool shift) {
  const int count = static_cast<int>(buttons_.size());
  constexpr int32_t kVkSpace = 0x20;
  switch (vk) {
    case TTextControl::kVkReturn:
    case kVkSpace: AnswerWith(buttons_[static_cast<size_t>(focused_)].Result); return;
    case TTextControl::kVkEscape: AnswerWith(escape_); return;
    case TTextControl::kVkTab: focused_ = (focused_ + (shift ? count - 1 : 1)) % count; return;
    case TTextControl::kVkLeft:
    case TTextControl::kVkUp: focused_ = (focused_ + count - 1) % count; return;
    case TTextControl::kVkRight:
    case TTextControl::kVkDown: focused_ = (focused_ + 1) % count; return;
    default: break;
  }
  // A button's letter (the virtual keys of letters and digits are their
  // upper-case characters).
  for (const TMessageBoxButton& b : buttons_)
    if (b.Key != 0 && vk == static_cast<uint8_t>(b.Key)) {
      AnswerWith(b.Result);
      return;
    }
}

void TMessageBoxWindow::Press(int32_t x, int32_t y) {
  pressed_ = ButtonAt(x, y);
  if (pressed_ >= 0) focused_ = pressed_;
}

void TMessageBoxWindow::Release(int32_t x, int32_t y) {
  const int at = ButtonAt(x, y);
  if (pressed_ >= 0 && at == pressed_) AnswerWith(buttons_[static_cast<size_t>(at)].Result);
  pressed_ = -1;
}

void TMessageBoxWindow::Close() { AnswerWith(escape_); }

std::vector<uint32_t> TMessageBoxWindow::Paint() const {
  TWindowCanvas canvas(width_, height_, kWindowWhite);
  const TControlCanvas whole = canvas.Whole();
  for (size_t i = 0; i < lines_.size(); ++i)
    PaintControlText(whole, lines_[i], font_, kMargin, LineTop(i), width_ - kMargin, kWindowInk);
  canvas.Fill(TWindowBox{0, BandTop(), width_, height_ - BandTop()}, kWindowFace);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const TWindowBox box = ButtonBox(i);
    const bool focused = static_cast<int>(i) == focused_;
    canvas.Framed(box, focused ? kWindowHighlight : kWindowButtonFrame,
                  static_cast<int>(i) == pressed_ ? kWindowButtonPressed : kWindowButton, focused ? 2 : 1);
    const TMessageBoxButton& b = buttons_[i];
    const int32_t x = box.Left + (box.Width - ControlTextWidth(b.Label, font_)) / 2;
    const int32_t y = box.Top + (box.Height - line_height_) / 2;
    PaintControlText(whole, b.Label, font_, x, y, box.Left + box.Width - 2, kWindowInk);
    if (b.Key == 0) continue;
    // The key's letter underlined.
    const int32_t under = x + ControlTextWidth(b.Label.substr(0, b.KeyOffset), font_);
    canvas.Fill(TWindowBox{under, y + line_height_ - 1, ControlTextWidth(b.Label.substr(b.KeyOffset, 1), font_), 1},
                kWindowInk);
  }
  return canvas.Take();
}

}  // namespace orba
