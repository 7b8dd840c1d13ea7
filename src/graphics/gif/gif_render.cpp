#include "graphics/gif/gif_render.h"

#include <algorithm>
#include <array>
#include <limits>

#include "graphics/gif/gif_painter.h"
#include "graphics/gif/gif_quantize.h"

namespace orba {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = int64_t{a} * b;
  int64_t q = product / c;
  const int64_t r = product % c;
  // Half away from zero: compare twice the remainder with the divisor.
  if (r != 0 && 2 * (r < 0 ? -r : r) >= (c < 0 ? -int64_t{c} : int64_t{c})) q += (product < 0) != (c < 0) ? -1 : 1;
  if (q > std::numeric_limits<int32_t>::max() || q < std::numeric_limits<int32_t>::min()) return -1;
  return static_cast<int32_t>(q);
}

namespace {

void SetRgb(uint8_t* row, int32_t x, uint8_t r, uint8_t g, uint8_t b) {
  row[x * 3] = b;
  row[x * 3 + 1] = g;
  row[x * 3 + 2] = r;
}

// The red, green, blue of every index: the active table; entries beyond it
// stand as entry 0 (one warning when used); without any table a grey ramp.
std::vector<uint8_t> IndexColors(const TGIFSubImage& frame) {
  const TGIFColorMap& map = frame.ActiveColorMap();
  std::vector<uint8_t> lut(256 * 3);
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = map.Count() == 0 ? nullptr : map.Entry(i < map.Count() ? i : 0);
    for (int c = 0; c < 3; ++c) lut[static_cast<size_t>(i) * 3 + c] = e ? e[c] : static_cast<uint8_t>(i);
  }
  if (map.Count() > 0) {
    for (uint8_t v : frame.Data)
      if (v >= map.Count()) {
        frame.Image().ReportWarning(gif_text::kInvalidColorIndex);
        break;
      }
  }
  return lut;
}

// The areas a frame covers in `rect`: its scaled rectangle, or its
// rectangle at every tile position.
std::vector<TRect> FrameAreas(const TGIFSubImage& frame, const TRect& rect, bool tiled) {
  const TGIFImage& image = frame.Image();
  const int32_t sw = std::max<int32_t>(image.ScreenWidth, 1), sh = std::max<int32_t>(image.ScreenHeight, 1);
  std::vector<TRect> out;
  if (!tiled) {
    const int32_t rw = rect.Right - rect.Left, rh = rect.Bottom - rect.Top;
    out.push_back({rect.Left + MulDiv(frame.Left(), rw, sw), rect.Top + MulDiv(frame.Top(), rh, sh),
                   rect.Left + MulDiv(frame.Left() + frame.Width(), rw, sw),
                   rect.Top + MulDiv(frame.Top() + frame.Height(), rh, sh)});
    return out;
  }
  for (int32_t y = rect.Top + frame.Top(); y < rect.Bottom; y += sh)
    for (int32_t x = rect.Left + frame.Left(); x < rect.Right; x += sw)
      out.push_back({x, y, x + frame.Width(), y + frame.Height()});
  return out;
}

std::unique_ptr<TDIB> CopyArea(TDIB& source, const TRect& rect) {
  auto out = std::make_unique<TDIB>();
  const int32_t w = rect.Right - rect.Left, h = rect.Bottom - rect.Top;
  out->SetSize(w, h, 24);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t sy = rect.Top + y;
    if (sy < 0 || sy >= source.Height()) continue;
    const uint8_t* from = source.PeekRow(sy);
    uint8_t* to = out->GetRow(y);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t sx = rect.Left + x;
      if (sx >= 0 && sx < source.Width()) std::copy_n(from + sx * 3, 3, to + x * 3);
    }
  }
  return out;
}

