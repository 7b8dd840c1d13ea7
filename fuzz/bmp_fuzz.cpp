// A BMP file: read, then expanded to RGBA (run-length pictures included).
#include "fuzz_support.h"
#include "graphics/dib.h"
#include "graphics/picture_rgba.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TDIB dib;
    dib.LoadFromStream(s);
    orba::DibToRgba(dib, nullptr, -1);
  });
  return 0;
}
