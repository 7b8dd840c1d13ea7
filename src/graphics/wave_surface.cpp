#include "graphics/wave_surface.h"

#include <algorithm>
#include <optional>

#include "graphics/dibx_rotate.h"
#include "graphics/dibx_stretch.h"

namespace orba {

namespace {

using dibx_ops::ClampToInt32;
using dibx_ops::FloorMod;
using dibx_ops::TClipSaver;

int32_t Shift(int32_t v, int32_t offset) { return ClampToInt32(int64_t{v} + offset); }
TRect ShiftRect(const TRect& r, int32_t offset) {
  return {Shift(r.Left, offset), r.Top, Shift(r.Right, offset), r.Bottom};
}

// While forwarding, the target's clip rectangle is narrowed to the wave
// surface's own one (when it has one) and put back afterwards. Ok() is
// false when nothing is left to draw into.
class TWaveClip {
 public:
  TWaveClip(TDIBXWave& wave) {
    if (wave.Target == nullptr) return;
    FOk = true;
    if (!wave.HasClipRect()) return;
    TRect narrowed;
    IntersectRects(wave.Target->GetClipRect(), wave.TCustomDIBX::GetClipRect(), narrowed);
    FSaver.emplace(*wave.Target);
    wave.Target->SetClipRect(narrowed);
    FOk = !RectIsEmpty(narrowed);
  }
  bool Ok() const { return FOk; }

 private:
  std::optional<TClipSaver> FSaver;
  bool FOk = false;
};

}  // namespace

void TDIBXWave::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  TCustomDIBX::SetSize(width, height, bit_count);
  Offsets.resize(static_cast<size_t>(Height()));
}

void TDIBXWave::ResetClipRect() {
  TCustomDIBX::ResetClipRect();
  if (Target != nullptr) Target->ResetClipRect();
}

void TDIBXWave::IncludeClipRect(const TRect& rect) {
  const TRect area{OriginX, OriginY, Shift(OriginX, Width()), Shift(OriginY, Height())};
  TRect r;
  IntersectRects(rect, area, r);
  if (RectIsEmpty(r)) return;
  if (HasClipRect() && !RectIsEmpty(TCustomDIBX::GetClipRect())) {
    const TRect c = TCustomDIBX::GetClipRect();
    r = {std::min(c.Left, r.Left), std::min(c.Top, r.Top), std::max(c.Right, r.Right), std::max(c.Bottom, r.Bottom)};
  }
  SetClipRect(r);
  if (Target != nullptr) Target->IncludeClipRect(r);
}

TRect TDIBXWave::GetClipRect() {
  if (HasClipRect()) return TCustomDIBX::GetClipRect();
  return Target != nullptr ? Target->GetClipRect() : TRect{};
}

void TDIBXWave::Fill(uint32_t pixel) { FillRect(TRect{0, 0, Width(), Height()}, pixel); }

void TDIBXWave::CopyFrom(TCustomDIBX& source) { Draw(0, 0, source, source.GetBoundsRect(), false, false, false); }

// ---- forwarding -------------------------------------------------------------

// Rows top..bottom-1 inside the table, in runs of equal offsets.
template <typename F>
void TDIBXWave::ForRuns(int64_t top, int64_t bottom, F issue) {
  TWaveClip clip(*this);
  if (!clip.Ok()) return;
  const int64_t lo = std::max<int64_t>(top, OriginY);
  const int64_t hi = std::min<int64_t>(bottom, int64_t{OriginY} + static_cast<int64_t>(Offsets.size()));
  for (int64_t r = lo; r < hi;) {
    const int32_t offset = Offsets[static_cast<size_t>(r - OriginY)];
    int64_t end = r + 1;
    while (end < hi && Offsets[static_cast<size_t>(end - OriginY)] == offset) ++end;
    issue(static_cast<int32_t>(r), static_cast<int32_t>(end), offset);
    r = end;
  }
}

