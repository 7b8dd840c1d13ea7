// A JPEG file, decoded.
#include "fuzz_support.h"
#include "graphics/jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] { orba::DecodeJpeg(data, size); });
  return 0;
}
