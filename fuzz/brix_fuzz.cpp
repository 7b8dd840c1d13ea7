// A Brix image: the first 4 bytes are the identification code (little
// endian), the rest the file. Every frame is read and the first one
// composed into RGBA; then the file is read again handing each frame over
// as it is read (the tile scan, the layers kept for later tiles).
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
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data + 4, size - 4));
    orba::TBrixFrameList image(code);
    image.OnFrameRead = [](orba::TBrixFrame& frame) -> int64_t {
      orba::BrixFrameToRgba(frame);
      return 0;
    };
    image.LoadFromStream(s, false, false, false);
  });
  return 0;
}
