#include "platform/text_controls_view.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace orba {

namespace {

constexpr uint32_t kSelectionBack = 0x3399FF, kSelectionText = 0xFFFFFF;
constexpr uint32_t kTrack = 0xF0F0F0, kThumb = 0xA8A8A8;
constexpr int32_t kMinThumb = 8;
// Lines are laid out no wider than this, so that positions stay small.
constexpr int32_t kMaxLineX = 1 << 24;

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// 0x00BBGGRR to 0x00RRGGBB.
uint32_t ToRgb(int32_t color) {
  const auto c = static_cast<uint32_t>(color);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The characters of Text[From, To) side by side from x = 0 (line breaks left out).
std::vector<TControlRun> LayOut(const std::string& text, size_t from, size_t to, const TTextControlFont& font) {
  std::vector<TControlRun> runs;
  int32_t x = 0;
  TGlyphBitmap glyph;
  TControlGlyphs* glyphs = ControlGlyphs();
  for (size_t i = from; i < to;) {
    const auto c = static_cast<uint8_t>(text[i]);
    TControlRun run;
    run.Offset = i;
    if (IsLead(c) && i + 1 < to) {
      run.Code = static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(text[i + 1]));
      i += 2;
    } else {
      run.Code = c;
      ++i;
    }
    if (run.Code == '\r' || run.Code == '\n') continue;
    run.Advance = glyphs != nullptr && glyphs->Glyph(run.Code, font, glyph) ? glyph.Advance : font.LineHeight() / 2;
    run.X = x;
    x = std::min(x + run.Advance, kMaxLineX);
    runs.push_back(run);
  }
  return runs;
}

int32_t LineWidth(const std::vector<TControlRun>& runs) {
  return runs.empty() ? 0 : runs.back().X + runs.back().Advance;
}

// The x of the caret at Offset in a laid-out line.
int32_t XOfOffset(const std::vector<TControlRun>& runs, size_t offset) {
  for (const TControlRun& r : runs)
    if (r.Offset >= offset) return r.X;
  return LineWidth(runs);
}

// The right edge of the text area.
int32_t TextRight(const TTextControl& c) {
  return Clamp32(int64_t{c.Width()} - kControlPadX - (c.MultiLine() ? kControlScrollBarWidth : 0));
}

class TPainter {
 public:
  explicit TPainter(const TControlCanvas& canvas) : c_(canvas) {}
  // Fills [X0, X1) x [Y0, Y1) of the control's coordinates.
  void Fill(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t rgb) const {
    const int64_t top = std::max<int64_t>(y0 - c_.Y0, 0), bottom = std::min<int64_t>(y1 - c_.Y0, c_.H);
    const int64_t left = std::max<int64_t>(x0 - c_.X0, 0), right = std::min<int64_t>(x1 - c_.X0, c_.W);
    for (int64_t y = top; y < bottom; ++y) std::fill(Row(y) + left, Row(y) + std::max(left, right), rgb);
  }
  // The glyph's coverage blended in, inside [ClipLeft, ClipRight): in RGB,
  // or in Outside on the rows outside [BandTop, BandBottom) (the ink of a
  // selected character below its highlight).
  void Glyph(const TGlyphBitmap& g, int64_t x0, int64_t y0, int64_t clip_left, int64_t clip_right, uint32_t rgb,
             int64_t band_top = INT64_MIN, int64_t band_bottom = INT64_MAX, uint32_t outside = 0) const {
    for (int32_t j = 0; j < g.Height; ++j) {
      const int64_t cy = y0 + g.OriginY + j, y = cy - c_.Y0;
      if (y < 0 || y >= c_.H) continue;
      const uint32_t colour = cy >= band_top && cy < band_bottom ? rgb : outside;
      for (int32_t i = 0; i < g.Width; ++i) {
        const int64_t cx = x0 + g.OriginX + i, x = cx - c_.X0;
        if (cx < clip_left || cx >= clip_right || x < 0 || x >= c_.W) continue;
        const uint32_t a = g.Coverage[static_cast<size_t>(j) * static_cast<size_t>(g.Width) + static_cast<size_t>(i)];
        uint32_t& d = Row(y)[x];
        uint32_t out = 0;
        for (int shift : {0, 8, 16})
          out |= (((colour >> shift & 255) * a + (d >> shift & 255) * (255 - a) + 127) / 255) << shift;
        d = out;
      }
    }
  }

 private:
  uint32_t* Row(int64_t y) const { return c_.Pixels + y * c_.Stride; }
  const TControlCanvas& c_;
};

}  // namespace

