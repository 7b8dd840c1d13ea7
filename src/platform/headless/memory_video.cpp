#include "platform/headless/memory_video.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/text_controls_view.h"

namespace orba {

void TMemoryVideo::CreateWindow(int32_t width, int32_t height, const std::string& title) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("window size must be positive");
  created_ = true;
  width_ = width;
  height_ = height;
  title_ = title;
  picture_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  game_ = picture_;
  shows_controls_ = false;
  restart_ = true;
  RepaintTextControls();
}

void TMemoryVideo::SetTextControls(TTextControlGroup* group) {
  controls_ = group;
  shows_controls_ = false;
  restart_ = true;
  RepaintTextControls();
}

namespace {

bool Meet(const TScreenRect& a, const TScreenRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

bool MeetsAny(const TScreenRect& a, const std::vector<TScreenRect>& list) {
  return std::any_of(list.begin(), list.end(), [&a](const TScreenRect& b) { return Meet(a, b); });
}

}  // namespace

void TMemoryVideo::MarkStale(const TScreenRect& rect) {
  if (!shows_controls_) return;
  const TScreenRect r{std::max(rect.Left, 0), std::max(rect.Top, 0), std::min(rect.Right, width_),
                      std::min(rect.Bottom, height_)};
  if (r.Left < r.Right && r.Top < r.Bottom) stale_.push_back(r);
}

void TMemoryVideo::CopyToShown(const TScreenRect& rect) {
  const int32_t left = std::max(rect.Left, 0), right = std::min(rect.Right, width_);
  const int32_t top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, height_);
  if (left >= right || top >= bottom) return;
  const size_t bytes = static_cast<size_t>(right - left) * sizeof(uint32_t);
  for (int32_t y = top; y < bottom; ++y) {
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(left);
    std::memcpy(shown_.data() + at, picture_.data() + at, bytes);
  }
  control_copy_pixels_ += static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top);
}

std::vector<TScreenRect> TMemoryVideo::ControlRects() const {
  std::vector<TScreenRect> rects;
  for (const TTextControl* c : controls_->Controls()) {
    if (!c->Visible()) continue;
    const TScreenRect r{std::max(c->Left(), 0), std::max(c->Top(), 0),
                        static_cast<int32_t>(std::min<int64_t>(int64_t{c->Left()} + c->Width(), width_)),
                        static_cast<int32_t>(std::min<int64_t>(int64_t{c->Top()} + c->Height(), height_))};
    if (r.Left < r.Right && r.Top < r.Bottom) rects.push_back(r);
  }
  return rects;
}

void TMemoryVideo::RepaintTextControls() {
  if (controls_ == nullptr || !created_) return;
  const bool changed = controls_->TakeChanged() || restart_;
  restart_ = false;
  if (!changed && stale_.empty()) return;
  std::vector<TScreenRect> now = ControlRects();
  if (now.empty()) {
    // Nothing over the game's picture: it is the shown one.
    shows_controls_ = false;
    stale_.clear();
    painted_.clear();
    return;
  }
  if (!shows_controls_) {
    shown_.resize(picture_.size());
    shows_controls_ = true;
    stale_.clear();
    CopyToShown({0, 0, width_, height_});
  } else {
    // Controls paint over what lies under them: where that changed, or
    // they did, the picture under every control is taken again and all are
    // painted anew, in their order.
    bool repaint = changed;
    for (const TScreenRect& r : stale_) {
      CopyToShown(r);
      repaint = repaint || MeetsAny(r, now) || MeetsAny(r, painted_);
    }
    stale_.clear();
    if (!repaint) return;
    for (const TScreenRect& r : painted_)
      if (std::find(now.begin(), now.end(), r) == now.end()) CopyToShown(r);
    for (const TScreenRect& r : now) CopyToShown(r);
  }
  PaintTextControls(*controls_, shown_.data(), width_, height_, width_);
  painted_ = std::move(now);
}

