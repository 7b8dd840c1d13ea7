#include "platform/sdl/sdl_text_controls.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/sdl/vk_map.h"

namespace orba {

namespace {

constexpr uint32_t kSelectionBack = 0x3399FF, kSelectionText = 0xFFFFFF;
constexpr uint32_t kTrack = 0xF0F0F0, kThumb = 0xA8A8A8;
constexpr int32_t kPadX = 2, kPadY = 1;
// Lines are laid out no wider than this, so that positions stay small.
constexpr int32_t kMaxLineX = 1 << 24;

class TSdlTextControl final : public TTextControl {
 public:
  TSdlTextControl(TSdlTextControls& group, bool multi_line) : TTextControl(group, multi_line), owner_(group) {}
  int32_t ScrollX = 0;  // a one-line control's text scrolled left by this much

 protected:
  void Changed() override { owner_.MarkChanged(); }

 private:
  TSdlTextControls& owner_;
};

// 0x00BBGGRR to 0x00RRGGBB.
uint32_t ToRgb(int32_t color) {
  const auto c = static_cast<uint32_t>(color);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// One character of a laid-out line.
struct TRun {
  size_t Offset = 0;
  uint16_t Code = 0;
  int32_t X = 0, Advance = 0;
};

int32_t LineHeight(const TTextControlFont& font) { return font.LineHeight(); }

// The characters of Text[From, To) side by side from x = 0 (line breaks left out).
std::vector<TRun> LayOut(const std::string& text, size_t from, size_t to, const TTextControlFont& font) {
  std::vector<TRun> runs;
  int32_t x = 0;
  TGlyphBitmap glyph;
  for (size_t i = from; i < to;) {
    const auto c = static_cast<uint8_t>(text[i]);
    TRun run;
    run.Offset = i;
    if (IsLead(c) && i + 1 < to) {
      run.Code = static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(text[i + 1]));
      i += 2;
    } else {
      run.Code = c;
      ++i;
    }
    if (run.Code == '\r' || run.Code == '\n') continue;
    TControlGlyphs* glyphs = ControlGlyphs();
    run.Advance = glyphs != nullptr && glyphs->Glyph(run.Code, font, glyph) ? glyph.Advance : LineHeight(font) / 2;
    run.X = x;
    x = std::min(x + run.Advance, kMaxLineX);
    runs.push_back(run);
  }
  return runs;
}

int32_t LineWidth(const std::vector<TRun>& runs) { return runs.empty() ? 0 : runs.back().X + runs.back().Advance; }

// The x of the caret at Offset in a laid-out line.
int32_t XOfOffset(const std::vector<TRun>& runs, size_t offset) {
  for (const TRun& r : runs)
    if (r.Offset >= offset) return r.X;
  return LineWidth(runs);
}

// The part of a control's picture from (X0, Y0) of W x H pixels, 0x00RRGGBB;
// drawing takes the control's own coordinates.
class TCanvas {
 public:
  TCanvas(int32_t x0, int32_t y0, int32_t w, int32_t h, uint32_t back)
      : x0_(x0), y0_(y0), w_(w), h_(h), px_(static_cast<size_t>(w) * static_cast<size_t>(h), back) {}
  void Fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t rgb) {
    for (int32_t y = std::max(y0 - y0_, 0); y < std::min(y1 - y0_, h_); ++y)
      for (int32_t x = std::max(x0 - x0_, 0); x < std::min(x1 - x0_, w_); ++x) px_[static_cast<size_t>(y) * w_ + x] = rgb;
  }
  void Glyph(const TGlyphBitmap& g, int32_t x0, int32_t y0, int32_t clip_right, uint32_t rgb) {
    for (int32_t j = 0; j < g.Height; ++j)
      for (int32_t i = 0; i < g.Width; ++i) {
        const int32_t x = x0 + g.OriginX + i, y = y0 + g.OriginY + j;
        if (x >= clip_right || x < x0_ || y < y0_ || x - x0_ >= w_ || y - y0_ >= h_) continue;
        const uint32_t a = g.Coverage[static_cast<size_t>(j) * g.Width + i];
        uint32_t& d = px_[static_cast<size_t>(y - y0_) * w_ + (x - x0_)];
        uint32_t out = 0;
        for (int shift : {0, 8, 16})
          out |= (((rgb >> shift & 255) * a + (d >> shift & 255) * (255 - a)) / 255) << shift;
        d = out;
      }
  }
  const std::vector<uint32_t>& Pixels() const { return px_; }

