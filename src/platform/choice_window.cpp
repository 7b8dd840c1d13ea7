#include "platform/choice_window.h"

#include <algorithm>

#include "platform/text_controls_view.h"

namespace orba {

namespace {

constexpr int32_t kVkPrior = 0x21, kVkNext = 0x22;
// The gap between the list's frame and a line's text.
constexpr int32_t kTextPad = 2;

}  // namespace

TChoiceWindow::TChoiceWindow(const TChoiceRequest& request) : request_(request) { Select(0); }

int32_t TChoiceWindow::LineHeight() const { return ControlLineHeight(font_); }

int32_t TChoiceWindow::Rows() const { return std::max<int32_t>((kList.Height - 2) / LineHeight(), 1); }

void TChoiceWindow::ScrollTo(int top) {
  const int count = static_cast<int>(request_.Lines.size());
  top_ = std::clamp(top, 0, std::max(count - Rows(), 0));
}

void TChoiceWindow::Select(int line) {
  const int count = static_cast<int>(request_.Lines.size());
  if (count == 0) return;
  line = std::clamp(line, 0, count - 1);
  if (line < top_) ScrollTo(line);
  else if (line >= top_ + Rows()) ScrollTo(line - Rows() + 1);
  if (line == selected_) return;
  selected_ = line;
  picture_ = request_.Preview ? request_.Preview(line) : TChoicePicture{};
}

void TChoiceWindow::Press(int32_t x, int32_t y) {
  if (kOk.Holds(x, y)) {
    closed_ = true;
    return;
  }
  const TChoiceBox lines{kList.Left + 1, kList.Top + 1, kList.Width - 2, kList.Height - 2};
  if (!lines.Holds(x, y)) return;
  const int line = top_ + (y - lines.Top) / LineHeight();
  if (line < static_cast<int>(request_.Lines.size())) Select(line);
}

void TChoiceWindow::Key(int32_t vk) {
  const int count = static_cast<int>(request_.Lines.size());
  switch (vk) {
    case TTextControl::kVkUp: Select(selected_ - 1); break;
    case TTextControl::kVkDown: Select(selected_ + 1); break;
    case TTextControl::kVkHome: Select(0); break;
    case TTextControl::kVkEnd: Select(count - 1); break;
    case kVkPrior: Select(selected_ - (Rows() - 1)); break;
    case kVkNext: Select(selected_ + (Rows() - 1)); break;
    case TTextControl::kVkReturn:
    case TTextControl::kVkEscape: closed_ = true; break;
    default: break;
  }
}

void TChoiceWindow::Wheel(int32_t notches) { ScrollTo(top_ - notches); }

std::vector<uint32_t> TChoiceWindow::Paint() const {
  TWindowCanvas canvas(kWidth, kHeight, kFace);
  const TControlCanvas whole = canvas.Whole();
  // The list: a line a row from the top line on, the selected one highlighted.
  canvas.Framed(kList, kFrame, kWhite);
  const int32_t line_h = LineHeight(), right = kList.Left + kList.Width - 1;
  for (int32_t row = 0; row < Rows(); ++row) {
    const int line = top_ + row;
    if (line >= static_cast<int>(request_.Lines.size())) break;
    const int32_t y = kList.Top + 1 + row * line_h;
    const bool selected = line == selected_;
    const int32_t bottom = std::min(y + line_h, kList.Top + kList.Height - 1);
    if (selected) canvas.Fill(TChoiceBox{kList.Left + 1, y, kList.Width - 2, bottom - y}, kHighlight);
    // Cut at the list's bottom as well as its right: paint into a canvas of the rows shown.
    TControlCanvas band = whole;
    band.H = bottom;
    PaintControlText(band, request_.Lines[static_cast<size_t>(line)], font_, kList.Left + 1 + kTextPad, y, right,
                     selected ? kWhite : kInk);
  }
  // The picture, white where it has none.
  canvas.Fill(kPicture, kWhite);
  const TChoicePicture& p = picture_;
  if (p.Width > 0 && p.Height > 0 && p.Rgb.size() >= static_cast<size_t>(p.Width) * p.Height * 3)
    for (int32_t y = 0; y < std::min(p.Height, kPicture.Height); ++y)
      for (int32_t x = 0; x < std::min(p.Width, kPicture.Width); ++x) {
        const uint8_t* c = &p.Rgb[(static_cast<size_t>(y) * p.Width + x) * 3];
        canvas.At(kPicture.Left + x, kPicture.Top + y) = uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2];
      }
  // The OK button, its label centred.
  canvas.Framed(kOk, kButtonFrame, kButton);
  const std::string ok = "OK";
  PaintControlText(whole, ok, font_, kOk.Left + (kOk.Width - ControlTextWidth(ok, font_)) / 2,
                   kOk.Top + (kOk.Height - line_h) / 2, kOk.Left + kOk.Width - 1, kInk);
  return canvas.Take();
}

}  // namespace orba