// The runs of a draw of SrcRect at row Y, each with the source rows that
// land on it (counted from the bottom when mirrored vertically).
template <typename F>
void TDIBXWave::ForRunsOfDraw(int32_t y, const TRect& src_rect, bool flip_v, F issue) {
  const int64_t rows = int64_t{src_rect.Bottom} - src_rect.Top;
  if (rows < 1) return;
  ForRuns(y, y + rows, [&](int32_t r0, int32_t r1, int32_t offset) {
    const int64_t a = int64_t{r0} - y, b = int64_t{r1} - y;
    TRect sub = src_rect;
    if (flip_v) {
      sub.Top = ClampToInt32(src_rect.Bottom - b);
      sub.Bottom = ClampToInt32(src_rect.Bottom - a);
    } else {
      sub.Top = ClampToInt32(src_rect.Top + a);
      sub.Bottom = ClampToInt32(src_rect.Top + b);
    }
    issue(r0, sub, offset);
  });
}

// A draw whose rows cannot be cut apart: issued once per row of its
// destination inside the table, with the target clipped to that row.
template <typename F>
void TDIBXWave::ForSingleRows(const TRect& dest, F issue) {
  TWaveClip clip(*this);
  if (!clip.Ok()) return;
  TRect area;
  IntersectRects(dest, Target->GetClipRect(), area);
  if (RectIsEmpty(area)) return;
  TClipSaver saver(*Target);
  const int64_t lo = std::max<int64_t>(area.Top, OriginY);
  const int64_t hi = std::min<int64_t>(area.Bottom, int64_t{OriginY} + static_cast<int64_t>(Offsets.size()));
  for (int64_t r = lo; r < hi; ++r) {
    Target->SetClipRect({area.Left, static_cast<int32_t>(r), area.Right, static_cast<int32_t>(r + 1)});
    issue(Offsets[static_cast<size_t>(r - OriginY)]);
  }
}

// A reduced or indexed draw: one call per destination row inside the table,
// with the Factor source rows that make up that row.
template <typename F>
void TDIBXWave::ForBlockRows(int32_t y, const TRect& src_rect, int32_t factor, bool flip_v, F issue) {
  if (factor < 1) return;
  TWaveClip clip(*this);
  if (!clip.Ok()) return;
  const int64_t rows = (int64_t{src_rect.Bottom} - src_rect.Top) / factor;
  const int64_t first = std::max<int64_t>(0, int64_t{OriginY} - y);
  const int64_t last = std::min<int64_t>(rows, int64_t{OriginY} + static_cast<int64_t>(Offsets.size()) - y);
  for (int64_t j = first; j < last; ++j) {
    TRect sub = src_rect;
    const int64_t from = flip_v ? src_rect.Bottom - (j + 1) * factor : src_rect.Top + j * factor;
    sub.Top = ClampToInt32(from);
    sub.Bottom = ClampToInt32(from + factor);
    const int64_t r = y + j;
    issue(static_cast<int32_t>(r), sub, Offsets[static_cast<size_t>(r - OriginY)]);
  }
}

// ---- fills and plain draws: runs of equal offsets ---------------------------

void TDIBXWave::FillRect(const TRect& rect, uint32_t pixel) {
  ForRuns(rect.Top, rect.Bottom, [&](int32_t r0, int32_t r1, int32_t o) {
    Target->FillRect(ShiftRect({rect.Left, r0, rect.Right, r1}, o), pixel);
  });
}
void TDIBXWave::FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) {
  ForRuns(rect.Top, rect.Bottom, [&](int32_t r0, int32_t r1, int32_t o) {
    Target->FillRectAlpha(ShiftRect({rect.Left, r0, rect.Right, r1}, o), pixel, alpha);
  });
}
void TDIBXWave::FillRectAdd(const TRect& rect, uint32_t pixel) {
  ForRuns(rect.Top, rect.Bottom, [&](int32_t r0, int32_t r1, int32_t o) {
    Target->FillRectAdd(ShiftRect({rect.Left, r0, rect.Right, r1}, o), pixel);
  });
}
void TDIBXWave::FillRectSub(const TRect& rect, uint32_t pixel) {
  ForRuns(rect.Top, rect.Bottom, [&](int32_t r0, int32_t r1, int32_t o) {
    Target->FillRectSub(ShiftRect({rect.Left, r0, rect.Right, r1}, o), pixel);
  });
}

