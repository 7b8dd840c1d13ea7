#include "graphics/resize.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/color_convert.h"
#include "graphics/depth_convert.h"

namespace orba {

namespace {

const uint8_t* TableBytes(const TColorTable& table) { return reinterpret_cast<const uint8_t*>(table.data()); }

uint8_t RoundChannel(double v) {
  const double r = std::floor(v + 0.5);
  return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

uint32_t Rgb24At(const std::vector<const uint8_t*>& rows, int64_t x, int64_t y) {
  const uint8_t* p = rows[static_cast<size_t>(y)] + 3 * x;
  return p[0] | p[1] << 8 | p[2] << 16;
}

void Store24(uint8_t* p, uint32_t bgr) {
  p[0] = static_cast<uint8_t>(bgr);
  p[1] = static_cast<uint8_t>(bgr >> 8);
  p[2] = static_cast<uint8_t>(bgr >> 16);
}

std::vector<const uint8_t*> RowTable(TDIBSurface& surface) {
  TPixelView v = surface.ReadView();
  std::vector<const uint8_t*> rows(static_cast<size_t>(v.Height));
  for (int32_t y = 0; y < v.Height; ++y) rows[static_cast<size_t>(y)] = v.Row(y);
  return rows;
}

void MakeResult(TDIBSurface& result, int32_t width, int32_t height) {
  result.Clear();
  result.SetSize(width, height, 24);
}

// A surface's pixel value as the 24-bit pixel value its colour has (-1 none).
int64_t KeyAs24(TDIBSurface& surface, int64_t key) {
  if (key < 0) return -1;
  const TPixelFormat format{surface.GetBitCount(), TableBytes(surface.ImageTable())};
  return PixelToRGB888(static_cast<uint32_t>(key), format);
}

}  // namespace

void AreaAverage24(TDIBSurface& result, TDIBSurface& source24, int32_t width, int32_t height, int64_t key) {
  MakeResult(result, width, height);
  if (result.Empty() || source24.Empty()) return;
  const int64_t sw = source24.Width(), sh = source24.Height();
  const std::vector<const uint8_t*> rows = RowTable(source24);
  const double sx = static_cast<double>(sw) / width, sy = static_cast<double>(sh) / height;
  const double area = static_cast<double>(sw) * static_cast<double>(sh) / (static_cast<double>(width) * height);
  TPixelView out = result.WriteView();
  for (int32_t y = 0; y < height; ++y) {
    const double top = y * sy, bottom = (y + 1) * sy - 0.000001;
    const int64_t r0 = std::min<int64_t>(static_cast<int64_t>(top), sh - 1);
    const int64_t r1 = std::min<int64_t>(static_cast<int64_t>(bottom), sh - 1);
    for (int32_t x = 0; x < width; ++x) {
      const double left = x * sx, right = (x + 1) * sx - 0.000001;
      const int64_t c0 = std::min<int64_t>(static_cast<int64_t>(left), sw - 1);
      const int64_t c1 = std::min<int64_t>(static_cast<int64_t>(right), sw - 1);
      double sum[3] = {0, 0, 0};
      int64_t visited = 0, counted = 0;
      for (int64_t r = r0; r <= r1; ++r) {
        const double wy = std::min(r + 1.0, bottom) - std::max(static_cast<double>(r), top);
        for (int64_t c = c0; c <= c1; ++c) {
          ++visited;
          const uint32_t p = Rgb24At(rows, c, r);
          if (key >= 0 && p == key) continue;
          ++counted;
          const double wt = wy * (std::min(c + 1.0, right) - std::max(static_cast<double>(c), left));
          sum[0] += wt * (p & 0xFF);
          sum[1] += wt * ((p >> 8) & 0xFF);
          sum[2] += wt * (p >> 16);
        }
      }
      uint8_t* q = out.Row(y) + 3 * x;
      if (counted == 0) {
        // The whole area is the key colour: so is the result.
        Store24(q, static_cast<uint32_t>(key));
        continue;
      }
      const double divisor = area * static_cast<double>(counted) / static_cast<double>(visited);
      for (int k = 0; k < 3; ++k) q[k] = RoundChannel(sum[k] / divisor);
    }
  }
}

void Bilinear24(TDIBSurface& result, TDIBSurface& source24, int32_t width, int32_t height, int64_t key) {
  MakeResult(result, width, height);
  if (result.Empty() || source24.Empty()) return;
  const int64_t sw = source24.Width(), sh = source24.Height();
  const std::vector<const uint8_t*> rows = RowTable(source24);
  const double sx = static_cast<double>(sw) / width, sy = static_cast<double>(sh) / height;
  auto clamp = [](int64_t i, int64_t n) { return i < 0 ? 0 : i >= n ? n - 1 : i; };
  TPixelView out = result.WriteView();
  for (int32_t y = 0; y < height; ++y) {
    const double v = (y + 0.5) * sy - 0.5;
    const double fv = std::floor(v);
    const double fy = v - fv;
    const int64_t y0 = clamp(static_cast<int64_t>(fv), sh), y1 = clamp(static_cast<int64_t>(fv) + 1, sh);
    for (int32_t x = 0; x < width; ++x) {
      const double u = (x + 0.5) * sx - 0.5;
      const double fu = std::floor(u);
      const double fx = u - fu;
      const int64_t x0 = clamp(static_cast<int64_t>(fu), sw), x1 = clamp(static_cast<int64_t>(fu) + 1, sw);
      // A top left, B bottom left, C top right, D bottom right.
      uint32_t n[4] = {Rgb24At(rows, x0, y0), Rgb24At(rows, x0, y1), Rgb24At(rows, x1, y0), Rgb24At(rows, x1, y1)};
      uint8_t* q = out.Row(y) + 3 * x;
      if (key >= 0) {
        int first = -1;
        for (int k = 0; k < 4 && first < 0; ++k)
          if (n[k] != key) first = k;
        if (first < 0) {
          Store24(q, static_cast<uint32_t>(key));
          continue;
        }
        for (uint32_t& p : n)
          if (p == key) p = n[first];
      }
      for (int k = 0; k < 3; ++k) {
        const double a = (n[0] >> (8 * k)) & 0xFF, b = (n[1] >> (8 * k)) & 0xFF, c = (n[2] >> (8 * k)) & 0xFF,
                     d = (n[3] >> (8 * k)) & 0xFF;
        q[k] = RoundChannel(a + fx * (c - a) + fy * (b - a) + fx * fy * (d + a - b - c));
      }
    }
  }
}

void Resize(TDIBSurface& surface, int32_t width, int32_t height, bool restore_bit_count, int64_t key, bool smooth) {
  if (width == surface.Width() && height == surface.Height()) return;
  if (width < 1 || height < 1 || surface.Empty()) {
    surface.SetSize(width, height, surface.GetBitCount());
    return;
  }
  // The alpha plane is resized first and kept aside while the pixels are.
  TDIBSurface alpha;
  const bool had_alpha = surface.Alpha() != nullptr;
  if (had_alpha) {
    alpha.CopyPixels(*surface.Alpha());
    surface.FreeAlpha();
    Resize(alpha, width, height, true, -1, smooth);
  }

  const int32_t bits = surface.GetBitCount();
  if (smooth) {
    const TColorTable table = surface.ImageTable();
    TDIBSurface source24;
    source24.SetSize(surface.Width(), surface.Height(), 24);
    DrawConvert(source24, 0, 0, -1, surface);
    const int64_t key24 = KeyAs24(surface, key);
    TDIBSurface result;
    if (width <= surface.Width() && height <= surface.Height())
      AreaAverage24(result, source24, width, height, key24);
    else
      Bilinear24(result, source24, width, height, key24);
    if (restore_bit_count && bits <= 16) {
      surface.ColorTable = table;
      surface.SetSize(width, height, bits);
      surface.CommitTable();
    } else {
      surface.SetSize(width, height, 24);
    }
    DrawConvert(surface, 0, 0, -1, result);
  } else {
    TDIBSurface copy;
    copy.CopyPixels(surface);
    surface.SetSize(width, height, bits);
    ConvertStretch(surface.WriteView(), TableBytes(surface.ImageTable()), surface.GetBounds(), copy.ReadView(),
                   TableBytes(copy.ImageTable()), copy.GetBounds());
  }
  if (had_alpha) surface.AssignAlpha(alpha);
}

}  // namespace orba
