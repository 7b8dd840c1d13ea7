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

// The largest blur radius at full size.
constexpr int32_t kMaxRadius = 2000;

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
    const int32_t radius = static_cast<int32_t>(std::clamp(Params[0], 0, kMaxRadius) * ramp / Length) / 2;
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
    const uint32_t* mixed = row_.data();
    const int32_t width = f.Width, pairs = f.Width / 2;
    for (int32_t sy = 0; sy < sh_; ++sy) {
      MixRowColor(row_.data(), &small_[static_cast<size_t>(sy) * sw_], color, sw_, page_weight);
      const int32_t y = sy * 2;
      TPix* d = f.DestRow(y);
      for (int32_t i = 0; i < pairs; ++i) d[2 * i] = d[2 * i + 1] = mixed[i];
      if (width & 1) d[width - 1] = mixed[pairs];
      if (y + 1 < f.Height) std::memcpy(f.DestRow(y + 1), d, static_cast<size_t>(width) * 4);
    }
  }

 private:
  // small_: the page at half size, each pixel the mean of its 2 x 2 pixels.
  void Shrink(const TWipeFrame& f, bool new_page) {
    sw_ = (f.Width + 1) / 2;
    sh_ = (f.Height + 1) / 2;
    small_.resize(static_cast<size_t>(sw_) * sh_);
    const int32_t pairs = f.Width / 2, sw = sw_;
    auto mean = [](uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3) {
      const uint32_t rb = (p0 & 0xFF00FFu) + (p1 & 0xFF00FFu) + (p2 & 0xFF00FFu) + (p3 & 0xFF00FFu);
      const uint32_t g = (p0 & 0x00FF00u) + (p1 & 0x00FF00u) + (p2 & 0x00FF00u) + (p3 & 0x00FF00u);
      return ((rb >> 2) & 0xFF00FFu) | ((g >> 2) & 0x00FF00u);
    };
    for (int32_t sy = 0; sy < sh_; ++sy) {
      const TPix* a = f.PageRow(new_page, sy * 2);
      const TPix* b = f.PageRow(new_page, std::min(sy * 2 + 1, f.Height - 1));
      uint32_t* d = &small_[static_cast<size_t>(sy) * sw];
      for (int32_t i = 0; i < pairs; ++i) d[i] = mean(a[2 * i], a[2 * i + 1], b[2 * i], b[2 * i + 1]);
      if (sw > pairs) d[pairs] = mean(a[2 * pairs], a[2 * pairs], b[2 * pairs], b[2 * pairs]);
    }
  }

  // The three channels of a pixel in 21-bit lanes, so that one addition
  // sums them all (a lane holds 255 x 8,000 pixels).
  static uint64_t Spread(uint32_t p) {
    return (p & 0xFFu) | (uint64_t{p & 0xFF00u} << 13) | (uint64_t{p & 0xFF0000u} << 26);
  }
  // Lane sums back to a pixel: each times Scale, over 65536.
  static uint32_t Pack(uint64_t sum, uint64_t scale) {
    const uint64_t lane = 0x1FFFFF;
    return static_cast<uint32_t>((((sum & lane) * scale) >> 16) | ((((sum >> 21) & lane) * scale) >> 16) << 8 |
                                 ((((sum >> 42) & lane) * scale) >> 16) << 16);
  }

  // Box blur of small_ across, each row through a running sum over the row
  // widened by Radius copies of its edge pixels on each side.
  void BlurRows(int32_t radius) {
    const uint64_t scale = 65536u / static_cast<uint32_t>(2 * radius + 1);
    spread_.resize(static_cast<size_t>(sw_ + 2 * radius + 1));
    for (int32_t sy = 0; sy < sh_; ++sy) {
      uint32_t* p = &small_[static_cast<size_t>(sy) * sw_];
      for (int32_t i = 0; i < sw_ + 2 * radius + 1; ++i)
        spread_[static_cast<size_t>(i)] = Spread(p[std::clamp(i - radius, 0, sw_ - 1)]);
      uint64_t sum = 0;
      for (int32_t i = 0; i < 2 * radius + 1; ++i) sum += spread_[static_cast<size_t>(i)];
      const uint64_t* in = &spread_[static_cast<size_t>(2 * radius + 1)];
      const uint64_t* out = spread_.data();
      for (int32_t x = 0; x < sw_; ++x) {
        p[x] = Pack(sum, scale);
        sum += in[x] - out[x];
      }
    }
  }

  // Box blur of small_ down, all columns at once through running sums.
  void BlurColumns(int32_t radius) {
    const uint64_t scale = 65536u / static_cast<uint32_t>(2 * radius + 1);
    sums_.assign(static_cast<size_t>(sw_), 0);
    copy_ = small_;
    auto row = [&](int32_t y) { return &copy_[static_cast<size_t>(std::clamp(y, 0, sh_ - 1)) * sw_]; };
    for (int32_t i = -radius; i <= radius; ++i) {
      const uint32_t* p = row(i);
      for (int32_t x = 0; x < sw_; ++x) sums_[static_cast<size_t>(x)] += Spread(p[x]);
    }
    for (int32_t y = 0; y < sh_; ++y) {
      uint32_t* d = &small_[static_cast<size_t>(y) * sw_];
      const uint32_t *in = row(y + radius + 1), *out = row(y - radius);
      for (int32_t x = 0; x < sw_; ++x) {
        uint64_t& sum = sums_[static_cast<size_t>(x)];
        d[x] = Pack(sum, scale);
        sum += Spread(in[x]) - Spread(out[x]);
      }
    }
  }

  int32_t sw_ = 0, sh_ = 0;
  std::vector<uint32_t> small_, copy_, row_;
  std::vector<uint64_t> spread_, sums_;
};

}  // namespace

std::unique_ptr<TWipe> MakeBlurWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page) {
  return std::make_unique<TWipeBlur>(kind, dest, new_page, old_page);
}

}  // namespace orba