const std::vector<uint32_t>& TMemoryVideo::Picture() const { return shows_controls_ ? shown_ : picture_; }

TFrameView TMemoryVideo::Frame() const {
  if (!created_) return {};
  return {Picture().data(), width_, height_, width_};
}

TFrameBuffer TMemoryVideo::PresentBuffer() {
  if (!created_ || overlaid_) return {};
  return {picture_.data(), width_, height_, width_};
}

void TMemoryVideo::Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) {
  ShowFrame(frame, dirty);
  // Painted in place or copied, the game's picture changed inside the
  // dirty rectangles alone.
  for (const TScreenRect& r : dirty) MarkStale(r);
  RepaintTextControls();
}

void TMemoryVideo::ShowFrame(const TFrameView& frame, const std::vector<TScreenRect>& dirty) {
  ++present_count_;
  if (!frame.Pixels || frame.Stride < frame.Width) return;
  // Painted in place (PresentBuffer).
  if (frame.Pixels == picture_.data() && !overlaid_) return;
  const int32_t w = std::min(width_, frame.Width);
  const int32_t h = std::min(height_, frame.Height);
  for (const TScreenRect& r : dirty) {
    const int32_t left = std::max(r.Left, 0), right = std::min(r.Right, w);
    const int32_t top = std::max(r.Top, 0), bottom = std::min(r.Bottom, h);
    if (left >= right) continue;
    // Without overlays the shown picture is the game's: one copy.
    std::vector<uint32_t>& target = overlaid_ ? game_ : picture_;
    const size_t bytes = static_cast<size_t>(right - left) * sizeof(uint32_t);
    for (int32_t y = top; y < bottom; ++y) {
      const uint32_t* src = frame.Pixels + static_cast<ptrdiff_t>(y) * frame.Stride + left;
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(left);
      std::memcpy(target.data() + at, src, bytes);
      if (overlaid_) std::memcpy(picture_.data() + at, src, bytes);
    }
  }
}

// Each overlay's source rectangle is scaled into its destination, nearest
// pixel, over the game's picture.
void TMemoryVideo::SetOverlays(const std::vector<TVideoOverlay>& overlays) {
  if (!created_ || (overlays.empty() && !overlaid_)) return;
  MarkAllStale();
  // The game's picture is kept apart only while overlays cover it.
  if (!overlaid_) game_ = picture_;
  overlaid_ = !overlays.empty();
  picture_ = game_;
  for (const TVideoOverlay& o : overlays) {
    const TFrameView& f = o.Frame;
    const TScreenRect& s = o.Source;
    const TScreenRect& d = o.Dest;
    if (f.Pixels == nullptr || f.Stride < f.Width || s.Left < 0 || s.Top < 0 || s.Right > f.Width ||
        s.Bottom > f.Height || s.Left >= s.Right || s.Top >= s.Bottom || d.Left >= d.Right || d.Top >= d.Bottom)
      continue;
    const int64_t dw = int64_t{d.Right} - d.Left, dh = int64_t{d.Bottom} - d.Top;
    for (int32_t y = std::max(d.Top, 0); y < std::min(d.Bottom, height_); ++y) {
      const int64_t sy = s.Top + (y - int64_t{d.Top}) * (s.Bottom - s.Top) / dh;
      const uint32_t* row = f.Pixels + sy * f.Stride;
      for (int32_t x = std::max(d.Left, 0); x < std::min(d.Right, width_); ++x)
        picture_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
            row[s.Left + (x - int64_t{d.Left}) * (s.Right - s.Left) / dw] & 0xFFFFFFu;
    }
  }
  RepaintTextControls();
}

void TMemoryVideo::SetMousePosition(int32_t x, int32_t y) {
  mouse_x_ = x;
  mouse_y_ = y;
}

uint32_t TMemoryVideo::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return Picture()[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

}  // namespace orba
