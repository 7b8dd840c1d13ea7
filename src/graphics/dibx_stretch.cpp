// Stretched blends of the drawing surface: a source rectangle drawn into a
// destination rectangle of another size by nearest-pixel sampling, blended
// by a constant opacity, through a coverage mask, or additively.
#include "graphics/dibx_stretch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "graphics/draw_kernels.h"

namespace orba {
namespace dibx_ops {

int64_t FloorDiv(int64_t n, int64_t d) {
  int64_t q = n / d;
  return (n % d != 0 && (n < 0) != (d < 0)) ? q - 1 : q;
}
int64_t FloorMod(int64_t n, int64_t d) { return n - FloorDiv(n, d) * d; }

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}
int32_t ClampToInt32(double v) {
  if (!(v == v)) return 0;
  return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

TSourceSnapshot::TSourceSnapshot(const TPixelView& source, const TPixelView& dest) : FView(source) {
  if (source.Empty() || dest.Empty()) return;
  auto span = [](const TPixelView& v, const uint8_t*& lo, const uint8_t*& hi) {
    const uint8_t* first = v.Row(0);
    const uint8_t* last = v.Row(v.Height - 1);
    lo = std::min(first, last);
    hi = std::max(first, last) + (v.Pitch < 0 ? -v.Pitch : v.Pitch);
  };
  const uint8_t *slo, *shi, *dlo, *dhi;
  span(source, slo, shi);
  span(dest, dlo, dhi);
  if (!(slo < dhi && dlo < shi)) return;
  const size_t row = static_cast<size_t>(source.Pitch < 0 ? -source.Pitch : source.Pitch);
  FCopy.resize(row * static_cast<size_t>(source.Height));
  for (int32_t y = 0; y < source.Height; ++y) std::memcpy(&FCopy[row * static_cast<size_t>(y)], source.Row(y), row);
  FView.Bits = FCopy.data();
  FView.Pitch = static_cast<std::ptrdiff_t>(row);
}

TRect ViewClip(TCustomDIBX& dest, const TPixelView& view) {
  TRect clip;
  IntersectRects(dest.GetClipRect(), TRect{0, 0, view.Width, view.Height}, clip);
  return clip;
}

int32_t TStretchPlan::SourceRow(int32_t y) const {
  int64_t sy = FloorDiv(RowStart + (static_cast<int64_t>(y) - OriginTop) * RowStep, 65536);
  return sy >= RowLo && sy < RowHi ? static_cast<int32_t>(sy) : -1;
}

namespace {

// Start and step of one axis in 16.16: forward from the low edge, or
// mirrored from just inside the high edge.
void AxisWalk(int64_t lo, int64_t hi, int64_t dest_len, bool flip, int64_t& start, int64_t& step) {
  double ratio = static_cast<double>(hi - lo) / static_cast<double>(dest_len);
  step = static_cast<int64_t>(ratio * 65536.0);
  if (flip) {
    start = hi * 65536 - 1;
    step = -step;
  } else {
    start = lo * 65536;
  }
}

}  // namespace

bool PlanStretch(const TRect& dest_rect, const TRect& src_rect, bool flip_h, bool flip_v, const TRect& clip,
                 const TRect& source_bounds, TStretchPlan& plan) {
  const int64_t dw = int64_t{dest_rect.Right} - dest_rect.Left, dh = int64_t{dest_rect.Bottom} - dest_rect.Top;
  const int64_t sw = int64_t{src_rect.Right} - src_rect.Left, sh = int64_t{src_rect.Bottom} - src_rect.Top;
  if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return false;
  TRect d{std::max(dest_rect.Left, clip.Left), std::max(dest_rect.Top, clip.Top),
          std::min(dest_rect.Right, clip.Right), std::min(dest_rect.Bottom, clip.Bottom)};
  if (RectIsEmpty(d)) return false;
  const int32_t col_lo = std::max(src_rect.Left, source_bounds.Left), col_hi = std::min(src_rect.Right, source_bounds.Right);
  plan.RowLo = std::max(src_rect.Top, source_bounds.Top);
  plan.RowHi = std::min(src_rect.Bottom, source_bounds.Bottom);
  if (col_lo >= col_hi || plan.RowLo >= plan.RowHi) return false;
  plan.Dest = d;
  int64_t start_x, step_x;
  AxisWalk(src_rect.Left, src_rect.Right, dw, flip_h, start_x, step_x);
  AxisWalk(src_rect.Top, src_rect.Bottom, dh, flip_v, plan.RowStart, plan.RowStep);
  plan.OriginTop = dest_rect.Top;
  plan.Columns.assign(static_cast<size_t>(int64_t{d.Right} - d.Left), -1);
  for (int64_t x = d.Left; x < d.Right; ++x) {
    int64_t sx = FloorDiv(start_x + (x - dest_rect.Left) * step_x, 65536);
    if (sx >= col_lo && sx < col_hi) plan.Columns[static_cast<size_t>(x - d.Left)] = static_cast<int32_t>(sx);
  }
  return true;
}

}  // namespace dibx_ops

namespace {

using namespace dibx_ops;

enum class TStretch { Alpha, AlphaMask, Add, AddMask };

// The `Size`-byte pixels of Columns[first..last) gathered into one row.
template <size_t Size>
void GatherRow(const uint8_t* srow, const std::vector<int32_t>& columns, size_t first, size_t last, uint8_t* out) {
  const int32_t* const cols = columns.data();  // a local: stores through `out` may alias the vector
  for (size_t i = first; i < last; ++i)
    std::memcpy(out + (i - first) * Size, srow + static_cast<std::ptrdiff_t>(cols[i]) * static_cast<std::ptrdiff_t>(Size), Size);
}

// The 32-bit pixels and the mask bytes of the same columns in one pass: one
// read of each column's index serves both.
void GatherWithMask32(const uint8_t* srow, const uint8_t* mrow, const std::vector<int32_t>& columns, size_t first,
                      size_t last, uint8_t* out, uint8_t* mout) {
  const int32_t* const cols = columns.data();
  for (size_t i = first; i < last; ++i) {
    const std::ptrdiff_t c = cols[i];
    std::memcpy(out + (i - first) * 4, srow + c * 4, 4);
    mout[i - first] = mrow[c];
  }
}

void Gather(int bpp, const uint8_t* srow, const std::vector<int32_t>& columns, size_t first, size_t last, uint8_t* out) {
  switch (bpp) {
    case 1: return GatherRow<1>(srow, columns, first, last, out);
    case 2: return GatherRow<2>(srow, columns, first, last, out);
    case 3: return GatherRow<3>(srow, columns, first, last, out);
    default: return GatherRow<4>(srow, columns, first, last, out);
  }
}

// Each source row (and its mask row) is sampled once into a row of the
// destination's width, which the row kernels then draw. The sampled columns
// are one run, as the sample positions only grow (or only shrink) across the
// row. Opacity blends at 15, 16 and 32 bits follow the blits' rules (keyed
// and equal pixels stay); at 8 and 24 bits, and for every other kind, the
// sampled draws' own (see TRowKernels::Sampled and TMaskMode).
void StretchRows(const TPixelView& dest, const TPixelView& source, const TPixelView* mask, const TStretchPlan& plan,
                 TStretch kind, TRowKey key, int32_t alpha) {
  const auto valid = [](int32_t c) { return c >= 0; };
  const auto first_it = std::find_if(plan.Columns.begin(), plan.Columns.end(), valid);
  if (first_it == plan.Columns.end()) return;
  const size_t first = static_cast<size_t>(first_it - plan.Columns.begin());
  const size_t last = plan.Columns.size() - static_cast<size_t>(
      std::find_if(plan.Columns.rbegin(), plan.Columns.rend(), valid) - plan.Columns.rbegin());
  const int bpp = dest.BytesPerPixel();
  const int32_t bits = dest.BitCount;
  const int32_t n = static_cast<int32_t>(last - first);
  std::vector<uint8_t> row(static_cast<size_t>(n) * static_cast<size_t>(bpp));
  std::vector<uint8_t> mrow(mask != nullptr ? static_cast<size_t>(n) : 0);
  const TRowKernels& k = RowKernels();
  const bool row_rules = HasRowKernelRules(bits);
  int32_t sampled = -1;
  // Rows go in the destination's memory order (each reads only the source,
  // copied first where it overlaps).
  for (int32_t step = 0; step < plan.Dest.Bottom - plan.Dest.Top; ++step) {
    const int32_t y = RowInMemoryOrder(dest.Pitch, plan.Dest.Top, plan.Dest.Bottom, step);
    const int32_t sy = plan.SourceRow(y);
    if (sy < 0) continue;
    if (sy != sampled) {
      if (mask != nullptr && bpp == 4) {
        GatherWithMask32(source.Row(sy), mask->Row(sy), plan.Columns, first, last, row.data(), mrow.data());
      } else {
        Gather(bpp, source.Row(sy), plan.Columns, first, last, row.data());
        if (mask != nullptr) Gather(1, mask->Row(sy), plan.Columns, first, last, mrow.data());
      }
      sampled = sy;
    }
    uint8_t* drow = dest.Row(y) + (static_cast<std::ptrdiff_t>(plan.Dest.Left) + static_cast<std::ptrdiff_t>(first)) * bpp;
    switch (kind) {
      case TStretch::Alpha:
        if (!row_rules) k.Sampled(drow, row.data(), n, bits, alpha, key, false);
        else if (alpha == 255) k.KeyedCopy(drow, row.data(), n, bits, key);
        else k.Blend(drow, row.data(), n, bits, alpha, key);
        break;
      case TStretch::Add: k.Sampled(drow, row.data(), n, bits, alpha, key, true); break;
      case TStretch::AlphaMask: k.Mask(drow, row.data(), mrow.data(), n, bits, alpha, TMaskMode::Cover); break;
      case TStretch::AddMask: k.Mask(drow, row.data(), mrow.data(), n, bits, alpha, TMaskMode::Add); break;
    }
  }
}

void StretchBlend(TCustomDIBX& dest, TStretch kind, const TRect& dest_rect, TCustomDIBX& source,
                  const TRect& src_rect, bool transparent, bool flip_h, bool flip_v, TCustomDIBX* mask,
                  int32_t alpha) {
  if (alpha <= 0) return;
  alpha = std::min(alpha, 255);
  if (mask != nullptr && mask->BitCount() != 8) return;
  TLocked d(dest);
  if (!d.Ok() || !IsWholeBytePixels(d.View.BitCount)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BytesPerPixel() != d.View.BytesPerPixel()) return;
  std::optional<TLocked> m;
  TRect bounds{0, 0, s.View.Width, s.View.Height};
  if (mask != nullptr) {
    m.emplace(*mask);
    if (!m->Ok() || m->View.BitCount != 8) return;
    bounds.Right = std::min(bounds.Right, m->View.Width);
    bounds.Bottom = std::min(bounds.Bottom, m->View.Height);
  }
  TStretchPlan plan;
  if (!PlanStretch(dest_rect, src_rect, flip_h, flip_v, ViewClip(dest, d.View), bounds, plan)) return;
  TSourceSnapshot snap(s.View, d.View);
  std::optional<TSourceSnapshot> mask_snap;
  if (m) mask_snap.emplace(m->View, d.View);
  const TRowKey key = transparent ? MakeDrawKey(source.TransparentColor, d.View.BitCount) : TRowKey{};
  StretchRows(d.View, snap.View(), mask_snap ? &mask_snap->View() : nullptr, plan, kind, key, alpha);
}

}  // namespace

void TCustomDIBX::StretchDrawAlpha(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                   bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  StretchBlend(*this, TStretch::Alpha, dest_rect, source, src_rect, transparent, flip_h, flip_v, nullptr, alpha);
}
void TCustomDIBX::StretchDrawAlphaMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                       bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  StretchBlend(*this, TStretch::AlphaMask, dest_rect, source, src_rect, false, flip_h, flip_v, &mask, alpha);
}
void TCustomDIBX::StretchDrawAdd(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                 bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  StretchBlend(*this, TStretch::Add, dest_rect, source, src_rect, transparent, flip_h, flip_v, nullptr, alpha);
}
void TCustomDIBX::StretchDrawAddMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                     bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  StretchBlend(*this, TStretch::AddMask, dest_rect, source, src_rect, false, flip_h, flip_v, &mask, alpha);
}

}  // namespace orba
