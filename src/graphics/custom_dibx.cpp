#include "graphics/custom_dibx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "graphics/color_convert.h"
#include "graphics/draw_kernels.h"

namespace orba {

namespace {

bool HasWholeBytePixels(int32_t bits) {
  return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// The rows of a source rectangle in the order a draw consumes them: row j is
// the j-th row from the top, or from the bottom when mirrored vertically,
// and its pixels run right to left when mirrored horizontally (served from a
// scratch row). A source that shares memory with the destination is copied
// out first, so that what is drawn is the source as it was.
class TSourceRows {
 public:
  TSourceRows(const TPixelView& view, const TRect& rect, bool flip_h, bool flip_v, bool snapshot)
      : FView(view), FRect(rect), FFlipH(flip_h), FFlipV(flip_v),
        FBytes(view.BytesPerPixel()),
        FRowBytes(static_cast<size_t>(rect.Right - rect.Left) * static_cast<size_t>(FBytes)),
        FInPlace(!flip_h && !snapshot),
        FFirst(Start(flip_v ? rect.Bottom - 1 : rect.Top)),
        FStep(flip_v ? -view.Pitch : view.Pitch) {
    if (FFlipH) FScratch.resize(FRowBytes);
    if (snapshot) {
      FCopy.resize(FRowBytes * static_cast<size_t>(rect.Bottom - rect.Top));
      for (int32_t y = rect.Top; y < rect.Bottom; ++y)
        std::memcpy(&FCopy[static_cast<size_t>(y - rect.Top) * FRowBytes], Start(y), FRowBytes);
    }
  }

  // Whether the rows are read in place, Step bytes apart (row J at
  // Row(0) + J * Step).
  bool InPlace() const { return FInPlace; }
  std::ptrdiff_t Step() const { return FStep; }

  const uint8_t* Row(int32_t j) {
    // The common case, inline: rows read in place, one step apart.
    if (FInPlace) return FFirst + static_cast<std::ptrdiff_t>(j) * FStep;
    return CopiedOrMirroredRow(j);
  }

 private:
  // Kept out of line, so that Row stays small enough to inline.
  [[gnu::noinline]] const uint8_t* CopiedOrMirroredRow(int32_t j) {
    int32_t y = FFlipV ? FRect.Bottom - 1 - j : FRect.Top + j;
    const uint8_t* row =
        FCopy.empty() ? Start(y) : &FCopy[static_cast<size_t>(y - FRect.Top) * FRowBytes];
    if (!FFlipH) return row;
    const size_t n = FRowBytes / static_cast<size_t>(FBytes);
    switch (FBytes) {
      case 1: Reverse<1>(row, n); break;
      case 2: Reverse<2>(row, n); break;
      case 3: Reverse<3>(row, n); break;
      default: Reverse<4>(row, n); break;
    }
    return FScratch.data();
  }

  const uint8_t* Start(int32_t y) const {
    return FView.Row(y) + static_cast<std::ptrdiff_t>(FRect.Left) * FBytes;
  }

  // The N pixels of Row, last first, into the scratch row; a fixed pixel
  // width lets the compiler move whole pixels (and vectors of them).
  template <size_t Bytes>
  void Reverse(const uint8_t* row, size_t n) {
    uint8_t* out = FScratch.data();
    for (size_t i = 0; i < n; ++i) std::memcpy(out + i * Bytes, row + (n - 1 - i) * Bytes, Bytes);
  }

  TPixelView FView;
  TRect FRect;
  bool FFlipH, FFlipV;
  int FBytes;
  size_t FRowBytes;
  bool FInPlace;
  const uint8_t* FFirst;
  std::ptrdiff_t FStep;
  std::vector<uint8_t> FScratch, FCopy;
};

// Whether two views share pixel memory.
bool Overlaps(const TPixelView& a, const TPixelView& b) {
  auto span = [](const TPixelView& v, const uint8_t*& lo, const uint8_t*& hi) {
    const uint8_t* first = v.Row(0);
    const uint8_t* last = v.Row(v.Height - 1);
    lo = std::min(first, last);
    hi = std::max(first, last) + std::abs(v.Pitch);
  };
  const uint8_t *alo, *ahi, *blo, *bhi;
  span(a, alo, ahi);
  span(b, blo, bhi);
  return alo < bhi && blo < ahi;
}

// A surface's pixels locked for one operation: Unlock follows when the lock
// gave an address, and only then. Locks taken one after another are
// released in the reverse order.
class TLockedView {
 public:
  TLockedView() = default;
  explicit TLockedView(TCustomDIBX& surface) : FSurface(&surface), FView(surface.LockView()) {}
  TLockedView(const TLockedView&) = delete;
  TLockedView& operator=(const TLockedView&) = delete;
  ~TLockedView() {
    if (FSurface != nullptr && FView.Bits != nullptr) FSurface->Unlock();
  }
  bool Locked() const { return FView.Bits != nullptr; }
  const TPixelView& View() const { return FView; }

 private:
  TCustomDIBX* FSurface = nullptr;
  TPixelView FView;
};

}  // namespace

// The clip rectangle cut to the pixels a view reaches: draws never leave the
// surface, whatever clip rectangle is set.
TRect TCustomDIBX::DrawingClip(const TPixelView& view) {
  TRect clip;
  IntersectRects(GetClipRect(), TRect{0, 0, view.Width, view.Height}, clip);
  return clip;
}

bool CutDraw(int32_t x, int32_t y, const TRect& src_rect, bool flip_h, bool flip_v,
             const TRect& clip, const TRect* source_bounds, TDrawCut& cut) {
  int64_t sl = src_rect.Left, st = src_rect.Top, sr = src_rect.Right, sb = src_rect.Bottom;
  int64_t dx = x, dy = y;
  if (source_bounds != nullptr) {
    // Cut to the source; the destination point follows the pixels kept.
    int64_t d = source_bounds->Left - sl;
    if (d > 0) { sl += d; if (!flip_h) dx += d; }
    d = sr - source_bounds->Right;
    if (d > 0) { sr -= d; if (flip_h) dx += d; }
    d = source_bounds->Top - st;
    if (d > 0) { st += d; if (!flip_v) dy += d; }
    d = sb - source_bounds->Bottom;
    if (d > 0) { sb -= d; if (flip_v) dy += d; }
  }
  if (sl >= sr || st >= sb) return false;
  int64_t dl = dx, dt = dy, dr, db;
  if (dl < clip.Left) {
    int64_t d = clip.Left - dl;
    if (flip_h) sr -= d; else sl += d;
    dl = clip.Left;
  }
  if (dt < clip.Top) {
    int64_t d = clip.Top - dt;
    if (flip_v) sb -= d; else st += d;
    dt = clip.Top;
  }
  if (dl + (sr - sl) > clip.Right) {
    int64_t d = clip.Right - dl;
    if (flip_h) sl = sr - d; else sr = sl + d;
    dr = clip.Right;
  } else {
    dr = dl + (sr - sl);
  }
  if (dt + (sb - st) > clip.Bottom) {
    int64_t d = clip.Bottom - dt;
    if (flip_v) st = sb - d; else sb = st + d;
    db = clip.Bottom;
  } else {
    db = dt + (sb - st);
  }
  if (dl >= dr || dt >= db || sl >= sr || st >= sb) return false;
  cut.Dest = {static_cast<int32_t>(dl), static_cast<int32_t>(dt), static_cast<int32_t>(dr),
              static_cast<int32_t>(db)};
  cut.Src = {static_cast<int32_t>(sl), static_cast<int32_t>(st), static_cast<int32_t>(sr),
             static_cast<int32_t>(sb)};
  return true;
}

void TCustomDIBX::SetSize(int32_t width, int32_t height, int32_t) {
  FWidth = std::max(width, 0);
  FHeight = std::max(height, 0);
}

// Rect cut to the surface, as the clip rectangle takes it.
static TRect CutToSurface(const TRect& rect, int32_t width, int32_t height) {
  return TRect{std::max(rect.Left, 0), std::max(rect.Top, 0), std::min(rect.Right, width),
               std::min(rect.Bottom, height)};
}

void TCustomDIBX::IncludeClipRect(const TRect& rect) {
  const TRect r = CutToSurface(rect, Width(), Height());
  if (RectIsEmpty(r)) return;
  if (!FHasClip || RectIsEmpty(FClipRect)) {
    FClipRect = r;
  } else {
    FClipRect = {std::min(FClipRect.Left, r.Left), std::min(FClipRect.Top, r.Top),
                 std::max(FClipRect.Right, r.Right), std::max(FClipRect.Bottom, r.Bottom)};
  }
  FHasClip = true;
}

TRect TCustomDIBX::GetClipRect() { return FHasClip ? FClipRect : GetBoundsRect(); }

bool TCustomDIBX::ClipHolds(const TRect& rect) {
  // An empty cut leaves no clip after the reset: not worth telling apart.
  if (!FHasClip) return false;
  const TRect r = CutToSurface(rect, Width(), Height());
  return !RectIsEmpty(r) && r == FClipRect;
}

TPixelView TCustomDIBX::LockView() {
  uint8_t* bits = Lock(0, 0);
  if (bits == nullptr) return {};
  return TPixelView{bits,        Pitch(),    Width(),     Height(),
                    BitCount(), RedMask(), GreenMask(), BlueMask()};
}

// ---- fills ------------------------------------------------------------------

void TCustomDIBX::FillWith(TFill kind, const TRect& rect, uint32_t pixel, int32_t alpha) {
  if (kind == TFill::Alpha && alpha <= 0) return;
  alpha = std::min(alpha, 255);
  const TLockedView lock(*this);
  if (!lock.Locked()) return;
  const TPixelView& v = lock.View();
  TDrawCut cut;
  if (HasWholeBytePixels(v.BitCount) &&
      CutDraw(rect.Left, rect.Top, rect, false, false, DrawingClip(v), nullptr, cut)) {
    const TRowKernels& k = RowKernels();
    const int32_t bits = v.BitCount, n = cut.Dest.Right - cut.Dest.Left;
    for (int32_t step = 0; step < cut.Dest.Bottom - cut.Dest.Top; ++step) {
      const int32_t y = RowInMemoryOrder(v.Pitch, cut.Dest.Top, cut.Dest.Bottom, step);
      uint8_t* d = v.Row(y) + static_cast<std::ptrdiff_t>(cut.Dest.Left) * v.BytesPerPixel();
      switch (kind) {
        case TFill::Plain: k.Fill(d, n, bits, pixel); break;
        case TFill::Alpha: k.FillAlpha(d, n, bits, pixel, alpha); break;
        case TFill::Add: k.FillAdd(d, n, bits, pixel); break;
        case TFill::Sub: k.FillSub(d, n, bits, pixel); break;
      }
    }
  }
}

void TCustomDIBX::Fill(uint32_t pixel) { FillRect(GetBoundsRect(), pixel); }
void TCustomDIBX::FillRect(const TRect& rect, uint32_t pixel) { FillWith(TFill::Plain, rect, pixel, 255); }
void TCustomDIBX::FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) {
  FillWith(TFill::Alpha, rect, pixel, alpha);
}
void TCustomDIBX::FillRectAdd(const TRect& rect, uint32_t pixel) { FillWith(TFill::Add, rect, pixel, 255); }
void TCustomDIBX::FillRectSub(const TRect& rect, uint32_t pixel) { FillWith(TFill::Sub, rect, pixel, 255); }

// The outline as four fills: top, bottom, then the sides when room is left.
namespace {
template <typename FillStrip>
void FrameStrips(const TRect& r, int32_t th, FillStrip fill) {
  int64_t inner = static_cast<int64_t>(r.Bottom) - r.Top - 2 * static_cast<int64_t>(th);
  auto clamp32 = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  fill(TRect{r.Left, r.Top, r.Right, clamp32(static_cast<int64_t>(r.Top) + th)});
  fill(TRect{r.Left, clamp32(static_cast<int64_t>(r.Bottom) - th), r.Right, r.Bottom});
  if (inner > 0) {
    int32_t top = clamp32(static_cast<int64_t>(r.Top) + th), bottom = clamp32(static_cast<int64_t>(r.Bottom) - th);
    fill(TRect{r.Left, top, clamp32(static_cast<int64_t>(r.Left) + th), bottom});
    fill(TRect{clamp32(static_cast<int64_t>(r.Right) - th), top, r.Right, bottom});
  }
}
}  // namespace

void TCustomDIBX::FrameRect(const TRect& rect, int32_t thickness, uint32_t pixel) {
  FrameStrips(rect, thickness, [&](const TRect& r) { FillRect(r, pixel); });
}
void TCustomDIBX::FrameRectAlpha(const TRect& rect, int32_t thickness, uint32_t pixel, int32_t alpha) {
  if (alpha <= 0) return;
  FrameStrips(rect, thickness, [&](const TRect& r) { FillRectAlpha(r, pixel, alpha); });
}
void TCustomDIBX::FrameRectAdd(const TRect& rect, int32_t thickness, uint32_t pixel) {
  FrameStrips(rect, thickness, [&](const TRect& r) { FillRectAdd(r, pixel); });
}

void TCustomDIBX::DrawColorMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect,
                                bool flip_h, bool flip_v, uint32_t pixel, int32_t alpha) {
  if (alpha <= 0) return;
  alpha = std::min(alpha, 255);
  const TLockedView dest_lock(*this);
  if (!dest_lock.Locked()) return;
  const TLockedView mask_lock(mask);
  if (!mask_lock.Locked()) return;
  const TPixelView &d = dest_lock.View(), &m = mask_lock.View();
  // The mask must hold the whole rectangle asked for, one byte per pixel
  // (tested before the clip, so that a clip never changes what is drawn).
  TDrawCut cut;
  if (m.BitCount == 8 && !d.Empty() && !m.Empty() && HasWholeBytePixels(d.BitCount) &&
      src_rect.Left >= 0 && src_rect.Top >= 0 && src_rect.Right <= m.Width && src_rect.Bottom <= m.Height &&
      CutDraw(x, y, src_rect, flip_h, flip_v, DrawingClip(d), nullptr, cut)) {
    TSourceRows rows(m, cut.Src, flip_h, flip_v, Overlaps(d, m));
    const TRowKernels& k = RowKernels();
    const int32_t n = cut.Dest.Right - cut.Dest.Left, count = cut.Dest.Bottom - cut.Dest.Top;
    for (int32_t step = 0; step < count; ++step) {
      const int32_t j = RowInMemoryOrder(d.Pitch, 0, count, step);
      k.ColorMask(d.Row(cut.Dest.Top + j) + static_cast<std::ptrdiff_t>(cut.Dest.Left) * d.BytesPerPixel(),
                  rows.Row(j), n, d.BitCount, pixel, alpha);
    }
  }
}

