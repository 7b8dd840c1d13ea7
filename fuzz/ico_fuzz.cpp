// An icon or cursor file (or a BMP named so), read as the surface loader
// does (the alpha kept or keyed, by the input's last byte; by its next bit
// through the icon chooser, whose picture of each of the first lines is
// shown as a person walking the list would see it), then turned into RGBA;
// and the size of its image read from its headers alone.
#include <memory>

#include "fuzz_support.h"
#include "graphics/icon_file.h"
#include "platform/choice_window.h"
#include "platform/dialogs.h"

namespace {

// The chooser walked down its first kWalked lines, keeping the last.
class TWalkingChooser : public orba::TMessageBoxService {
 public:
  static constexpr int kWalked = 16;
  orba::TDialogResult Show(const orba::TDialogRequest& request) override {
    return orba::FirstButtonAnswer(request.Buttons);
  }
  int Choose(const orba::TChoiceRequest& request) override {
    orba::TChoiceWindow window(request);
    for (int line = 1; line < kWalked && line < static_cast<int>(request.Lines.size()); ++line) window.Select(line);
    return window.Selected();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool installed = [] {
    orba::SetMessageBoxService(std::make_shared<TWalkingChooser>());
    return true;
  }();
  (void)installed;
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TDIBSurface surface;
    orba::TPoint hotspot;
    bool has_alpha = false;
    int64_t key = orba::kIconKeyColor;
    const uint8_t last = size > 0 ? data[size - 1] : 0;
    orba::ReadIcon(surface, s, hotspot, has_alpha, (last & 1) != 0, key, (last & 2) != 0);
    orba::SurfaceToRgba(surface, key);
  });
  // The size a cursor is judged by, from the headers alone.
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::IconImageSize(s);
  });
  return 0;
}
