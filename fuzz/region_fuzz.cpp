// An image map's region file: read, then every region hit-tested around its
// bounds and painted, inside and outside, into a small mask.
#include "fuzz_support.h"
#include "graphics/dibx.h"
#include "graphics/region_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TDIBX mask;
    mask.SetSize(24, 24, 8);
    for (const orba::TNamedRegion& r : orba::ReadRegionFile(s)) {
      const orba::TRect b = r.Region.Bounds();
      for (int32_t d = -1; d <= 1; ++d) {
        r.Region.Contains(b.Left + d, b.Top + d);
        r.Region.Contains(b.Right + d, b.Bottom + d);
      }
      r.Region.Paint(mask, -b.Left, -b.Top, 255);
      r.Region.PaintOutside(mask, 4 - b.Left, 4 - b.Top, 0);
    }
  });
  return 0;
}
