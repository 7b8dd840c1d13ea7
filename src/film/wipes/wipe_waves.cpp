// Kinds that bend the pages with a wave while they cross-fade: ripples
// running out of the middle and twists across or down the screen. The
// wave's strength rises to the middle of the transition and dies away.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr int32_t kGroup = 4;

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
      const double wave = amplitude * std::sin(kTwoPi * y / length + phase);
      const int32_t shift = std::clamp(static_cast<int32_t>(std::lround(wave)), -f.Width, f.Width);
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

  // Every column shifted down by the wave at its place across; columns
  // move in groups of four, which read their rows in runs.
  void TwistV(const TWipeFrame& f) {
    const double amplitude = Amplitude(f), length = WaveLength(), phase = Phase();
    shift_.resize(static_cast<size_t>(f.Width));
    for (int32_t x = 0; x < f.Width; x += kGroup)
      shift_[static_cast<size_t>(x)] =
          static_cast<int32_t>(std::lround(amplitude * std::sin(kTwoPi * (x + kGroup / 2) / length + phase)));
    const uint32_t w = Weight();
    new_row_.resize(static_cast<size_t>(f.Width));
    old_row_.resize(static_cast<size_t>(f.Width));
    for (int32_t y = 0; y < f.Height; ++y) {
      for (int32_t x = 0; x < f.Width; x += kGroup) {
        const int32_t sy = std::clamp(y - shift_[static_cast<size_t>(x)], 0, f.Height - 1);
        const TPix *n = f.NewRow(sy) + x, *o = f.OldRow(sy) + x;
        if (x + kGroup <= f.Width) {
          std::memcpy(&new_row_[static_cast<size_t>(x)], n, kGroup * 4);
          std::memcpy(&old_row_[static_cast<size_t>(x)], o, kGroup * 4);
        } else {
          std::copy(n, n + (f.Width - x), &new_row_[static_cast<size_t>(x)]);
          std::copy(o, o + (f.Width - x), &old_row_[static_cast<size_t>(x)]);
        }
      }
      MixRow(f.DestRow(y), new_row_.data(), old_row_.data(), f.Width, w);
    }
  }

  // Rings running out of the middle (reversed: into it) push every pixel
  // along its radius.
  void Ripple(const TWipeFrame& f) {
    const double amplitude = Amplitude(f), length = WaveLength(), phase = Phase();
    const int32_t cx = f.Width / 2, cy = f.Height / 2;
    // Distance from the middle by |dx| and |dy|, the same for every frame.
    const int32_t qw = std::max(cx, f.Width - cx) + 1, qh = std::max(cy, f.Height - cy) + 1;
    if (qw != qw_ || qh != qh_) {
      qw_ = qw;
      qh_ = qh;
      distance_.resize(static_cast<size_t>(qw) * qh);
      for (int32_t dy = 0; dy < qh; ++dy)
        for (int32_t dx = 0; dx < qw; ++dx)
          distance_[static_cast<size_t>(dy) * qw + dx] = static_cast<int32_t>(std::hypot(dx, dy));
    }
    const int32_t radius = static_cast<int32_t>(std::hypot(qw, qh)) + 2;
    // Push per pixel of distance, over the distance, in 256ths.
    push_.resize(static_cast<size_t>(radius));
    for (int32_t r = 0; r < radius; ++r)
      push_[static_cast<size_t>(r)] =
          r == 0 ? 0 : static_cast<int32_t>(256 * amplitude * std::sin(kTwoPi * r / length - phase) / r);
    const uint32_t w = Weight();
    const uint8_t *new_bits = f.New.Bits, *old_bits = f.Old.Bits;
    const std::ptrdiff_t pitch_n = f.New.Pitch, pitch_o = f.Old.Pitch;
    const int32_t width = f.Width, height = f.Height;
    new_row_.resize(static_cast<size_t>(width) * 2);
    old_row_.resize(static_cast<size_t>(width) * 2);
    // The pushed pixels gathered into two rows of each page, then mixed. One
    // push for each block of 4 x 2 pixels, which move together.
    uint32_t *n0 = new_row_.data(), *n1 = n0 + width, *o0 = old_row_.data(), *o1 = o0 + width;
    const int32_t* push = push_.data();
    const int32_t max_x = std::max(width - kGroup, 0), max_y = std::max(height - 2, 0);
    for (int32_t y = 0; y < height; y += 2) {
      const int32_t dy = y - cy;
      const int32_t* dist = &distance_[static_cast<size_t>(std::abs(dy)) * qw];
      for (int32_t x = 0; x < width; x += kGroup) {
        const int32_t dx = x + kGroup / 2 - cx;
        const int32_t k = push[dist[std::min(std::abs(dx), qw - 1)]];
        const int32_t sx = std::clamp(x - ((dx * k) >> 8), 0, max_x);
        const int32_t sy = std::clamp(y - ((dy * k) >> 8), 0, max_y);
        const int32_t sy1 = std::min(sy + 1, height - 1);
        const TPix* nr0 = reinterpret_cast<const TPix*>(new_bits + sy * pitch_n) + sx;
        const TPix* nr1 = reinterpret_cast<const TPix*>(new_bits + sy1 * pitch_n) + sx;
        const TPix* or0 = reinterpret_cast<const TPix*>(old_bits + sy * pitch_o) + sx;
        const TPix* or1 = reinterpret_cast<const TPix*>(old_bits + sy1 * pitch_o) + sx;
        if (x + kGroup <= width) {
          std::memcpy(n0 + x, nr0, kGroup * 4);
          std::memcpy(n1 + x, nr1, kGroup * 4);
          std::memcpy(o0 + x, or0, kGroup * 4);
          std::memcpy(o1 + x, or1, kGroup * 4);
        } else {
          // The last pixels of a row narrower than a block, or its end.
          const int32_t n = std::min(width - x, width - sx);
          std::copy(nr0, nr0 + n, n0 + x);
          std::copy(nr1, nr1 + n, n1 + x);
          std::copy(or0, or0 + n, o0 + x);
          std::copy(or1, or1 + n, o1 + x);
        }
      }
      MixRow(f.DestRow(y), n0, o0, width, w);
      if (y + 1 < height) MixRow(f.DestRow(y + 1), n1, o1, width, w);
    }
  }

  int32_t qw_ = 0, qh_ = 0;
  std::vector<int32_t> distance_;
  std::vector<int32_t> shift_, push_;
  std::vector<uint32_t> new_row_, old_row_;
};

}  // namespace

std::unique_ptr<TWipe> MakeWaveWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page) {
  return std::make_unique<TWipeWave>(kind, dest, new_page, old_page);
}

}  // namespace orba