// Copies `area` of `source` to the same place of `target` shifted by dx, dy.
void CopyBlock(TDIB& source, TDIB& target, TRect area, int32_t dx, int32_t dy) {
  area.Left = std::max(area.Left, 0);
  area.Top = std::max(area.Top, 0);
  area.Right = std::min(area.Right, source.Width());
  area.Bottom = std::min(area.Bottom, source.Height());
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    const int32_t ty = y + dy;
    if (ty < 0 || ty >= target.Height()) continue;
    const uint8_t* from = source.PeekRow(y);
    uint8_t* to = target.GetRow(ty);
    for (int32_t x = area.Left; x < area.Right; ++x) {
      const int32_t tx = x + dx;
      if (tx >= 0 && tx < target.Width()) std::copy_n(from + x * 3, 3, to + tx * 3);
    }
  }
}

void FillArea(TDIB& target, const TRect& area, uint32_t rgb) {
  for (int32_t y = std::max(area.Top, 0); y < std::min(area.Bottom, target.Height()); ++y) {
    uint8_t* row = target.GetRow(y);
    for (int32_t x = std::max(area.Left, 0); x < std::min(area.Right, target.Width()); ++x)
      SetRgb(row, x, static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
  }
}

// The colour a transparent pixel of the cube rendering shows: the rows are
// first filled with an index worked out from the transparent colour
// (MulDiv(36, red, 51) + MulDiv(6, green, 51) + blue div 51 + 1, in 8
// bits), which is not the cube's nearest entry; an index past the cube's
// 216 entries reads the colour table's unused black.
std::array<uint8_t, 3> CubeFillColor(const uint8_t* rgb) {
  const auto index = static_cast<uint8_t>(MulDiv(36, rgb[0], 51) + MulDiv(6, rgb[1], 51) + rgb[2] / 51 + 1);
  constexpr int kCubeEntries = 216, kLevels = 6, kStep = 51;
  if (index >= kCubeEntries) return {0, 0, 0};
  return {static_cast<uint8_t>(index / (kLevels * kLevels) * kStep),
          static_cast<uint8_t>(index / kLevels % kLevels * kStep), static_cast<uint8_t>(index % kLevels * kStep)};
}

uint32_t ColorRefToRgb(uint32_t color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

}  // namespace

bool CubeRendering(const TGIFImage& image) {
  // This display is never paletted.
  return (image.PaintFlags & gif_paint::kDither) != 0 && (image.PaintFlags & gif_paint::kDitherPalettedOnly) == 0;
}

TGIFRenderedFrame RenderFrame(const TGIFSubImage& frame, bool cube) {
  TGIFRenderedFrame out;
  if (frame.Empty()) return out;
  const int32_t w = frame.Width(), h = frame.Height();
  out.Width = w;
  out.Height = h;
  out.Rgb.assign(static_cast<size_t>(w) * h * 3, 0);
  const std::vector<uint8_t> lut = IndexColors(frame);
  const int32_t key = frame.TransparentIndex();
  bool any_transparent = false;
  std::vector<uint8_t> mask(static_cast<size_t>(w) * h, 0);
  if (!cube) {
    for (size_t i = 0; i < frame.Data.size(); ++i) {
      const uint8_t v = frame.Data[i];
      std::copy_n(&lut[v * 3u], 3, &out.Rgb[i * 3]);
      if (v == key) mask[i] = 1, any_transparent = true;
    }
  } else {
    TNetscapeColorLookup lookup;
    std::unique_ptr<TDitherEngine> engine = MakeDitherEngine(1, w, lookup);
    const std::array<uint8_t, 3> fill = key >= 0 ? CubeFillColor(&lut[static_cast<size_t>(key) * 3])
                                                 : std::array<uint8_t, 3>{};
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = engine->Column; x >= 0 && x < w; x = engine->Column) {
        const size_t i = static_cast<size_t>(y) * w + x;
        const uint8_t v = frame.Data[i];
        if (v == key) {
          // No dithering and no error: the pixel keeps the fill.
          mask[i] = 1;
          any_transparent = true;
          std::copy(fill.begin(), fill.end(), &out.Rgb[i * 3]);
          engine->Column += engine->Direction;
          continue;
        }
        int r, g, b;
        engine->MapPixel(lut[v * 3u], lut[v * 3u + 1], lut[v * 3u + 2], r, g, b);
        out.Rgb[i * 3] = static_cast<uint8_t>(r);
        out.Rgb[i * 3 + 1] = static_cast<uint8_t>(g);
        out.Rgb[i * 3 + 2] = static_cast<uint8_t>(b);
      }
      engine->EndRow();
    }
  }
  if (any_transparent) out.Mask = std::move(mask);
  return out;
}

