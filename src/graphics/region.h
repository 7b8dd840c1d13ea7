// Regions: areas of pixels made from a rectangle, an ellipse or a polygon,
// used both to test whether a point lies inside and to paint the area into a
// mask, so that what a click hits and what the mask shows always agree.
//
// Edge rules: a region holds the pixels of its left and top edges but not
// those of its right and bottom edges, so the rectangle (10, 10, 20, 20)
// holds the pixels 10 to 19 in both directions. A polygon is sampled at the
// integer points of each row: an edge crosses row Y when Y lies in
// [its lower y, its upper y), and the pixels from the ceiling of one
// crossing up to (not including) the ceiling of the next are inside when
// the fill rule says so (Alternate: an odd number of crossings to the left;
// Winding: a non-zero sum of the edges' directions). An ellipse holds the
// pixels whose centres lie inside the ellipse inscribed in its rectangle.
//
// Coordinates are limited to +-2^27 (larger ones are clamped), which keeps
// every product of the crossing arithmetic inside 64 bits.
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers/rect_utils.h"

namespace orba {

class TCustomDIBX;

enum class TPolyFillMode { Alternate, Winding };

// A run of pixels [Left, Right) of one row.
struct TRegionSpan {
  int32_t Left, Right;
  bool operator==(const TRegionSpan&) const = default;
};

class TRegion {
 public:
  static constexpr int64_t kCoordinateLimit = int64_t{1} << 27;

  // The empty region.
  TRegion() = default;
  // Right and Bottom are exclusive; swapped corners are put in order.
  static TRegion Rectangle(int64_t left, int64_t top, int64_t right, int64_t bottom);
  static TRegion Ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom);
  // The polygon is closed from the last point back to the first; fewer than
  // three points give the empty region.
  static TRegion Polygon(const std::vector<TPoint>& points, TPolyFillMode mode);

  // The smallest rectangle around the region; all zero when it is empty.
  TRect Bounds() const { return bounds_; }
  bool Contains(int32_t x, int32_t y) const;
  // The spans of row Y in left-to-right order, neither overlapping nor
  // touching.
  void RowSpans(int32_t y, std::vector<TRegionSpan>& out) const;

  // Paints the region moved by (Dx, Dy) into Dest with Pixel; only the
  // pixels inside Dest are touched.
  void Paint(TCustomDIBX& dest, int32_t dx, int32_t dy, uint32_t pixel) const;
  // Paints every pixel of Dest outside the moved region with Pixel.
  void PaintOutside(TCustomDIBX& dest, int32_t dx, int32_t dy, uint32_t pixel) const;

 private:
  enum class TShape { Empty, Rectangle, Ellipse, Polygon };
  TShape shape_ = TShape::Empty;
  TPolyFillMode mode_ = TPolyFillMode::Winding;
  int64_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;  // the defining rectangle
  std::vector<TPoint> points_;
  TRect bounds_{};

  void SetBounds(int64_t left, int64_t top, int64_t right, int64_t bottom);
  void PaintRows(TCustomDIBX& dest, int32_t dx, int32_t dy, uint32_t pixel, bool outside) const;
};

}  // namespace orba