// ---- copies and blits ---------------------------------------------------------

void TCustomDIBX::Blit(TBlit kind, int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                       bool transparent, bool flip_h, bool flip_v, TCustomDIBX* mask, int32_t alpha) {
  const bool masked = kind == TBlit::Mask || kind == TBlit::AlphaMask || kind == TBlit::AddMask;
  if (kind != TBlit::Copy && kind != TBlit::Mask && alpha <= 0) return;
  alpha = std::min(alpha, 255);
  if (masked && mask->BitCount() != 8) return;
  const TLockedView dest_lock(*this);
  if (!dest_lock.Locked()) return;
  const TLockedView source_lock(source);
  if (!source_lock.Locked()) return;
  const TLockedView mask_lock = masked ? TLockedView(*mask) : TLockedView();
  if (masked && !mask_lock.Locked()) return;
  const TPixelView &d = dest_lock.View(), &s = source_lock.View(), &m = mask_lock.View();
  const int32_t bits = d.BitCount;
  // Both surfaces have one pixel format; pixels of another width are not
  // read as this surface's. The source rectangle is cut to the source, and
  // a mask smaller than the part of the source drawn is never read past its
  // end: nothing is drawn (tested before the clip cuts the rectangle).
  const TRect source_bounds{0, 0, s.Width, s.Height};
  TDrawCut cut;
  const bool drawable =
      HasWholeBytePixels(bits) && !d.Empty() && !s.Empty() && s.BytesPerPixel() == d.BytesPerPixel() &&
      (!masked || (!m.Empty() && m.BitCount == 8 && std::min(src_rect.Right, s.Width) <= m.Width &&
                   std::min(src_rect.Bottom, s.Height) <= m.Height)) &&
      CutDraw(x, y, src_rect, flip_h, flip_v, DrawingClip(d), &source_bounds, cut);
  if (drawable) {
    TRowKey key;
    const int32_t colour_key = source.TransparentColor;
    if (kind == TBlit::Copy && transparent) key = MakeDrawKey(colour_key, bits);
    // The 32-bit blend honours the key only when asked; the others test it
    // whatever Transparent says (a key of -1 matches nothing).
    if (kind == TBlit::Alpha && (bits != 32 || transparent)) key = MakeDrawKey(colour_key, bits);
    if (kind == TBlit::Add) key = MakeDrawKey(colour_key, bits);
    TSourceRows src_rows(s, cut.Src, flip_h, flip_v, Overlaps(d, s));
    std::optional<TSourceRows> mask_rows;
    if (masked) mask_rows.emplace(m, cut.Src, flip_h, flip_v, Overlaps(d, m));
    const TRowKernels& k = RowKernels();
    const int32_t n = cut.Dest.Right - cut.Dest.Left, rows = cut.Dest.Bottom - cut.Dest.Top;
    // Each row is drawn from its own source and mask rows only (overlapping
    // ones were copied first): rows in memory order. The kind is chosen
    // once, outside the rows: the small pictures' draws are mostly this
    // loop's own work.
    uint8_t* const dest_left =
        d.Row(cut.Dest.Top) + static_cast<std::ptrdiff_t>(cut.Dest.Left) * d.BytesPerPixel();
    // The first row in memory order and the step (+1 or -1) to the next.
    const int32_t first = RowInMemoryOrder(d.Pitch, 0, rows, 0);
    const int32_t next = RowInMemoryOrder(d.Pitch, 0, rows, 1) - first;
    auto each_row = [&](auto&& draw_row) {
      uint8_t* dr = dest_left + static_cast<std::ptrdiff_t>(first) * d.Pitch;
      for (int32_t step = 0, j = first; step < rows; ++step, j += next, dr += next * d.Pitch)
        draw_row(dr, src_rows.Row(j), j);
    };
    auto masked_rows = [&](TMaskMode mode) {
      each_row([&](uint8_t* dr, const uint8_t* sr, int32_t j) {
        k.Mask(dr, sr, mask_rows->Row(j), n, bits, alpha, mode);
      });
    };
    switch (kind) {
      case TBlit::Copy:
        if (key.Enabled) {
          each_row([&](uint8_t* dr, const uint8_t* sr, int32_t) { k.KeyedCopy(dr, sr, n, bits, key); });
        } else if (src_rows.InPlace()) {
          // The opaque copy of rows in place: one call for all of them, in
          // memory order.
          k.CopyRows(dest_left + first * d.Pitch, next * d.Pitch, src_rows.Row(first), next * src_rows.Step(), rows,
                     n, bits);
        } else {
          each_row([&](uint8_t* dr, const uint8_t* sr, int32_t) { k.Copy(dr, sr, n, bits); });
        }
        break;
      case TBlit::Alpha:
        each_row([&](uint8_t* dr, const uint8_t* sr, int32_t) { k.Blend(dr, sr, n, bits, alpha, key); });
        break;
      case TBlit::Add:
        each_row([&](uint8_t* dr, const uint8_t* sr, int32_t) { k.Add(dr, sr, n, bits, alpha, key); });
        break;
      case TBlit::Mask: masked_rows(TMaskMode::Copy); break;
      case TBlit::AlphaMask: masked_rows(TMaskMode::Blend); break;
      case TBlit::AddMask: masked_rows(TMaskMode::Add); break;
    }
  }
}