void DrawGifFrame(const TGIFSubImage& frame, const TGIFRenderedFrame& pixels, TDIB& target, const TRect& rect,
                  bool tiled, bool transparent) {
  if (pixels.Width == 0) return;
  const bool masked = transparent && frame.Transparent && !pixels.Mask.empty();
  for (const TRect& area : FrameAreas(frame, rect, tiled)) {
    const int32_t aw = area.Right - area.Left, ah = area.Bottom - area.Top;
    if (aw <= 0 || ah <= 0) continue;
    const int32_t top = std::max({area.Top, tiled ? rect.Top : area.Top, 0});
    const int32_t bottom = std::min({area.Bottom, tiled ? rect.Bottom : area.Bottom, target.Height()});
    const int32_t left = std::max({area.Left, tiled ? rect.Left : area.Left, 0});
    const int32_t right = std::min({area.Right, tiled ? rect.Right : area.Right, target.Width()});
    for (int32_t y = top; y < bottom; ++y) {
      const int32_t sy = static_cast<int32_t>(int64_t{y - area.Top} * pixels.Height / ah);
      uint8_t* row = target.GetRow(y);
      for (int32_t x = left; x < right; ++x) {
        const int32_t sx = static_cast<int32_t>(int64_t{x - area.Left} * pixels.Width / aw);
        const size_t i = static_cast<size_t>(sy) * pixels.Width + sx;
        if (masked && pixels.Mask[i]) continue;
        SetRgb(row, x, pixels.Rgb[i * 3], pixels.Rgb[i * 3 + 1], pixels.Rgb[i * 3 + 2]);
      }
    }
  }
}

void DrawGifImage(TGIFImage& image, TDIB& target, const TRect& rect) {
  if (image.Empty()) return;
  TGIFSubImage& first = image.Frame(0);
  DrawGifFrame(first, RenderFrame(first, CubeRendering(image)), target, rect, image.PaintFlags & gif_paint::kTile,
               image.PaintFlags & gif_paint::kTransparent);
}

const TGIFRenderedFrame& TGIFSubImage::Bitmap() {
  if (bitmap_ == nullptr) bitmap_ = std::make_shared<TGIFRenderedFrame>(RenderFrame(*this, CubeRendering(*image_)));
  return *bitmap_;
}

void ComposeFirstFrame(TGIFImage& image, TDIB& out) {
  if (image.Empty() || image.ScreenWidth == 0 || image.ScreenHeight == 0) return;
  if (int64_t{image.ScreenWidth} * image.ScreenHeight > kMaxImagePixels)
    throw GIFException(gif_text::kInvalidDimensions);
  out.SetSize(image.ScreenWidth, image.ScreenHeight, 24);
  TGIFSubImage& first = image.Frame(0);
  DrawGifFrame(first, RenderFrame(first, CubeRendering(image)), out, TRect{0, 0, image.ScreenWidth, image.ScreenHeight},
               false, false);
}