 private:
  int32_t x0_, y0_, w_, h_;
  std::vector<uint32_t> px_;
};

// The line, its characters and where it is drawn, for each shown line.
struct TShownLine {
  size_t Start = 0, End = 0;
  std::vector<TRun> Runs;
  int32_t X = 0, Y = 0;
};

std::vector<TShownLine> ShownLines(TSdlTextControl& c) {
  const std::string& text = c.Text();
  const int32_t line_h = LineHeight(c.Font());
  const auto area = static_cast<int32_t>(std::clamp<int64_t>(
      int64_t{c.Width()} - 2 * kPadX - (c.MultiLine() ? TSdlTextControls::kScrollBarWidth : 0), -kMaxLineX, kMaxLineX));
  std::vector<TShownLine> lines;
  if (!c.MultiLine()) {
    TShownLine line{0, text.size(), LayOut(text, 0, text.size(), c.Font())};
    const int32_t caret_x = XOfOffset(line.Runs, c.Caret());
    if (caret_x - c.ScrollX > area) c.ScrollX = caret_x - area;
    if (caret_x < c.ScrollX) c.ScrollX = caret_x;
    line.X = kPadX - c.ScrollX;
    line.Y = static_cast<int32_t>((int64_t{c.Height()} - line_h) / 2);
    lines.push_back(std::move(line));
    return lines;
  }
  const std::vector<size_t> starts = c.LineStarts();
  for (size_t i = static_cast<size_t>(std::max(c.TopLine(), 0)); i < starts.size(); ++i) {
    const int64_t y = kPadY + static_cast<int64_t>(i - static_cast<size_t>(c.TopLine())) * line_h;
    if (y >= c.Height()) break;
    TShownLine line;
    line.Start = starts[i];
    line.End = i + 1 < starts.size() ? starts[i + 1] : text.size();
    line.Runs = LayOut(text, line.Start, line.End, c.Font());
    const int32_t slack = area - LineWidth(line.Runs);
    line.X = kPadX + (c.Alignment() == TTextAlign::Right ? slack : c.Alignment() == TTextAlign::Center ? slack / 2 : 0);
    line.Y = static_cast<int32_t>(y);
    lines.push_back(std::move(line));
  }
  return lines;
}

void Paint(TSdlTextControl& c, bool focused, const std::string& composing, TCanvas& canvas) {
  const int32_t line_h = LineHeight(c.Font());
  const int32_t right = c.Width() - kPadX - (c.MultiLine() ? TSdlTextControls::kScrollBarWidth : 0);
  const uint32_t ink = ToRgb(c.TextColor());
  TGlyphBitmap glyph;
  TControlGlyphs* glyphs = ControlGlyphs();
  for (const TShownLine& line : ShownLines(c)) {
    for (const TRun& r : line.Runs) {
      const bool selected = focused && r.Offset >= c.SelStart() && r.Offset < c.SelEnd();
      if (selected) canvas.Fill(line.X + r.X, line.Y, std::min(line.X + r.X + r.Advance, right), line.Y + line_h, kSelectionBack);
      if (glyphs != nullptr && glyphs->Glyph(r.Code, c.Font(), glyph))
        canvas.Glyph(glyph, line.X + r.X, line.Y, right, selected ? kSelectionText : ink);
    }
    if (!focused || c.Caret() < line.Start || c.Caret() > line.End) continue;
    if (c.MultiLine() && c.Caret() == line.End && line.End < c.Text().size()) continue;
    int32_t x = line.X + XOfOffset(line.Runs, c.Caret());
    // What an input method is composing shows underlined at the caret.
    for (const TRun& r : LayOut(composing, 0, composing.size(), c.Font())) {
      if (glyphs != nullptr && glyphs->Glyph(r.Code, c.Font(), glyph)) canvas.Glyph(glyph, x + r.X, line.Y, right, ink);
      canvas.Fill(x + r.X, line.Y + line_h - 1, x + r.X + r.Advance, line.Y + line_h, ink);
    }
    x += LineWidth(LayOut(composing, 0, composing.size(), c.Font()));
    canvas.Fill(x, line.Y, x + 1, line.Y + line_h, ink);
  }
  if (!c.MultiLine()) return;
  const int32_t bar = c.Width() - TSdlTextControls::kScrollBarWidth;
  canvas.Fill(bar, 0, c.Width(), c.Height(), kTrack);
  const auto lines = static_cast<int32_t>(c.LineStarts().size());
  const auto rows = static_cast<int32_t>(std::max<int64_t>(1, (int64_t{c.Height()} - 2 * kPadY) / line_h));
  if (lines > rows) {
    const auto thumb = static_cast<int32_t>(std::max<int64_t>(8, int64_t{c.Height()} * rows / lines));
    const auto y = static_cast<int32_t>(int64_t{c.Height() - thumb} * std::min(c.TopLine(), lines - rows) / (lines - rows));
    canvas.Fill(bar + 2, y, c.Width() - 2, y + thumb, kThumb);
  }
}

}  // namespace