int32_t ControlLineHeight(const TTextControlFont& font) {
  int32_t ascent = 0, descent = 0;
  TControlGlyphs* glyphs = ControlGlyphs();
  if (glyphs != nullptr && glyphs->LineMetrics(font, ascent, descent) && ascent >= 0 && descent >= 0)
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{ascent} + descent, 1, TTextControlFont::kMaxLineHeight));
  return font.LineHeight();
}

int32_t ControlRows(const TTextControl& c) {
  return static_cast<int32_t>(
      std::clamp<int64_t>((int64_t{c.Height()} - 2 * kControlPadY) / ControlLineHeight(c.Font()), 1, INT32_MAX));
}

std::vector<TControlLine> ShownControlLines(TTextControl& c) {
  const std::string& text = c.Text();
  const int32_t line_h = ControlLineHeight(c.Font());
  const int32_t area = std::clamp(TextRight(c) - kControlPadX, -kMaxLineX, kMaxLineX);
  std::vector<TControlLine> lines;
  if (!c.MultiLine()) {
    TControlLine line{0, text.size(), LayOut(text, 0, text.size(), c.Font())};
    const int32_t caret_x = XOfOffset(line.Runs, c.Caret());
    const int32_t width = LineWidth(line.Runs);
    // The caret in view, and no blank at the right while the text is longer.
    if (caret_x - c.ScrollX > area) c.ScrollX = caret_x - area;
    c.ScrollX = std::clamp(c.ScrollX, 0, std::max(0, std::min(caret_x, width - area)));
    line.X = kControlPadX - c.ScrollX;
    line.Y = static_cast<int32_t>((int64_t{c.Height()} - line_h) / 2);
    lines.push_back(std::move(line));
    return lines;
  }
  const std::vector<size_t> starts = c.LineStarts();
  for (size_t i = static_cast<size_t>(std::max(c.TopLine(), 0)); i < starts.size(); ++i) {
    const int64_t y = kControlPadY + static_cast<int64_t>(i - static_cast<size_t>(c.TopLine())) * line_h;
    if (y >= c.Height()) break;
    TControlLine line;
    line.Start = starts[i];
    line.End = i + 1 < starts.size() ? starts[i + 1] : text.size();
    line.Runs = LayOut(text, line.Start, line.End, c.Font());
    const int32_t slack = area - LineWidth(line.Runs);
    line.X = kControlPadX +
             (c.Alignment() == TTextAlign::Right ? slack : c.Alignment() == TTextAlign::Center ? slack / 2 : 0);
    line.Y = static_cast<int32_t>(y);
    lines.push_back(std::move(line));
  }
  return lines;
}

size_t ControlOffsetAt(TTextControl& c, int32_t x, int32_t y) {
  const std::vector<TControlLine> lines = ShownControlLines(c);
  if (lines.empty()) return c.Text().size();
  // The line under the point; above the first or below the last, those.
  const TControlLine* line = &lines.front();
  for (const TControlLine& l : lines)
    if (y >= l.Y) line = &l;
  size_t at = line->Start;
  for (const TControlRun& r : line->Runs)
    if (int64_t{x} >= int64_t{line->X} + r.X + r.Advance / 2) at = r.Offset + (r.Code > 0xFF ? 2 : 1);
  return at;
}

TControlScrollBar ControlScrollBar(const TTextControl& c) {
  TControlScrollBar bar;
  if (!c.MultiLine()) return bar;
  bar.Shown = true;
  bar.Left = Clamp32(int64_t{c.Width()} - kControlScrollBarWidth);
  bar.Lines = static_cast<int32_t>(c.LineStarts().size());
  bar.Rows = ControlRows(c);
  if (bar.Lines <= bar.Rows || c.Height() <= kMinThumb) return bar;
  bar.HasThumb = true;
  const auto thumb = static_cast<int32_t>(std::max<int64_t>(kMinThumb, int64_t{c.Height()} * bar.Rows / bar.Lines));
  bar.ThumbTop = static_cast<int32_t>(int64_t{c.Height() - thumb} * std::min(c.TopLine(), bar.Lines - bar.Rows) /
                                      (bar.Lines - bar.Rows));
  bar.ThumbBottom = bar.ThumbTop + thumb;
  return bar;
}

int32_t ControlTopLineForThumb(const TTextControl& c, int32_t thumb_top) {
  const TControlScrollBar bar = ControlScrollBar(c);
  if (!bar.HasThumb) return 0;
  const int64_t travel = int64_t{c.Height()} - (bar.ThumbBottom - bar.ThumbTop);
  if (travel <= 0) return 0;
  const int64_t span = bar.Lines - bar.Rows;
  return static_cast<int32_t>(std::clamp<int64_t>((int64_t{thumb_top} * span + travel / 2) / travel, 0, span));
}

