// Kinds that change every pixel alike: a cross-fade, a fade through white or
// black, and a cut to the new page under a white flash that dies away.
#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

class TWipeFade : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    const uint32_t w = Weight();
    switch (Kind()) {
      case WP_WHITE:
      case WP_BLACK: {
        // Old page to the colour in the first half, the colour to the new
        // page in the second.
        const uint32_t color = Kind() == WP_WHITE ? kWhite : 0;
        const bool second = w >= 128;
        const uint32_t page_weight = second ? (w - 128) * 2 : 256 - w * 2;
        for (int32_t y = 0; y < f.Height; ++y)
          MixRowColor(f.DestRow(y), f.PageRow(second, y), color, f.Width, page_weight);
        break;
      }
      case WP_FLASH:
        // The new page at once under a white flash that dies away.
        for (int32_t y = 0; y < f.Height; ++y) MixRowColor(f.DestRow(y), f.NewRow(y), kWhite, f.Width, w);
        break;
      default:
        for (int32_t y = 0; y < f.Height; ++y) MixRow(f.DestRow(y), f.NewRow(y), f.OldRow(y), f.Width, w);
        break;
    }
  }
};

}  // namespace

std::unique_ptr<TWipe> MakeFadeWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page) {
  return std::make_unique<TWipeFade>(kind, dest, new_page, old_page);
}

}  // namespace orba
