// A TGA file, read as the surface loader does (the alpha plane split off
// or not, by the input's last byte), then turned into RGBA.
#include "fuzz_support.h"
#include "graphics/icon_file.h"
#include "graphics/tga_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TDIBSurface surface;
    orba::TTgaInfo info;
    const int64_t key = orba::ReadTGA(surface, s, info, size > 0 && (data[size - 1] & 1) != 0);
    orba::SurfaceToRgba(surface, key);
  });
  return 0;
}
