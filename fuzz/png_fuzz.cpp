// A PNG file: read with its alpha plane, then turned into RGBA.
#include "fuzz_support.h"
#include "graphics/picture_rgba.h"
#include "graphics/png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TZelPNG png;
    png.LoadFromStream(s);
    orba::DibToRgba(png.Image, png.AlphaLoaded ? &png.Alpha() : nullptr, -1);
  });
  return 0;
}