namespace {

// Paints the frames up to `frame` onto Out, a screen-sized 24-bit surface,
// over what it holds: the picture is drawn on it by a painter in this
// thread, on a timer that moves only when slept, and halted once that frame
// is painted. The picture's options, timer and events are put back after.
void PaintFramesOnto(TGIFImage& image, int32_t frame, TDIB& out) {
  struct TInstantTimer : TGIFTimer {
    uint32_t NowMs() override { return now; }
    void Sleep(uint32_t ms) override { now += ms; }
    uint32_t now = 0;
  } timer;
  struct TSaved {
    TGIFImage& image;
    uint16_t flags = image.PaintFlags;
    TGIFTimer* timer = image.Timer;
    std::function<void()> start = std::move(image.OnAnimationStart), before = std::move(image.OnBeforeFrame),
                          after = std::move(image.OnAfterFrame), pass = std::move(image.OnNewPass),
                          end = std::move(image.OnAnimationEnd);
    ~TSaved() {
      image.PaintFlags = flags, image.Timer = timer;
      image.OnAnimationStart = std::move(start), image.OnBeforeFrame = std::move(before);
      image.OnAfterFrame = std::move(after), image.OnNewPass = std::move(pass), image.OnAnimationEnd = std::move(end);
    }
  } saved{image};
  image.OnAnimationStart = image.OnBeforeFrame = image.OnNewPass = image.OnAnimationEnd = nullptr;
  image.PaintFlags = gif_paint::kAnimate | gif_paint::kTransparent | gif_paint::kDirectPaint;
  image.Timer = &timer;
  int32_t painted = 0;
  image.OnAfterFrame = [&] {
    if (painted++ == frame) image.HaltAllPainters();
  };
  TGIFCanvas canvas(out);
  image.Draw(canvas, TRect{0, 0, image.ScreenWidth, image.ScreenHeight});
}

}  // namespace

void ComposeFrame(TGIFImage& image, int32_t frame, TDIB& out) {
  if (image.Empty() || image.ScreenWidth == 0 || image.ScreenHeight == 0) return;
  if (int64_t{image.ScreenWidth} * image.ScreenHeight > kMaxImagePixels)
    throw GIFException(gif_text::kInvalidDimensions);
  out.SetSize(image.ScreenWidth, image.ScreenHeight, 24);
  PaintFramesOnto(image, frame, out);
}

TRgbaPicture ComposeFrameRgba(TGIFImage& image, int32_t frame) {
  TDIB black;
  ComposeFrame(image, frame, black);
  if (black.Empty()) return {};
  // The same frames over a white screen: a pixel that a frame painted comes
  // out alike on both screens, one that no frame covers (or that shows
  // through a transparent index or a disposal) keeps the two screens'
  // colours, which differ in every channel.
  TDIB white;
  white.SetSize(black.Width(), black.Height(), 24);
  std::vector<uint8_t> row(static_cast<size_t>(black.Width()) * 3, 255);
  for (int32_t y = 0; y < white.Height(); ++y) white.WriteRowRGB(y, row.data());
  PaintFramesOnto(image, frame, white);
  TRgbaPicture out = DibToRgba(black, nullptr, -1);
  std::vector<uint8_t> over_black(row.size()), over_white(row.size());
  for (int32_t y = 0; y < black.Height(); ++y) {
    black.ReadRowRGB(y, over_black.data());
    white.ReadRowRGB(y, over_white.data());
    for (size_t x = 0; x < static_cast<size_t>(black.Width()); ++x) {
      if (over_black[x * 3] == over_white[x * 3]) continue;
      uint8_t* px = &out.Pixels[(static_cast<size_t>(y) * static_cast<size_t>(black.Width()) + x) * 4];
      std::fill_n(px, 4, uint8_t{0});
    }
  }
  return out;
}

// ---- The painter ----

