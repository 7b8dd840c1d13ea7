// A GIF file: read with every warning taken, then its first frame composed
// and every frame rendered.
#include "fuzz_support.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TGIFImage image;
    image.OnDataWarning = [](int, const std::string&) {};
    image.LoadFromStream(s);
    for (int32_t i = 0; i < image.Count(); ++i) orba::RenderFrame(image.Frame(i), i % 2 == 1);
    orba::TDIB composed;
    orba::ComposeFirstFrame(image, composed);
  });
  return 0;
}
