// The region file of the image map: a little-endian int32 count, then one
// record per region: the name (int32 byte count, Shift-JIS bytes), a shape
// byte (0 rectangle, 1 ellipse, anything else polygon), and for rectangles
// and ellipses the inclusive bounds left, top, right, bottom (4 x int32),
// for polygons an int32 point count and that many (x, y) int32 pairs, filled
// by the winding rule. Coordinates are relative to the picture.
#pragma once

#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/region.h"

namespace orba {

struct TNamedRegion {
  std::string Name;
  TRegion Region;
};

// The regions of the file at Stream's position. A negative count reads as
// 0. A count (of regions, name bytes or points) larger than the bytes left
// can hold, or a record cut short, ends the reading: the regions read
// before it are answered and Fault (when given) receives the reason;
// otherwise Fault is left empty.
std::vector<TNamedRegion> ReadRegionFile(TKsBigStream& stream, std::string* fault = nullptr);

}  // namespace orba
