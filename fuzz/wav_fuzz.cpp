// libFuzzer harness: any bytes as a WAVE or Ogg file are either refused
// with EMediaError or decoded to their end, seeking back and forth.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/media_managers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    std::unique_ptr<orba::TDecoder> decoder = orba::OpenSampledFile(std::vector<uint8_t>(data, data + size));
    std::vector<float> out(4096 * 2);
    for (int pass = 0; pass < 2; ++pass) {
      while (decoder->Read(out.data(), 4096) > 0) {
      }
      decoder->Seek(decoder->Frames() / 2);
    }
  } catch (const orba::EOrbaError&) {
  }
  return 0;
}
