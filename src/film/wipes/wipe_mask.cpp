// Kinds driven by a mask picture: each pixel turns when a level sweeping
// over the grey scale passes the mask's grey there, dark parts first
// (reversed: light parts first), over a soft edge of the first parameter's
// width in grey levels. The mask is stretched over the screen. MASKFADE
// turns the old page into the new one; MASKWHITE and MASKBLACK turn it into
// white or black until the middle and the colour into the new page after.
// Without a mask picture every pixel turns at once, as a plain fade.
#include <algorithm>
#include <array>

#include "core/errors.h"
#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"
#include "graphics/color_convert.h"
#include "items/brix_cache.h"

namespace orba {
namespace {

class TWipeMask : public TWipe {
 public:
  using TWipe::TWipe;

  // Reads the mask picture through the picture cache (its first frame, as
  // grey levels) and lets the cache entry go again. A mask the game does not
  // have, or that cannot be read, leaves the transition without one.
  void Prepare() override {
    grey_.clear();
    mw_ = mh_ = 0;
    TBrixCollection* cache = BrixCollection();
    if (MaskName.empty() || cache == nullptr || !cache->HasFile(MaskName)) return;
    TBrixItem* entry = nullptr;
    try {
      entry = &cache->Acquire(this, MaskName, false, false);
    } catch (const EOrbaError&) {
      return;  // the cache names the file in the trace
    }
    if (TBrixItemFrame* frame = entry->GetFrame(0); frame != nullptr && frame->DIB != nullptr)
      ReadGrey(*frame->DIB);
    entry->RemoveOwner(this);
  }

 protected:
  void Render(const TWipeFrame& f) override {
    const int64_t twice = int64_t{2} * Position();
    const bool to_color = Kind() != WP_MASKFADE, second = to_color && twice >= Length;
    // The sweep of this half (the whole time for MASKFADE), 0 .. Length.
    const int64_t sweep = !to_color ? Position() : second ? twice - Length : twice;
    const uint32_t color = Kind() == WP_MASKWHITE ? 0xFFFFFFu : 0;
    // Weight of the turned side by grey level.
    const int32_t soft = std::clamp(Params[0], 1, 1 << 16);
    const int64_t level = (255 + int64_t{soft}) * sweep / Length;
    std::array<uint32_t, 256> weight{};
    for (int32_t g = 0; g < 256; ++g)
      weight[static_cast<size_t>(g)] = static_cast<uint32_t>(std::clamp<int64_t>(
          (level - (Reverse ? 255 - g : g)) * 256 / soft, 0, 256));
    if (grey_.empty()) {
      const uint32_t w = static_cast<uint32_t>(sweep * 256 / Length);
      weight.fill(w);
    }
    xmap_.resize(static_cast<size_t>(f.Width));
    for (int32_t x = 0; x < f.Width; ++x)
      xmap_[static_cast<size_t>(x)] = mw_ == 0 ? 0 : static_cast<int32_t>(int64_t{x} * mw_ / f.Width);
    // Each pixel mixes the turned side A with the other side B.
    auto rows = [&](auto a_of, auto b_of) {
      for (int32_t y = 0; y < f.Height; ++y) {
        const uint8_t* g = grey_.empty() ? nullptr : &grey_[static_cast<size_t>(int64_t{y} * mh_ / f.Height) * mw_];
        TPix* d = f.DestRow(y);
        const TPix *n = f.NewRow(y), *o = f.OldRow(y);
        for (int32_t x = 0; x < f.Width; ++x) {
          const uint32_t w = weight[g == nullptr ? 0 : g[xmap_[static_cast<size_t>(x)]]];
          d[x] = MixPixel(a_of(n[x]), b_of(o[x]), w);
        }
      }
    };
    auto page = [](uint32_t p) { return p; };
    auto flat = [color](uint32_t) { return color; };
    if (!to_color)
      rows(page, page);
    else if (second)
      rows(page, flat);
    else
      rows(flat, page);
  }

 private:
  void ReadGrey(TCustomDIBX& mask) {
    const TPixelView v = mask.LockView();
    if (v.Bits == nullptr) return;
    uint8_t palette[1024] = {};
    if (v.BitCount <= 8) mask.GetPaletteEntries(palette);
    const TPixelFormat format{v.BitCount, palette};
    mw_ = v.Width;
    mh_ = v.Height;
    grey_.resize(static_cast<size_t>(mw_) * mh_);
    for (int32_t y = 0; y < mh_; ++y)
      for (int32_t x = 0; x < mw_; ++x) {
        const uint32_t rgb = PixelToRGB888(ViewGetPixel(v, x, y), format);
        const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        grey_[static_cast<size_t>(y) * mw_ + x] = static_cast<uint8_t>((r * 77 + g * 150 + b * 29) >> 8);
      }
    mask.Unlock();
  }

  std::vector<uint8_t> grey_;
  int32_t mw_ = 0, mh_ = 0;
  std::vector<int32_t> xmap_;
};

}  // namespace

std::unique_ptr<TWipe> MakeMaskWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page) {
  return std::make_unique<TWipeMask>(kind, dest, new_page, old_page);
}

}  // namespace orba
