// A PNG file: read with its alpha plane, then turned into RGBA; and read as
// the player's picture (its alpha plane decoded straight as opacity).
#include "fuzz_support.h"
#include "graphics/brix.h"
#include "graphics/picture_rgba.h"
#include "graphics/png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TZelPNG png;
    png.LoadFromStream(s);
    orba::DibToRgba(png.Image, png.AlphaLoaded ? &png.Alpha() : nullptr, -1);
  });
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TBrixFrameList picture;
    picture.LoadPNG(s);
    orba::BrixFrameToRgba(*picture.GetFrame(0));
  });
  return 0;
}