TGIFPainter::TGIFPainter(TGIFImage& image, TDIB& canvas, const TRect& rect, uint16_t flags, TClock& clock)
    : image_(image), canvas_(canvas), rect_(rect), flags_(flags), clock_(clock), speed_(image.SpeedPercent) {
  if (image.Count() < 2) flags_ &= static_cast<uint16_t>(~(gif_paint::kOwnClock | gif_paint::kAnimate));
  if (image.BackdropColor != 0x1FFFFFFF)
    background_ = ColorRefToRgb(image.BackdropColor);
  else if (image.GlobalColorMap.Count() == 0)
    background_ = 0xFFFFFF;  // the window colour
  else
    background_ = ColorRefToRgb(static_cast<uint32_t>(image.BackgroundColor()));
  bool restore_background = (flags_ & gif_paint::kClearOnLoop) != 0, restore_previous = false;
  for (const auto& frame : image.Frames) {
    if (frame->GraphicControl == nullptr) continue;
    restore_background |= frame->Disposal() == 2;
    restore_previous |= frame->Disposal() == 3;
  }
  if (restore_background && (flags_ & gif_paint::kTransparent)) backdrop_ = CopyArea(canvas_, rect_);
  if (restore_background || restore_previous) {
    composition_ = CopyArea(canvas_, rect_);
    previous_ = std::make_unique<TDIB>();
    previous_->SetSize(rect_.Right - rect_.Left, rect_.Bottom - rect_.Top, 24);
  }
}

TGIFPainter::~TGIFPainter() = default;

void TGIFPainter::Start() {
  if (image_.Empty() || rect_.Right <= rect_.Left || rect_.Bottom <= rect_.Top) return;
  running_ = true;
  frame_ = 0;
  Fire(OnAnimationStart);
  if (halted_) {
    Stop();
    return;
  }
  started_ = false;
  loops_left_ = 1;
  loop_seen_ = false;
  delay_ = Threaded() ? 0 : 1;
  previous_disposal_ = 1;
  lag_ = 0;
  last_ = clock_.NowMs();
  if (image_.Frame(0).Empty()) {
    Stop();
    return;
  }
  Schedule(last_);
  Tick();
}

void TGIFPainter::Schedule(uint32_t now) {
  forever_wait_ = false;
  if (delay_ < 1) {
    wait_ = 0;
    due_ = now;
    return;
  }
  if (speed_ >= 1) {
    const int32_t elapsed = static_cast<int32_t>(now - last_) - lag_;
    wait_ = MulDiv(delay_ * kGifDelayUnitMs - elapsed / 2, 100, speed_);
    lag_ = wait_;
  } else if (Threaded()) {
    forever_wait_ = true;
    wait_ = -1;
    last_ = now;
    return;
  } else {
    wait_ = 12000;
  }
  last_ = now;
  // At least 1 ms, so that a clock tick ends even at the highest speeds.
  wait_ = std::max(wait_, 1);
  due_ = now + static_cast<uint32_t>(std::max(wait_, 0));
}

void TGIFPainter::Tick() {
  const uint32_t now = clock_.NowMs();
  while (running_ && !forever_wait_ && static_cast<int32_t>(now - due_) >= 0) PaintCurrent(due_);
}

void TGIFPainter::PaintNext() {
  if (running_) PaintCurrent(forever_wait_ ? clock_.NowMs() : due_);
}

int64_t TGIFPainter::MsToNextFrame() {
  if (!running_ || forever_wait_) return -1;
  return std::max<int64_t>(static_cast<int32_t>(due_ - clock_.NowMs()), 0);
}

void TGIFPainter::RunToEnd(const std::function<void(uint32_t ms)>& sleep) {
  if (!running_) Start();
  while (running_) {
    const int64_t ms = MsToNextFrame();
    if (ms < 0) break;
    if (ms > 0) sleep(static_cast<uint32_t>(ms));
    Tick();
  }
}

void TGIFPainter::Stop() {
  if (!running_ && frame_ < 0) return;
  running_ = false;
  frame_ = -1;
  Fire(OnAnimationEnd);
}

