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
  // The new picture holds no controls.
  painted_.clear();
  restart_ = true;
  RepaintTextControls();
}

void TMemoryVideo::SetTextControls(TTextControlGroup* group) {
  LiftControls();
  controls_ = group;
  restart_ = true;
  RepaintTextControls();
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

void TMemoryVideo::LiftControls(const std::vector<TScreenRect>& fresh) {
  const uint32_t* kept = under_.data();
  std::vector<std::pair<int32_t, int32_t>> cuts;  // fresh spans of a row
  for (const TScreenRect& r : painted_) {
    const auto w = static_cast<size_t>(r.Right - r.Left);
    for (int32_t y = r.Top; y < r.Bottom; ++y, kept += w) {
      cuts.clear();
      for (const TScreenRect& f : fresh)
        if (f.Top <= y && y < f.Bottom && f.Left < r.Right && r.Left < f.Right)
          cuts.emplace_back(std::max(f.Left, r.Left), std::min(f.Right, r.Right));
      std::sort(cuts.begin(), cuts.end());
      uint32_t* row = picture_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
      int32_t x = r.Left;
      cuts.emplace_back(r.Right, r.Right);
      for (const auto& [from, to] : cuts) {
        if (from > x) {
          std::memcpy(row + x, kept + (x - r.Left), static_cast<size_t>(from - x) * sizeof(uint32_t));
          control_copy_pixels_ += static_cast<uint64_t>(from - x);
        }
        x = std::max(x, to);
      }
    }
  }
  painted_.clear();
  under_.clear();
}

void TMemoryVideo::PaintControls() {
  if (controls_ == nullptr || !created_) return;
  painted_ = ControlRects();
  under_.clear();
  for (const TScreenRect& r : painted_)
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const uint32_t* row = picture_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
      under_.insert(under_.end(), row + r.Left, row + r.Right);
      control_copy_pixels_ += static_cast<uint64_t>(r.Right - r.Left);
    }
  if (!painted_.empty()) PaintTextControls(*controls_, picture_.data(), width_, height_, width_);
}

void TMemoryVideo::RepaintTextControls() {
  if (controls_ == nullptr || !created_) return;
  const bool changed = controls_->TakeChanged() || restart_;
  restart_ = false;
  if (!changed) return;
  LiftControls();
  PaintControls();
}

const std::vector<uint32_t>& TMemoryVideo::Picture() const { return picture_; }

TFrameView TMemoryVideo::Frame() const {
  if (!created_) return {};
  return {Picture().data(), width_, height_, width_};
}

TFrameBuffer TMemoryVideo::PresentBuffer() {
  if (!created_ || overlaid_) return {};
  return {picture_.data(), width_, height_, width_};
}

void TMemoryVideo::Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) {
  const std::vector<TScreenRect> fresh = ShowFrame(frame, dirty);
  // Painted in place or copied, the game's picture changed inside the fresh
  // rectangles alone: where they reach under a control, the rest of the
  // control's rectangle is put back and the controls are painted again.
  const bool reached = std::any_of(painted_.begin(), painted_.end(), [&fresh](const TScreenRect& p) {
    return std::any_of(fresh.begin(), fresh.end(), [&p](const TScreenRect& f) {
      return f.Left < p.Right && p.Left < f.Right && f.Top < p.Bottom && p.Top < f.Bottom;
    });
  });
  const bool changed = controls_ != nullptr && controls_->TakeChanged();
  if (!reached && !changed) return;
  LiftControls(fresh);
  PaintControls();
}

std::vector<TScreenRect> TMemoryVideo::ShowFrame(const TFrameView& frame, const std::vector<TScreenRect>& dirty) {
  ++present_count_;
  std::vector<TScreenRect> fresh;
  if (!frame.Pixels || frame.Stride < frame.Width) return fresh;
  const int32_t w = std::min(width_, frame.Width);
  const int32_t h = std::min(height_, frame.Height);
  for (const TScreenRect& r : dirty) {
    const TScreenRect cut{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, w), std::min(r.Bottom, h)};
    if (cut.Left < cut.Right && cut.Top < cut.Bottom) fresh.push_back(cut);
  }
  // Painted in place (PresentBuffer).
  if (frame.Pixels == picture_.data() && !overlaid_) return fresh;
  for (const TScreenRect& r : fresh) {
    // Without overlays the shown picture is the game's: one copy.
    std::vector<uint32_t>& target = overlaid_ ? game_ : picture_;
    const size_t bytes = static_cast<size_t>(r.Right - r.Left) * sizeof(uint32_t);
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const uint32_t* src = frame.Pixels + static_cast<ptrdiff_t>(y) * frame.Stride + r.Left;
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(r.Left);
      std::memcpy(target.data() + at, src, bytes);
      if (overlaid_) std::memcpy(picture_.data() + at, src, bytes);
    }
  }
  return fresh;
}

// Each overlay's source rectangle is scaled into its destination, nearest
// pixel, over the game's picture.
void TMemoryVideo::SetOverlays(const std::vector<TVideoOverlay>& overlays) {
  if (!created_ || (overlays.empty() && !overlaid_)) return;
  // The game's picture is kept apart only while overlays cover it.
  LiftControls();
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
  PaintControls();
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
