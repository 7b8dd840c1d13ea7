// Kinds that bend the pages with a wave while they cross-fade: ripples
// running out of the middle and twists across or down the screen. The
// wave's strength rises to the middle of the transition and dies away.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

class TWipeWave : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    switch (Kind()) {
      case WP_RIPPLE: Ripple(f); break;
      case WP_TWISTH: TwistH(f); break;
      default: TwistV(f); break;
    }
  }

 private:
  // The first parameter is the wave's amplitude, the second its length.
  double Amplitude(const TWipeFrame& f) const {
    return std::clamp(Params[0], 0, std::max(f.Width, f.Height)) * std::sin(std::numbers::pi * Progress());
  }
  double WaveLength() const { return std::clamp(Params[1], 2, 1 << 16); }
  // Waves run forwards (reversed: backwards) three lengths over the time.
  double Phase() const { return (Reverse ? -3 : 3) * kTwoPi * Progress(); }

  // Every row shifted across by the wave at its height.
  void TwistH(const TWipeFrame& f) {
    const double amplitude = Amplitude(f), length = WaveLength(), phase = Phase();
    const uint32_t w = Weight();
    for (int32_t y = 0; y < f.Height; ++y) {
      const int32_t shift = std::clamp(static_cast<int32_t>(std::lround(amplitude * std::sin(kTwoPi * y / length + phase))),
                                       -f.Width, f.Width);
      TPix* d = f.DestRow(y);
      const TPix *n = f.NewRow(y), *o = f.OldRow(y);
      // Pixels shifted in from outside repeat the edge pixel.
      const int32_t lo = std::clamp(shift, 0, f.Width), hi = std::clamp(f.Width + shift, 0, f.Width);
      if (hi > lo) MixRow(d + lo, n + lo - shift, o + lo - shift, hi - lo, w);
      const uint32_t left = MixPixel(n[0], o[0], w), right = MixPixel(n[f.Width - 1], o[f.Width - 1], w);
      std::fill(d, d + lo, left);
      std::fill(d + std::max(hi, lo), d + f.Width, right);
    }
  }

  // Every column shifted down by the wave at its place across.
  void TwistV(const TWipeFrame& f) {
    const double amplitude = Amplitude(f), length = WaveLength(), phase = Phase();
    shift_.resize(static_cast<size_t>(f.Width));
    for (int32_t x = 0; x < f.Width; ++x)
      shift_[static_cast<size_t>(x)] = static_cast<int32_t>(std::lround(amplitude * std::sin(kTwoPi * x / length + phase)));
    const uint32_t w = Weight();
    const std::ptrdiff_t pitch_n = f.New.Pitch, pitch_o = f.Old.Pitch;
    for (int32_t y = 0; y < f.Height; ++y) {
      TPix* d = f.DestRow(y);
      for (int32_t x = 0; x < f.Width; ++x) {
        const int32_t sy = std::clamp(y - shift_[static_cast<size_t>(x)], 0, f.Height - 1);
        const uint32_t n = reinterpret_cast<const TPix*>(f.New.Bits + sy * pitch_n)[x];
        const uint32_t o = reinterpret_cast<const TPix*>(f.Old.Bits + sy * pitch_o)[x];
        d[x] = MixPixel(n, o, w);
      }
    }
  }

  // Rings running out of the middle (reversed: into it) push every pixel
  // along its radius.
  void Ripple(const TWipeFrame& f) {
    const double amplitude = Amplitude(f), length = WaveLength(), phase = Phase();
    const double cx = f.Width / 2.0, cy = f.Height / 2.0;
    const int32_t radius = static_cast<int32_t>(std::hypot(cx, cy)) + 2;
    // Push per pixel of distance, over the distance, in 256ths.
    push_.resize(static_cast<size_t>(radius));
    for (int32_t r = 0; r < radius; ++r)
      push_[static_cast<size_t>(r)] =
          r == 0 ? 0 : static_cast<int32_t>(256 * amplitude * std::sin(kTwoPi * r / length - phase) / r);
    const uint32_t w = Weight();
    const int32_t icx = f.Width / 2, icy = f.Height / 2;
    for (int32_t y = 0; y < f.Height; ++y) {
      TPix* d = f.DestRow(y);
      const int32_t dy = y - icy;
      for (int32_t x = 0; x < f.Width; ++x) {
        const int32_t dx = x - icx;
        const int32_t r = static_cast<int32_t>(std::sqrt(static_cast<float>(dx * dx + dy * dy)));
        const int32_t k = push_[static_cast<size_t>(std::min(r, radius - 1))];
        const int32_t sx = std::clamp(x - ((dx * k) >> 8), 0, f.Width - 1);
        const int32_t sy = std::clamp(y - ((dy * k) >> 8), 0, f.Height - 1);
        d[x] = MixPixel(f.NewRow(sy)[sx], f.OldRow(sy)[sx], w);
      }
    }
  }

  std::vector<int32_t> shift_, push_;
};

}  // namespace

std::unique_ptr<TWipe> MakeWaveWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page) {
  return std::make_unique<TWipeWave>(kind, dest, new_page, old_page);
}

}  // namespace orba