TSdlTextControls::TSdlTextControls(TSdlVideo& video) : video_(video) {
  SDL_StopTextInput();
  video_.SetOverlay(this);
}

TSdlTextControls::~TSdlTextControls() {
  video_.SetOverlay(nullptr);
  SDL_StopTextInput();
}

std::unique_ptr<TTextControl> TSdlTextControls::Create(bool multi_line) {
  return std::make_unique<TSdlTextControl>(*this, multi_line);
}

bool TSdlTextControls::TakeChanged() {
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

void TSdlTextControls::FocusChanged() {
  composing_.clear();
  changed_ = true;
  TTextControl* focused = FocusedControl();
  if (focused == nullptr) {
    SDL_StopTextInput();
    return;
  }
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  video_.GameToWindowPosition(focused->Left(), focused->Top(), x0, y0);
  video_.GameToWindowPosition(static_cast<int32_t>(std::min<int64_t>(int64_t{focused->Left()} + focused->Width(), INT32_MAX)),
                              static_cast<int32_t>(std::min<int64_t>(int64_t{focused->Top()} + focused->Height(), INT32_MAX)),
                              x1, y1);
  SDL_Rect r{x0, y0, std::max(x1 - x0, 1), std::max(y1 - y0, 1)};
  SDL_SetTextInputRect(&r);
  SDL_StartTextInput();
}

TTextControl* TSdlTextControls::ControlAt(int32_t x, int32_t y) const {
  for (auto it = Controls().rbegin(); it != Controls().rend(); ++it) {
    TTextControl* c = *it;
    if (c->Visible() && x >= c->Left() && y >= c->Top() && x < int64_t{c->Left()} + c->Width() &&
        y < int64_t{c->Top()} + c->Height())
      return c;
  }
  return nullptr;
}

bool TSdlTextControls::HandleEvent(const SDL_Event& e) {
  TTextControl* focused = FocusedControl();
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN: {
      if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) return false;
      int32_t gx = 0, gy = 0;
      video_.WindowToGamePosition(e.button.x, e.button.y, gx, gy);
      TTextControl* hit = ControlAt(gx, gy);
      if (hit == nullptr) {
        ClearFocus();
        return false;
      }
      hit->SetFocus();
      if (hit->Focused() && e.button.button == SDL_BUTTON_LEFT) {
        auto& c = static_cast<TSdlTextControl&>(*hit);
        for (const TShownLine& line : ShownLines(c)) {
          if (c.MultiLine() && (gy - c.Top() < line.Y || gy - c.Top() >= line.Y + LineHeight(c.Font()))) continue;
          size_t at = line.Start;
          for (const TRun& r : line.Runs)
            if (gx - c.Left() >= line.X + r.X + r.Advance / 2) at = r.Offset + (r.Code > 0xFF ? 2 : 1);
          c.PlaceCaret(at, (SDL_GetModState() & KMOD_SHIFT) != 0);
        }
      }
      captured_ = true;
      return true;
    }
    case SDL_MOUSEBUTTONUP:
      if (!captured_) return false;
      captured_ = false;
      return true;
    case SDL_MOUSEWHEEL: {
      int wx = 0, wy = 0;
      int32_t gx = 0, gy = 0;
      SDL_GetMouseState(&wx, &wy);
      video_.WindowToGamePosition(wx, wy, gx, gy);
      TTextControl* hit = ControlAt(gx, gy);
      if (hit == nullptr || !hit->MultiLine()) return false;
      const int32_t notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      hit->SetTopLine(hit->TopLine() - 3 * notches);
      return true;
    }
    case SDL_KEYDOWN: {
      if (focused == nullptr) return false;
      const SDL_Keycode sym = e.key.keysym.sym;
      if ((sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT) != 0) return false;
      // While an input method composes, the keys are its own.
      if (!composing_.empty()) return true;
      const int32_t vk = SdlKeyToVk(sym);
      if (vk != 0) focused->KeyDown(vk, (e.key.keysym.mod & KMOD_SHIFT) != 0);
      return true;
    }
    case SDL_KEYUP:
      return focused != nullptr;
    case SDL_TEXTINPUT:
      if (focused == nullptr) return false;
      composing_.clear();
      changed_ = true;
      focused->TypeText(TypedUtf8ToSjis(e.text.text));
      return true;
    case SDL_TEXTEDITING:
      if (focused == nullptr) return false;
      composing_ = TypedUtf8ToSjis(e.edit.text);
      changed_ = true;
      return true;
    default:
      return false;
  }
}

