#include "graphics/region_file.h"

#include <algorithm>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"

namespace orba {

namespace {

// The smallest record: an empty name, the shape byte and a point count of 0.
constexpr int64_t kMinRecordBytes = 4 + 1 + 4;

TNamedRegion ReadRecord(TKsBigStream& s) {
  TNamedRegion r;
  r.Name = ReadStreamString(s);
  const uint8_t shape = ReadByteVal(s);
  if (shape == 0 || shape == 1) {
    int64_t v[4];
    for (int64_t& x : v) x = ReadStreamInt(s);
    // The bounds are inclusive; the region's right and bottom edges are not.
    r.Region = shape == 0 ? TRegion::Rectangle(v[0], v[1], v[2] + 1, v[3] + 1)
                          : TRegion::Ellipse(v[0], v[1], v[2] + 1, v[3] + 1);
    return r;
  }
  const int32_t count = std::max(ReadStreamInt(s), 0);
  CheckStoredCount(s, count, 8);
  std::vector<TPoint> points(static_cast<size_t>(count));
  for (TPoint& p : points) {
    p.X = ReadStreamInt(s);
    p.Y = ReadStreamInt(s);
  }
  r.Region = TRegion::Polygon(points, TPolyFillMode::Winding);
  return r;
}

}  // namespace

std::vector<TNamedRegion> ReadRegionFile(TKsBigStream& stream, std::string* fault) {
  std::vector<TNamedRegion> regions;
  if (fault != nullptr) fault->clear();
  try {
    const int32_t count = std::max(ReadStreamInt(stream), 0);
    CheckStoredCount(stream, count, kMinRecordBytes);
    regions.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) regions.push_back(ReadRecord(stream));
  } catch (const EOrbaError& e) {
    if (fault != nullptr) *fault = e.what();
  }
  return regions;
}

}  // namespace orba
