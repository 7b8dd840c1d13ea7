// A GIF file: read with every warning taken, then every frame rendered and
// the first composed (for screens of up to 1024 x 1024: the logical screen
// is a size the file names without data behind it); a small picture of a
// few frames is also played to its last frame by its painter, copied, and asked
// for its palette.
#include "fuzz_support.h"
#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"

// Playing repaints the screen once a frame: a few frames of a small screen
// keep a run short.
constexpr int32_t kPlayedFrames = 16;
constexpr int64_t kPlayedPixels = 256 * 256;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TGIFImage image;
    image.OnDataWarning = [](int, const std::string&) {};
    image.LoadFromStream(s);
    for (int32_t i = 0; i < image.Count(); ++i) orba::RenderFrame(image.Frame(i), i % 2 == 1);
    if (int64_t{image.Width()} * image.Height() <= orba::kAlwaysPlausiblePixels) {
      orba::TDIB composed;
      orba::ComposeFirstFrame(image, composed);
      if (image.Count() <= kPlayedFrames && int64_t{image.Width()} * image.Height() <= kPlayedPixels) {
        orba::TDIB last;
        orba::ComposeFrame(image, image.Count() - 1, last);
        orba::TGIFImage copy;
        copy.Assign(image);
        copy.GetPalette();
      }
    }
  });
  return 0;
}
