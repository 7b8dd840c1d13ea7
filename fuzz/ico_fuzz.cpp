// An icon or cursor file (or a BMP named so), read as the surface loader
// does (the alpha kept or keyed, by the input's last byte), then turned
// into RGBA.
#include "fuzz_support.h"
#include "graphics/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TDIBSurface surface;
    orba::TPoint hotspot;
    bool has_alpha = false;
    int64_t key = orba::kIconKeyColor;
    orba::ReadIcon(surface, s, hotspot, has_alpha, size > 0 && (data[size - 1] & 1) != 0, key);
    orba::SurfaceToRgba(surface, key);
  });
  return 0;
}