void TCustomDIBX::CopyFrom(TCustomDIBX& source) {
  if (source.Width() == Width() && source.Height() == Height() && source.Pitch() == Pitch() &&
      source.BitCount() == BitCount() && IsMemorySurface() && source.IsMemorySurface()) {
    const TLockedView dest_lock(*this);
    if (!dest_lock.Locked()) return;
    const TLockedView source_lock(source);
    if (!source_lock.Locked()) return;
    const TPixelView &d = dest_lock.View(), &s = source_lock.View();
    if (!d.Empty() && !s.Empty()) {
      // The whole pixel memory, padding included, in 32-bit words.
      size_t size = static_cast<size_t>(std::abs(d.Pitch)) * static_cast<size_t>(d.Height);
      const uint8_t* from = d.Pitch < 0 ? s.Row(s.Height - 1) : s.Row(0);
      uint8_t* to = d.Pitch < 0 ? d.Row(d.Height - 1) : d.Row(0);
      std::memmove(to, from, size - size % 4);
    }
    return;
  }
  Draw(0, 0, source, source.GetBoundsRect(), false, false, false);
}

void TCustomDIBX::Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                       bool transparent, bool flip_h, bool flip_v) {
  Blit(TBlit::Copy, x, y, source, src_rect, transparent, flip_h, flip_v, nullptr, 255);
}
void TCustomDIBX::DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                           bool flip_h, bool flip_v, TCustomDIBX& mask) {
  Blit(TBlit::Mask, x, y, source, src_rect, false, flip_h, flip_v, &mask, 255);
}
void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                            bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  Blit(TBlit::Alpha, x, y, source, src_rect, transparent, flip_h, flip_v, nullptr, alpha);
}
void TCustomDIBX::DrawAlphaMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  Blit(TBlit::AlphaMask, x, y, source, src_rect, false, flip_h, flip_v, &mask, alpha);
}
void TCustomDIBX::DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                          bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  Blit(TBlit::Add, x, y, source, src_rect, transparent, flip_h, flip_v, nullptr, alpha);
}
void TCustomDIBX::DrawAddMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                              bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  Blit(TBlit::AddMask, x, y, source, src_rect, false, flip_h, flip_v, &mask, alpha);
}

void TCustomDIBX::StretchToView(const TPixelView& target, const uint8_t* target_palette,
                                const TRect& dst_rect, const TRect& src_rect) {
  const TLockedView lock(*this);
  if (lock.Locked() && !lock.View().Empty())
    ConvertStretch(target, target_palette, dst_rect, lock.View(), nullptr, src_rect);
}

}  // namespace orba
