// A picture pasted from the clipboard: the first byte picks the form (odd:
// the GIF file under "GIF Image", even: the bitmap form), the rest is the
// clipboard's block, read by the GIF picture and, in the bitmap form, by a
// bitmap too. Nothing may stay locked.
#include "fuzz_support.h"
#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/global_memory_stream.h"
#include "graphics/picture_clipboard.h"
#include "platform/memory_clipboard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto clip = std::make_shared<orba::TMemoryClipboard>();
  orba::SetClipboard(clip);
  const bool gif = (data[0] & 1) != 0;
  const orba::TClipFormat format = gif ? orba::TGIFImage::ClipboardFormat() : orba::kClipFormatDib;
  const orba::TDataBlock block = orba::CopyToNewBlock(data + 1, size - 1);
  clip->Open();
  clip->SetData(format, block);
  clip->Close();
  orba::fuzz::Refused([&] {
    orba::TGIFImage image;
    image.OnDataWarning = [](int, const std::string&) {};
    orba::PastePictureFromClipboard(image, format);
  });
  if (!gif) {
    orba::fuzz::Refused([&] {
      orba::TDIB dib;
      orba::PastePictureFromClipboard(dib, format);
    });
  }
  if (clip->LocksHeld() != 0 || clip->IsOpen()) __builtin_trap();
  orba::SetClipboard(nullptr);
  return 0;
}