void TGIFPainter::PaintCurrent(uint32_t now) {
  if (halted_) {
    Stop();
    return;
  }
  Fire(OnBeforeFrame);
  // A handler that halted the painter may have cleared the picture too.
  if (halted_) {
    Stop();
    return;
  }
  TGIFSubImage& frame = image_.Frame(frame_);
  int32_t disposal = 1;
  for (const auto& extension : frame.Extensions) {
    if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extension.get())) {
      if (!loop_seen_) {
        loop_seen_ = true;
        loops_left_ = loop->Loops;
        if (Threaded() && (loop->Loops == 0 || (flags_ & gif_paint::kLoopForever))) loops_left_ = -1;
      }
    } else if (const auto* control = dynamic_cast<const TGIFGraphicControlExtension*>(extension.get())) {
      disposal = control->Disposal();
    }
  }
  if (!composition_) {
    DrawGifFrame(frame, RenderFrame(frame, CubeRendering(image_)), canvas_, rect_, flags_ & gif_paint::kTile,
                 flags_ & gif_paint::kTransparent);
    started_ = true;
  } else {
    PaintFrame(frame, disposal);
  }
  previous_disposal_ = disposal;
  delay_ = kGifDefaultDelay;
  if (frame.GraphicControl != nullptr && frame.GraphicControl->Delay != 0) {
    delay_ = std::max<int32_t>(frame.GraphicControl->Delay, kGifMinimumDelay);
    if (!Threaded()) delay_ = std::min(delay_, kGifMaximumDelay);
  }
  const int32_t painted = frame_;
  Fire(OnAfterFrame);
  if (!running_) return;
  if (halted_) {
    Stop();
    return;
  }
  if (frame_ == painted) ++frame_;
  const bool pass_goes_on =
      (flags_ & gif_paint::kAnimate) && frame_ < image_.Count() && !image_.Frame(frame_).Empty();
  if (!pass_goes_on) {
    if (loops_left_ > 0) --loops_left_;
    const bool again = (flags_ & gif_paint::kAnimate) && (flags_ & gif_paint::kLoop) &&
                       (loops_left_ != 0 || (flags_ & gif_paint::kLoopForever));
    if (!again || image_.Frame(0).Empty()) {
      Stop();
      return;
    }
    frame_ = 0;
    if (started_) Fire(OnNewPass);
    if (!running_) return;
  }
  Schedule(now);
}

void TGIFPainter::PaintFrame(TGIFSubImage& frame, int32_t disposal) {
  if ((flags_ & gif_paint::kValidateCanvas) && TargetGone && TargetGone()) {
    halted_ = true;
    return;
  }
  const bool tiled = (flags_ & gif_paint::kTile) != 0, transparent = (flags_ & gif_paint::kTransparent) != 0;
  const bool clear_first = (flags_ & gif_paint::kClearOnLoop) && frame_ == 0;
  const TRect local{0, 0, rect_.Right - rect_.Left, rect_.Bottom - rect_.Top};
  TDIB* dest = nullptr;
  bool restore = false;
  switch (disposal) {
    case 0:
    case 1: dest = composition_.get(); break;
    case 2:
      dest = composition_.get();
      restore = true;
      break;
    case 3: dest = previous_disposal_ <= 1 ? nullptr : previous_.get(); break;
    default: return;
  }
  if (clear_first) RestoreToBackground(*composition_, frame);
  if (dest == previous_.get()) CopyBlock(*composition_, *previous_, local, 0, 0);
  const TGIFRenderedFrame pixels = RenderFrame(frame, CubeRendering(image_));
  if (dest == nullptr) {
    DrawGifFrame(frame, pixels, canvas_, rect_, tiled, transparent);
  } else {
    DrawGifFrame(frame, pixels, *dest, local, tiled, transparent);
    CopyBlock(*dest, canvas_, local, rect_.Left, rect_.Top);
  }
  if (restore) RestoreToBackground(*composition_, frame);
  started_ = true;
}

void TGIFPainter::RestoreToBackground(TDIB& buffer, const TGIFSubImage& frame) {
  const TRect local{0, 0, rect_.Right - rect_.Left, rect_.Bottom - rect_.Top};
  for (const TRect& area : FrameAreas(frame, local, (flags_ & gif_paint::kTile) != 0)) {
    if ((flags_ & gif_paint::kTransparent) && backdrop_)
      CopyBlock(*backdrop_, buffer, area, 0, 0);
    else
      FillArea(buffer, area, background_);
  }
}

}  // namespace orba