void TSdlTextControls::Render(SDL_Renderer* renderer, const TLetterbox& box) {
  if (box.GameWidth <= 0 || box.GameHeight <= 0) return;
  const SDL_Rect picture{box.X, box.Y, box.Width, box.Height};
  SDL_RenderSetClipRect(renderer, &picture);
  auto scale = [](int32_t v, int32_t size, int32_t game) { return static_cast<int32_t>(int64_t{v} * size / game); };
  for (TTextControl* control : Controls()) {
    auto& c = static_cast<TSdlTextControl&>(*control);
    if (!c.Visible()) continue;
    // Only the part on the game screen is drawn.
    const int32_t left = std::max(c.Left(), 0), top = std::max(c.Top(), 0);
    const auto right = static_cast<int32_t>(std::min<int64_t>(int64_t{c.Left()} + c.Width(), box.GameWidth));
    const auto bottom = static_cast<int32_t>(std::min<int64_t>(int64_t{c.Top()} + c.Height(), box.GameHeight));
    if (right <= left || bottom <= top) continue;
    TCanvas canvas(left - c.Left(), top - c.Top(), right - left, bottom - top, ToRgb(c.BackColor()));
    Paint(c, c.Focused(), c.Focused() ? composing_ : std::string(), canvas);
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, right - left, bottom - top);
    if (texture == nullptr) continue;
    SDL_UpdateTexture(texture, nullptr, canvas.Pixels().data(), (right - left) * 4);
    const int32_t x0 = box.X + scale(left, box.Width, box.GameWidth);
    const int32_t y0 = box.Y + scale(top, box.Height, box.GameHeight);
    const SDL_Rect target{x0, y0, box.X + scale(right, box.Width, box.GameWidth) - x0,
                          box.Y + scale(bottom, box.Height, box.GameHeight) - y0};
    SDL_RenderCopy(renderer, texture, nullptr, &target);
    SDL_DestroyTexture(texture);
  }
  SDL_RenderSetClipRect(renderer, nullptr);
}

}  // namespace orba