void PaintTextControl(TTextControl& c, const TTextControlGroup& group, const TControlCanvas& canvas) {
  const TPainter paint(canvas);
  paint.Fill(0, 0, c.Width(), c.Height(), ToRgb(c.BackColor()));
  const bool focused = c.Focused();
  const int32_t line_h = ControlLineHeight(c.Font());
  const int32_t left = kControlPadX - 1, right = TextRight(c);
  const uint32_t ink = ToRgb(c.TextColor());
  TGlyphBitmap glyph;
  TControlGlyphs* glyphs = ControlGlyphs();
  const std::string& composing = focused ? group.Composing() : std::string();
  for (const TControlLine& line : ShownControlLines(c)) {
    for (const TControlRun& r : line.Runs) {
      const int64_t x = int64_t{line.X} + r.X;
      const bool selected = focused && r.Offset >= c.SelStart() && r.Offset < c.SelEnd();
      if (selected) paint.Fill(std::max<int64_t>(x, left), line.Y, std::min<int64_t>(x + r.Advance, right), line.Y + line_h, kSelectionBack);
      // The ink may reach past the line (descenders); the field's text area clips it.
      if (glyphs == nullptr || !glyphs->Glyph(r.Code, c.Font(), glyph)) continue;
      if (selected)
        paint.Glyph(glyph, x, line.Y, left, right, kSelectionText, line.Y, int64_t{line.Y} + line_h, ink);
      else
        paint.Glyph(glyph, x, line.Y, left, right, ink);
    }
    if (!focused || c.Caret() < line.Start || c.Caret() > line.End) continue;
    if (c.MultiLine() && c.Caret() == line.End && line.End < c.Text().size()) continue;
    int64_t x = int64_t{line.X} + XOfOffset(line.Runs, c.Caret());
    // What an input method is composing shows underlined at the caret.
    const std::vector<TControlRun> composed = LayOut(composing, 0, composing.size(), c.Font());
    for (const TControlRun& r : composed) {
      if (glyphs != nullptr && glyphs->Glyph(r.Code, c.Font(), glyph)) paint.Glyph(glyph, x + r.X, line.Y, left, right, ink);
      paint.Fill(x + r.X, line.Y + line_h - 1, x + r.X + r.Advance, line.Y + line_h, ink);
    }
    x += LineWidth(composed);
    if (group.CaretShown() && x >= left && x < right) paint.Fill(x, line.Y, x + 1, line.Y + line_h, ink);
  }
  const TControlScrollBar bar = ControlScrollBar(c);
  if (!bar.Shown) return;
  paint.Fill(bar.Left, 0, c.Width(), c.Height(), kTrack);
  if (bar.HasThumb) paint.Fill(int64_t{bar.Left} + 2, bar.ThumbTop, int64_t{c.Width()} - 2, bar.ThumbBottom, kThumb);
}

void PaintTextControls(TTextControlGroup& group, uint32_t* pixels, int32_t width, int32_t height, int32_t stride) {
  if (pixels == nullptr || stride < width) return;
  for (TTextControl* c : group.Controls()) {
    if (!c->Visible()) continue;
    // Only the part on the picture is painted.
    const int32_t left = std::max(c->Left(), 0), top = std::max(c->Top(), 0);
    const auto right = static_cast<int32_t>(std::min<int64_t>(int64_t{c->Left()} + c->Width(), width));
    const auto bottom = static_cast<int32_t>(std::min<int64_t>(int64_t{c->Top()} + c->Height(), height));
    if (right <= left || bottom <= top) continue;
    const TControlCanvas canvas{pixels + static_cast<ptrdiff_t>(top) * stride + left, stride,
                                Clamp32(int64_t{left} - c->Left()), Clamp32(int64_t{top} - c->Top()), right - left,
                                bottom - top};
    PaintTextControl(*c, group, canvas);
  }
}

int32_t ControlTextWidth(const std::string& text, const TTextControlFont& font) {
  return LineWidth(LayOut(text, 0, text.size(), font));
}

void PaintControlText(const TControlCanvas& canvas, const std::string& text, const TTextControlFont& font, int32_t x,
                      int32_t y, int32_t clip_right, uint32_t rgb) {
  TControlGlyphs* glyphs = ControlGlyphs();
  if (glyphs == nullptr || canvas.Pixels == nullptr) return;
  const TPainter paint(canvas);
  TGlyphBitmap glyph;
  for (const TControlRun& r : LayOut(text, 0, text.size(), font))
    if (glyphs->Glyph(r.Code, font, glyph)) paint.Glyph(glyph, int64_t{x} + r.X, y, INT64_MIN, clip_right, rgb);
}

}  // namespace orba
