// TGIFImage's drawing, its painter list, copies and added frames.
#include <algorithm>

#include "graphics/dib_surface.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_painter.h"
#include "graphics/gif/gif_render.h"

namespace orba {

namespace {

// Copies `from` (an area of `source`) onto `to` (an area of `target`),
// stretched to its size; pixels outside either bitmap are left alone.
void StretchArea(TDIB& source, const TRect& from, TDIB& target, const TRect& to) {
  const int32_t fw = from.Right - from.Left, fh = from.Bottom - from.Top;
  const int32_t tw = to.Right - to.Left, th = to.Bottom - to.Top;
  if (fw <= 0 || fh <= 0 || tw <= 0 || th <= 0) return;
  for (int32_t y = std::max(to.Top, 0); y < std::min(to.Bottom, target.Height()); ++y) {
    const int32_t sy = from.Top + static_cast<int32_t>(int64_t{y - to.Top} * fh / th);
    if (sy < 0 || sy >= source.Height()) continue;
    const uint8_t* in = source.PeekRow(sy);
    uint8_t* out = target.GetRow(y);
    for (int32_t x = std::max(to.Left, 0); x < std::min(to.Right, target.Width()); ++x) {
      const int32_t sx = from.Left + static_cast<int32_t>(int64_t{x - to.Left} * fw / tw);
      if (sx >= 0 && sx < source.Width()) std::copy_n(in + sx * 3, 3, out + x * 3);
    }
  }
}

// The composed bitmap into `rect`: stretched, or repeated at its own size.
void DrawComposed(TDIB& bitmap, TDIB& target, const TRect& rect, bool tiled) {
  const TRect whole{0, 0, bitmap.Width(), bitmap.Height()};
  if (!tiled) {
    StretchArea(bitmap, whole, target, rect);
    return;
  }
  if (whole.Right <= 0 || whole.Bottom <= 0) return;
  for (int32_t y = rect.Top; y < rect.Bottom; y += whole.Bottom)
    for (int32_t x = rect.Left; x < rect.Right; x += whole.Right) {
      const int32_t w = std::min(whole.Right, rect.Right - x), h = std::min(whole.Bottom, rect.Bottom - y);
      StretchArea(bitmap, {0, 0, w, h}, target, {x, y, x + w, y + h});
    }
}

}  // namespace

void TGIFImage::Draw(TGIFCanvas& canvas, const TRect& rect) {
  if (drawing_ || Empty()) return;
  drawing_ = true;
  struct TDrawing {
    bool& flag;
    ~TDrawing() { flag = false; }
  } drawing{drawing_};
  const uint16_t flags = PaintFlags;
  const bool direct = (flags & gif_paint::kDirectPaint) != 0;
  if (Count() == 1 || (flags & gif_paint::kAnimate) == 0) {
    DrawGifImage(*this, canvas.Dib(), rect);
    return;
  }
  if (bitmap_ && !direct) {
    DrawComposed(*bitmap_, canvas.Dib(), rect, (flags & gif_paint::kTile) != 0);
    return;
  }
  {
    std::lock_guard<std::recursive_mutex> l(painters_->Lock);
    if (draw_painter_ != nullptr && &draw_painter_->Target() == &canvas.Dib() && draw_painter_->Rect() == rect)
      return;
  }
  // The list's lock is not held across the waits below: a painter that ends
  // takes it to leave the list.
  HaltDrawPainter();
  bitmap_.reset();
  TGIFCanvas target = canvas;
  TRect area = rect;
  std::shared_ptr<TDIB> composed;
  if (!direct) {
    if (int64_t{ScreenWidth} * ScreenHeight > kMaxImagePixels) throw GIFException(gif_text::kInvalidDimensions);
    composed = std::make_shared<TDIB>();
    composed->SetSize(ScreenWidth, ScreenHeight, 24);
    area = TRect{0, 0, ScreenWidth, ScreenHeight};
    StretchArea(canvas.Dib(), rect, *composed, area);
    bitmap_ = composed;
    target = TGIFCanvas(composed);
  }
  TGIFSpawnedPainter* painter = SpawnPainter(target, area, flags, &draw_painter_);
  if (painter != nullptr && painter->Threaded()) {
    painter->Start();
    // An ended painter waits in the list's Ended until a halt frees it, so
    // it can still be asked here.
    while (!direct && !painter->StartedOrEnded()) {
      GifSynchronizer().Pump();
      GifSynchronizer().WaitForCalls(1);
    }
  }
  if (composed) DrawComposed(*composed, canvas.Dib(), rect, (flags & gif_paint::kTile) != 0);
}

TGIFSpawnedPainter* TGIFImage::SpawnPainter(TGIFCanvas& canvas, const TRect& rect, uint16_t options,
                                            TGIFSpawnedPainter** owner) {
  if (Empty() || rect.Right <= rect.Left || rect.Bottom <= rect.Top) {
    if (owner != nullptr) *owner = nullptr;
    return nullptr;
  }
  if (Count() == 1) options &= static_cast<uint16_t>(~(gif_paint::kThread | gif_paint::kAnimate));
  // A threaded painter waits on its delay event, in real time: it counts
  // on the system's clock alone.
  const bool threaded = (options & gif_paint::kThread) != 0;
  auto painter = std::make_unique<TGIFSpawnedPainter>(*this, canvas, rect, options, owner,
                                                      Timer != nullptr && !threaded ? *Timer : SystemGifTimer());
  TGIFSpawnedPainter* made = painter.get();
  {
    std::lock_guard<std::recursive_mutex> l(painters_->Lock);
    painters_->Running.push_back(made);
    if (owner != nullptr) *owner = made;
  }
  if (made->Threaded()) {
    // Freed by the halt that takes it from the list's Ended.
    static_cast<void>(painter.release());
    return made;
  }
  made->RunHere();
  made->Finish();
  return nullptr;
}

int32_t TGIFImage::PainterCount() const {
  std::lock_guard<std::recursive_mutex> l(painters_->Lock);
  return static_cast<int32_t>(painters_->Running.size());
}

namespace {

// Frees the painters that ended in their own threads; raises the first
// error one of them kept, once all are freed.
void FreeEnded(TGIFPainterList& list) {
  std::vector<std::unique_ptr<TGIFSpawnedPainter>> ended;
  {
    std::lock_guard<std::recursive_mutex> l(list.Lock);
    ended.swap(list.Ended);
  }
  std::exception_ptr first;
  for (auto& painter : ended) {
    try {
      painter->Finish();
    } catch (...) {  // the first is raised below, after every painter is freed
      if (!first) first = std::current_exception();
    }
  }
  ended.clear();
  if (first) std::rethrow_exception(first);
}

// Stops the painters `pick` names until no threaded one of them is left,
// pumping the synchronisation so that those waiting on it can end.
template <typename TPick>
void HaltPainters(TGIFPainterList& list, TPick pick) {
  for (;;) {
    int32_t threaded = 0;
    {
      std::lock_guard<std::recursive_mutex> l(list.Lock);
      for (TGIFSpawnedPainter* painter : list.Running) {
        if (!pick(painter)) continue;
        painter->Terminate();
        // One whose step called this (from an event handler) ends after it
        // returns, and is freed by a later halt.
        if (painter->Threaded() && !painter->PaintingHere()) ++threaded;
      }
    }
    if (threaded == 0) break;
    GifSynchronizer().Pump();
    GifSynchronizer().WaitForCalls(1);
  }
}

}  // namespace

void TGIFImage::HaltAllPainters() {
  HaltPainters(*painters_, [](TGIFSpawnedPainter*) { return true; });
  bitmap_.reset();
  FreeEnded(*painters_);
}

void TGIFImage::HaltDrawPainter() {
  HaltPainters(*painters_, [this](TGIFSpawnedPainter* painter) { return painter == draw_painter_; });
  FreeEnded(*painters_);
}

// ---- Copies and added frames ----

void TGIFImage::Assign(const TGIFImage& source) {
  if (&source == this) return;
  Clear();
  ScreenWidth = source.ScreenWidth;
  ScreenHeight = source.ScreenHeight;
  HeaderPacked = source.HeaderPacked;
  BackgroundIndex = source.BackgroundIndex;
  AspectRatio = source.AspectRatio;
  GlobalColorMap.Assign(source.GlobalColorMap);
  PainterPriority = source.PainterPriority;
  BackdropColor = source.BackdropColor;
  PaintFlags = source.PaintFlags;
  PaletteMethod = source.PaletteMethod;
  DitherKind = source.DitherKind;
  for (const auto& frame : source.Frames) {
    auto copy = std::make_unique<TGIFSubImage>(*this);
    copy->Assign(*frame);
    Frames.push_back(std::move(copy));
  }
}

int32_t TGIFImage::Add(TDIB& bitmap) {
  auto frame = std::make_unique<TGIFSubImage>(*this);
  frame->AssignBitmap(bitmap, nullptr);
  return Add(std::move(frame));
}

int32_t TGIFImage::AddIcon(TDIBSurface& icon) {
  auto frame = std::make_unique<TGIFSubImage>(*this);
  frame->AssignIcon(icon);
  return Add(std::move(frame));
}

int32_t TGIFImage::Add(TGIFImage& picture) {
  TDIB composed;
  ComposeFirstFrame(picture, composed);
  return Add(composed);
}

}  // namespace orba
