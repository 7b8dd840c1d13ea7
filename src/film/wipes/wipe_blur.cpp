// Kinds that blur the old page into white or black and bring the new page
// back sharp out of it. The blur is a box blur of a half-size copy: its
// radius, up to the first parameter, and the share of the colour grow to
// the middle of the transition and fall again.
#include <algorithm>
#include <cstdlib>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

constexpr int32_t kChannelShift[3] = {0, 8, 16};

class TWipeBlur : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    const int64_t twice = int64_t{2} * Position();
    const bool second = twice >= Length;
    const int64_t ramp = Length - std::abs(twice - Length);  // 0 .. Length
    const uint32_t color = Kind() == WP_BLURWHITE ? 0xFFFFFFu : 0;
    const uint32_t page_weight = 256 - static_cast<uint32_t>(ramp * 256 / Length);
    const int32_t radius =
        static_cast<int32_t>(std::clamp(Params[0], 0, std::max(f.Width, f.Height)) * ramp / Length) / 2;
    if (radius < 1) {
      for (int32_t y = 0; y < f.Height; ++y)
        MixRowColor(f.DestRow(y), f.PageRow(second, y), color, f.Width, page_weight);
      return;
    }
    Shrink(f, second);
    BlurRows(radius);
    BlurColumns(radius);
    // Each half-size pixel, mixed with the colour, covers 2 x 2 pixels.
    row_.resize(static_cast<size_t>(sw_));
    for (int32_t sy = 0; sy < sh_; ++sy) {
      MixRowColor(row_.data(), &small_[static_cast<size_t>(sy) * sw_], color, sw_, page_weight);
      const int32_t y = sy * 2;
      TPix* d = f.DestRow(y);
      for (int32_t x = 0; x < f.Width; ++x) d[x] = row_[static_cast<size_t>(x >> 1)];
      if (y + 1 < f.Height) std::memcpy(f.DestRow(y + 1), d, static_cast<size_t>(f.Width) * 4);
    }
  }

 private:
  // small_: the page at half size, each pixel the mean of its 2 x 2 pixels.
  void Shrink(const TWipeFrame& f, bool new_page) {
    sw_ = (f.Width + 1) / 2;
    sh_ = (f.Height + 1) / 2;
    small_.resize(static_cast<size_t>(sw_) * sh_);
    for (int32_t sy = 0; sy < sh_; ++sy) {
      const TPix* a = f.PageRow(new_page, sy * 2);
      const TPix* b = f.PageRow(new_page, std::min(sy * 2 + 1, f.Height - 1));
      TPix* d = &small_[static_cast<size_t>(sy) * sw_];
      for (int32_t sx = 0; sx < sw_; ++sx) {
        const int32_t x0 = sx * 2, x1 = std::min(x0 + 1, f.Width - 1);
        const uint32_t p[4] = {a[x0], a[x1], b[x0], b[x1]};
        uint32_t rb = 0, g = 0;
        for (const uint32_t v : p) {
          rb += v & 0xFF00FFu;
          g += v & 0x00FF00u;
        }
        d[sx] = ((rb >> 2) & 0xFF00FFu) | ((g >> 2) & 0x00FF00u);
      }
    }
  }

  // Box blur of small_ across, each row through a running sum.
  void BlurRows(int32_t radius) {
    const uint32_t scale = 65536u / static_cast<uint32_t>(2 * radius + 1);
    row_.resize(static_cast<size_t>(sw_));
    for (int32_t sy = 0; sy < sh_; ++sy) {
      TPix* p = &small_[static_cast<size_t>(sy) * sw_];
      std::copy(p, p + sw_, row_.begin());
      auto at = [&](int32_t x) { return row_[static_cast<size_t>(std::clamp(x, 0, sw_ - 1))]; };
      uint32_t sum[3] = {0, 0, 0};
      for (int32_t i = -radius; i <= radius; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += (at(i) >> kChannelShift[c]) & 0xFF;
      for (int32_t x = 0; x < sw_; ++x) {
        p[x] = ((sum[0] * scale) >> 16) | (((sum[1] * scale) >> 16) << 8) | (((sum[2] * scale) >> 16) << 16);
        const uint32_t in = at(x + radius + 1), out = at(x - radius);
        for (int c = 0; c < 3; ++c)
          sum[c] += ((in >> kChannelShift[c]) & 0xFF) - ((out >> kChannelShift[c]) & 0xFF);
      }
    }
  }

  // Box blur of small_ down, all columns at once through running sums.
  void BlurColumns(int32_t radius) {
    const uint32_t scale = 65536u / static_cast<uint32_t>(2 * radius + 1);
    sums_.assign(static_cast<size_t>(sw_) * 3, 0);
    copy_ = small_;
    auto row = [&](int32_t y) { return &copy_[static_cast<size_t>(std::clamp(y, 0, sh_ - 1)) * sw_]; };
    auto add = [&](int32_t y, int sign) {
      const TPix* p = row(y);
      for (int32_t x = 0; x < sw_; ++x) {
        uint32_t* s = &sums_[static_cast<size_t>(x) * 3];
        const uint32_t v = p[x];
        s[0] += static_cast<uint32_t>(sign) * (v & 0xFF);
        s[1] += static_cast<uint32_t>(sign) * ((v >> 8) & 0xFF);
        s[2] += static_cast<uint32_t>(sign) * ((v >> 16) & 0xFF);
      }
    };
    for (int32_t i = -radius; i <= radius; ++i) add(i, 1);
    for (int32_t y = 0; y < sh_; ++y) {
      TPix* d = &small_[static_cast<size_t>(y) * sw_];
      for (int32_t x = 0; x < sw_; ++x) {
        const uint32_t* s = &sums_[static_cast<size_t>(x) * 3];
        d[x] = ((s[0] * scale) >> 16) | (((s[1] * scale) >> 16) << 8) | (((s[2] * scale) >> 16) << 16);
      }
      add(y + radius + 1, 1);
      add(y - radius, -1);
    }
  }

  int32_t sw_ = 0, sh_ = 0;
  std::vector<uint32_t> small_, copy_, row_, sums_;
};

}  // namespace

std::unique_ptr<TWipe> MakeBlurWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page) {
  return std::make_unique<TWipeBlur>(kind, dest, new_page, old_page);
}

}  // namespace orba