void TDIBXWave::DrawColorMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect, bool flip_h,
                              bool flip_v, uint32_t pixel, int32_t alpha) {
  // The mask must hold the whole rectangle, as for a direct draw; the parts
  // forwarded would each pass that test on their own.
  if (src_rect.Left < 0 || src_rect.Top < 0 || src_rect.Right > mask.Width() || src_rect.Bottom > mask.Height())
    return;
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawColorMask(Shift(x, o), r, mask, sub, flip_h, flip_v, pixel, alpha);
  });
}
void TDIBXWave::Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                     bool flip_h, bool flip_v) {
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->Draw(Shift(x, o), r, source, sub, transparent, flip_h, flip_v);
  });
}
void TDIBXWave::DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                         bool flip_v, TCustomDIBX& mask) {
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawMask(Shift(x, o), r, source, sub, flip_h, flip_v, mask);
  });
}
void TDIBXWave::DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                          bool flip_h, bool flip_v, int32_t alpha) {
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawAlpha(Shift(x, o), r, source, sub, transparent, flip_h, flip_v, alpha);
  });
}
void TDIBXWave::DrawAlphaMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                              bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawAlphaMask(Shift(x, o), r, source, sub, flip_h, flip_v, mask, alpha);
  });
}
void TDIBXWave::DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                        bool flip_h, bool flip_v, int32_t alpha) {
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawAdd(Shift(x, o), r, source, sub, transparent, flip_h, flip_v, alpha);
  });
}
void TDIBXWave::DrawAddMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                            bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  ForRunsOfDraw(y, src_rect, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawAddMask(Shift(x, o), r, source, sub, flip_h, flip_v, mask, alpha);
  });
}

void TDIBXWave::PatternFill(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                            bool flip_h, bool flip_v) {
  const int32_t ph = std::max(pattern.Height(), 1);
  ForRuns(rect.Top, rect.Bottom, [&](int32_t r0, int32_t r1, int32_t o) {
    // The pattern rows go on where the run starts.
    const int32_t oy = static_cast<int32_t>(FloorMod(int64_t{offset_y} + (int64_t{r0} - rect.Top), ph));
    Target->PatternFill(ShiftRect({rect.Left, r0, rect.Right, r1}, o), pattern, offset_x, oy, flip_h, flip_v);
  });
}

// ---- stretched, rotated and zoomed draws: row by row --------------------------

