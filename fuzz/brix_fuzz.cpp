// A Brix image: the first 4 bytes are the identification code (little
// endian), the rest the file. Every frame is read and the first one
// composed into RGBA.
#include "fuzz_support.h"
#include "graphics/brix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t code = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24);
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data + 4, size - 4));
    orba::TBrixFrameList image(code);
    image.LoadFromStream(s, false, false, false);
    if (image.Count() > 0) orba::BrixFrameToRgba(*image.GetFrame(0));
  });
  return 0;
}