void TDIBXWave::DrawRotate(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                           const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle,
                           bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  if (alpha <= 0 || zoom_x <= 0 || zoom_y <= 0) return;
  ForSingleRows(RotatedDrawArea(x, y, zoom_x, zoom_y, src_rect, center_x, center_y, angle), [&](int32_t o) {
    Target->DrawRotate(Shift(x, o), y, zoom_x, zoom_y, source, src_rect, center_x, center_y, angle, transparent,
                       flip_h, flip_v, alpha);
  });
}
void TDIBXWave::DrawRotateMask(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                               const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle,
                               bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  if (alpha <= 0 || zoom_x <= 0 || zoom_y <= 0) return;
  ForSingleRows(RotatedDrawArea(x, y, zoom_x, zoom_y, src_rect, center_x, center_y, angle), [&](int32_t o) {
    Target->DrawRotateMask(Shift(x, o), y, zoom_x, zoom_y, source, src_rect, center_x, center_y, angle, flip_h,
                           flip_v, mask, alpha);
  });
}
void TDIBXWave::StretchDrawAlpha(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                 bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  ForSingleRows(dest_rect, [&](int32_t o) {
    Target->StretchDrawAlpha(ShiftRect(dest_rect, o), source, src_rect, transparent, flip_h, flip_v, alpha);
  });
}
void TDIBXWave::StretchDrawAlphaMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                     bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  ForSingleRows(dest_rect, [&](int32_t o) {
    Target->StretchDrawAlphaMask(ShiftRect(dest_rect, o), source, src_rect, flip_h, flip_v, mask, alpha);
  });
}
void TDIBXWave::StretchDrawAdd(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                               bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  ForSingleRows(dest_rect, [&](int32_t o) {
    Target->StretchDrawAdd(ShiftRect(dest_rect, o), source, src_rect, transparent, flip_h, flip_v, alpha);
  });
}
void TDIBXWave::StretchDrawAddMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                   bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  ForSingleRows(dest_rect, [&](int32_t o) {
    Target->StretchDrawAddMask(ShiftRect(dest_rect, o), source, src_rect, flip_h, flip_v, mask, alpha);
  });
}
void TDIBXWave::DrawIndexedStretch(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                   int32_t min_index, bool flip_h, bool flip_v, int32_t alpha,
                                   std::span<const uint32_t> table) {
  ForSingleRows(dest_rect, [&](int32_t o) {
    Target->DrawIndexedStretch(ShiftRect(dest_rect, o), source, src_rect, min_index, flip_h, flip_v, alpha, table);
  });
}
void TDIBXWave::PatternFillZoom(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                                int32_t offset_x, int32_t offset_y, bool transparent, bool flip_h, bool flip_v,
                                int32_t alpha) {
  ForSingleRows(rect, [&](int32_t o) {
    Target->PatternFillZoom(ShiftRect(rect, o), zoom_x, zoom_y, pattern, offset_x, offset_y, transparent, flip_h,
                            flip_v, alpha);
  });
}
void TDIBXWave::PatternFillZoomMask(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                                    int32_t offset_x, int32_t offset_y, bool flip_h, bool flip_v, TCustomDIBX& mask,
                                    int32_t alpha) {
  ForSingleRows(rect, [&](int32_t o) {
    Target->PatternFillZoomMask(ShiftRect(rect, o), zoom_x, zoom_y, pattern, offset_x, offset_y, flip_h, flip_v,
                                mask, alpha);
  });
}
void TDIBXWave::PatternFrameRect(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, int32_t offset_x,
                                 int32_t offset_y) {
  ForSingleRows(rect, [&](int32_t o) {
    Target->PatternFrameRect(ShiftRect(rect, o), thickness, pattern, offset_x, offset_y);
  });
}

// ---- reduced and indexed draws: destination row by destination row ------------

void TDIBXWave::DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color,
                                bool flip_h, bool flip_v, int32_t alpha, int32_t factor) {
  ForBlockRows(y, src_rect, factor, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawMonoReduced(Shift(x, o), r, source, sub, color, flip_h, flip_v, alpha, factor);
  });
}
void TDIBXWave::DrawMonoReducedTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                     std::span<const uint32_t> table, bool flip_h, bool flip_v, int32_t alpha,
                                     int32_t factor) {
  ForBlockRows(y, src_rect, factor, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawMonoReducedTable(Shift(x, o), r, source, sub, table, flip_h, flip_v, alpha, factor);
  });
}
void TDIBXWave::DrawIndexed(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                            bool flip_v, int32_t alpha, std::span<const uint32_t> table) {
  ForBlockRows(y, src_rect, 1, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawIndexed(Shift(x, o), r, source, sub, flip_h, flip_v, alpha, table);
  });
}
void TDIBXWave::DrawIndexedAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t min_index,
                               bool flip_h, bool flip_v, int32_t alpha, std::span<const uint32_t> table) {
  ForBlockRows(y, src_rect, 1, flip_v, [&](int32_t r, const TRect& sub, int32_t o) {
    Target->DrawIndexedAdd(Shift(x, o), r, source, sub, min_index, flip_h, flip_v, alpha, table);
  });
}

}  // namespace orba
