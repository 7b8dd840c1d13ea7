#include "graphics/draw_kernels.h"

#include <algorithm>
#include <cstring>

#include "graphics/draw_kernels_portable.h"
#include "graphics/pixel_channels.h"
#include "graphics/pixel_view.h"

namespace orba {

TRowKey MakeDrawKey(int64_t key, int32_t bits) {
  if (key == -1 || key < INT32_MIN || key > UINT32_MAX) return {};
  uint32_t k = static_cast<uint32_t>(key);
  switch (bits) {
    case 8: return {true, k & 0xFFu};
    case 15:
    case 16: return {true, k & 0xFFFFu};
    case 24: return k > 0xFFFFFFu ? TRowKey{} : TRowKey{true, k};
    default: return {true, k};
  }
}

TRowKey MakeBitmapKey(int64_t key, int32_t bits) {
  if (key < 0 || key > UINT32_MAX) return {};
  uint32_t k = static_cast<uint32_t>(key);
  switch (bits) {
    case 24: return {true, k & 0xFFFFFFu};
    case 8: return k > 0xFFu ? TRowKey{} : TRowKey{true, k};
    case 15:
    case 16: return k > 0xFFFFu ? TRowKey{} : TRowKey{true, k};
    default: return {true, k};
  }
}

namespace portable_kernels {
namespace {

int BytesOf(int32_t bits) { return (bits + 7) / 8; }

uint32_t SubChannels(uint32_t d, uint32_t s, const TChannelSet& c) {
  uint32_t r = 0;
  for (int i = 0; i < c.Count; ++i) {
    uint32_t m = c.Mask[i];
    uint32_t dc = d & m, sc = s & m;
    r |= dc > sc ? dc - sc : 0u;
  }
  return r;
}

uint32_t Load(const uint8_t* row, int32_t i, int bytes) {
  return LoadPixelBytes(row + static_cast<std::ptrdiff_t>(i) * bytes, bytes);
}
void Store(uint8_t* row, int32_t i, int bytes, uint32_t v) {
  StorePixelBytes(row + static_cast<std::ptrdiff_t>(i) * bytes, bytes, v);
}

// The fill colour as compared with destination pixels.
uint32_t ComparableColour(uint32_t pixel, int32_t bits) {
  return (bits == 15 || bits == 16) ? (pixel & 0xFFFFu) : bits == 8 ? (pixel & 0xFFu) : pixel;
}

bool KeyMatches(TRowKey key, uint32_t s) { return key.Enabled && s == key.Value; }

// Every source pixel that is not the key: the destination pixel becomes
// combine(source, destination).
template <class Combine>
inline void EachUnkeyed(uint8_t* d, const uint8_t* s, int32_t n, int bytes, TRowKey key, Combine combine) {
  for (int32_t i = 0; i < n; ++i) {
    uint32_t sv = Load(s, i, bytes);
    if (KeyMatches(key, sv)) continue;
    Store(d, i, bytes, combine(sv, Load(d, i, bytes)));
  }
}

// Weight of coverage m for the colour-through-mask draw.
uint32_t ColorMaskWeight(uint32_t m, uint32_t alpha, int32_t bits) {
  if (!HasRowKernelRules(bits)) return (m * alpha) >> 8;
  if (alpha == 255) return m;
  if (bits == 32 && m == 255) return alpha;
  return (m * alpha) >> 8;
}

// Weight (or intensity) of coverage m for the mask blends and adds.
uint32_t MaskBlendWeight(uint32_t m, uint32_t alpha, int32_t bits) {
  if (bits == 32 && m == 255) return alpha;
  return (m * alpha) >> 8;
}

}  // namespace

void Copy(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits) {
  int bytes = BytesOf(bits);
  for (int32_t i = 0; i < n; ++i) Store(d, i, bytes, Load(s, i, bytes));
}

void CopyRows(uint8_t* d, std::ptrdiff_t d_pitch, const uint8_t* s, std::ptrdiff_t s_pitch, int32_t rows,
              int32_t n, int32_t bits) {
  for (int32_t r = 0; r < rows; ++r, d += d_pitch, s += s_pitch) Copy(d, s, n, bits);
}

void Fill(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel) {
  int bytes = BytesOf(bits);
  for (int32_t i = 0; i < n; ++i) Store(d, i, bytes, pixel);
}

void KeyedCopy(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, TRowKey key) {
  int bytes = BytesOf(bits);
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v = Load(s, i, bytes);
    if (!KeyMatches(key, v)) Store(d, i, bytes, v);
  }
}

void FillAlpha(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel, int32_t alpha) {
  int bytes = BytesOf(bits);
  TChannelSet c = ChannelsFor(bits);
  uint32_t p = ComparableColour(pixel, bits);
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v = Load(d, i, bytes);
    if (v != p) Store(d, i, bytes, BlendPixel(pixel, v, static_cast<uint32_t>(alpha), c));
  }
}

void FillAdd(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel) {
  int bytes = BytesOf(bits);
  TChannelSet c = ChannelsFor(bits);
  for (int32_t i = 0; i < n; ++i) {
    uint32_t v = Load(d, i, bytes);
    uint32_t r = 0;
    for (int k = 0; k < c.Count; ++k) {
      uint64_t m = c.Mask[k];
      r |= static_cast<uint32_t>(std::min<uint64_t>((v & m) + (pixel & m), m));
    }
    Store(d, i, bytes, r);
  }
}

void FillSub(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel) {
  int bytes = BytesOf(bits);
  TChannelSet c = ChannelsFor(bits);
  for (int32_t i = 0; i < n; ++i) Store(d, i, bytes, SubChannels(Load(d, i, bytes), pixel, c));
}

void ColorMask(uint8_t* d, const uint8_t* m, int32_t n, int32_t bits, uint32_t pixel,
               int32_t alpha) {
  int bytes = BytesOf(bits);
  TChannelSet c = ChannelsFor(bits);
  bool skip_equal = HasRowKernelRules(bits);
  uint32_t p = ComparableColour(pixel, bits);
  for (int32_t i = 0; i < n; ++i) {
    if (m[i] == 0) continue;
    uint32_t v = Load(d, i, bytes);
    if (skip_equal && v == p) continue;
    uint32_t a = ColorMaskWeight(m[i], static_cast<uint32_t>(alpha), bits);
    Store(d, i, bytes, BlendPixel(pixel, v, a, c));
  }
}

void Blend(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key) {
  TChannelSet c = ChannelsFor(bits);
  EachUnkeyed(d, s, n, BytesOf(bits), key, [&](uint32_t sv, uint32_t dv) {
    return dv == sv ? dv : BlendPixel(sv, dv, static_cast<uint32_t>(alpha), c);
  });
}

void Add(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key) {
  TChannelSet c = ChannelsFor(bits);
  EachUnkeyed(d, s, n, BytesOf(bits), key, [&](uint32_t sv, uint32_t dv) {
    return bits == 8 ? std::min<uint32_t>(dv + sv, 255u) : AddPixel(dv, sv, static_cast<uint32_t>(alpha), c);
  });
}

void Sampled(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key, bool add) {
  const TChannelSet c = ChannelsFor(bits);
  const uint32_t a = static_cast<uint32_t>(alpha);
  EachUnkeyed(d, s, n, BytesOf(bits), key, [&](uint32_t sv, uint32_t dv) {
    if (add) return AddPixel(dv, sv, a, c);
    return a == 255 ? sv : BlendPixel(sv, dv, a, c);
  });
}

void Mask(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t bits, int32_t alpha,
          TMaskMode mode) {
  int bytes = BytesOf(bits);
  TChannelSet c = ChannelsFor(bits);
  bool skip_equal = HasRowKernelRules(bits);
  const uint32_t a = static_cast<uint32_t>(alpha);
  for (int32_t i = 0; i < n; ++i) {
    uint32_t mi = m[i];
    if (mi == 0) continue;
    uint32_t sv = Load(s, i, bytes);
    switch (mode) {
      case TMaskMode::Cover: {
        uint32_t w = (mi * a) >> 8;
        if (skip_equal && a == 255) w = mi;
        else if (bits == 32 && mi == 255) w = a;
        if (skip_equal && w == 255) {
          Store(d, i, bytes, sv);
          break;
        }
        const uint32_t dv = Load(d, i, bytes);
        if (bits != 32 && skip_equal && a < 255 && dv == sv) break;
        Store(d, i, bytes, BlendPixel(sv, dv, w, c));
        break;
      }
      case TMaskMode::Weighted:
      case TMaskMode::WeightedAdd: {
        const uint32_t w = a == 255 ? mi : (mi * a) >> 8;
        const uint32_t dv = Load(d, i, bytes);
        Store(d, i, bytes, mode == TMaskMode::Weighted ? BlendPixel(sv, dv, w, c) : AddPixel(dv, sv, w, c));
        break;
      }
      case TMaskMode::Copy: {
        if (mi == 255) {
          Store(d, i, bytes, sv);
          break;
        }
        uint32_t dv = Load(d, i, bytes);
        if (skip_equal && dv == sv) break;
        Store(d, i, bytes, BlendPixel(sv, dv, mi, c));
        break;
      }
      case TMaskMode::Blend: {
        uint32_t dv = Load(d, i, bytes);
        if (skip_equal && dv == sv) break;
        uint32_t a = MaskBlendWeight(mi, static_cast<uint32_t>(alpha), bits);
        Store(d, i, bytes, BlendPixel(sv, dv, a, c));
        break;
      }
      case TMaskMode::Add: {
        uint32_t k = MaskBlendWeight(mi, static_cast<uint32_t>(alpha), bits);
        if (k == 0) break;
        Store(d, i, bytes, AddPixel(Load(d, i, bytes), sv, k, c));
        break;
      }
    }
  }
}

void BitmapBlend(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t opacity,
                 TRowKey key) {
  int bytes = BytesOf(bits);
  uint64_t a = static_cast<uint32_t>(opacity), na = 255u - a;
  TChannelSet c = ChannelsFor(bits);
  for (int32_t i = 0; i < n; ++i) {
    uint32_t sv = Load(s, i, bytes);
    if (KeyMatches(key, bits == 24 ? (sv & 0xFFFFFFu) : sv)) continue;
    uint32_t dv = Load(d, i, bytes);
    uint32_t r = 0;
    if (bits == 32) {
      // Red and blue in one product, green in another; shift by 8.
      r = static_cast<uint32_t>((((dv & 0xFF00FFu) * na + (sv & 0xFF00FFu) * a) >> 8) & 0xFF00FFu) |
          static_cast<uint32_t>((((dv & 0xFF00u) * na + (sv & 0xFF00u) * a) >> 8) & 0xFF00u);
    } else {
      for (int k = 0; k < c.Count; ++k) {
        uint64_t mk = c.Mask[k];
        r |= static_cast<uint32_t>((((dv & mk) * na + (sv & mk) * a) / 255u) & mk);
      }
    }
    Store(d, i, bytes, r);
  }
}

void BitmapAlpha(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n, int32_t bits,
                 int32_t opacity) {
  int bytes = BytesOf(bits);
  TChannelSet c = ChannelsFor(bits);
  if (bits == 32) c = {3, {0xFF0000u, 0x00FF00u, 0x0000FFu, 0}};
  for (int32_t i = 0; i < n; ++i) {
    uint32_t w = a[i];
    if (bits == 24 && opacity < 255) w = (w * static_cast<uint32_t>(opacity)) >> 8;
    if (w == 0) continue;
    uint32_t sv = Load(s, i, bytes);
    if (w == 255) {
      Store(d, i, bytes, sv);
      continue;
    }
    Store(d, i, bytes, BlendPixel(sv, Load(d, i, bytes), w, c));
  }
}

void ClearHigh(uint8_t* d, const uint8_t* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) Store(d, i, 4, Load(s, i, 4) & 0xFFFFFFu);
}

void IndexedAdd(uint8_t* d, const uint8_t* s, int32_t n, const uint32_t* add) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t a = add[s[i]];
    for (int b = 0; b < 4; ++b) {
      const uint32_t v = uint32_t{d[i * 4 + b]} + ((a >> (8 * b)) & 0xFF);
      d[i * 4 + b] = static_cast<uint8_t>(std::min<uint32_t>(v, 255));
    }
  }
}

namespace {

template <size_t Size, bool kMask>
void WalkPixels(const TSampleWalk& walk, int32_t n, uint8_t* out, uint8_t* mout) {
  // Locals, as stores through `out` could otherwise change them.
  const uint8_t* const bits = walk.Bits;
  const std::ptrdiff_t pitch = walk.Pitch;
  const uint8_t* const mbits = walk.Mask;
  const std::ptrdiff_t mpitch = walk.MaskPitch;
  const int64_t du = walk.DU, dv = walk.DV;
  int64_t u = walk.U0, v = walk.V0;
  int32_t i = 0;
  const auto take = [&](int32_t at, int64_t sx, int64_t sy) {
    std::memcpy(out + static_cast<size_t>(at) * Size, bits + sy * pitch + sx * int64_t{Size}, Size);
    if constexpr (kMask) mout[at] = mbits[sy * mpitch + sx];
  };
  // Where the walk crosses source rows rarely (a turn of under about 4
  // degrees each way from level), it goes a run of samples per source row.
  if (dv > 4096 || dv < -4096) {
    for (; i < n; ++i, u += du, v += dv) take(i, u >> 16, v >> 16);
    return;
  }
  while (i < n) {
    const int64_t sy = v >> 16;
    int64_t run = n - i;
    if (dv > 0) run = std::min(run, ((sy + 1) * 65536 - v + dv - 1) / dv);
    else if (dv < 0) run = std::min(run, (v - sy * 65536) / -dv + 1);
    for (const int32_t end = i + static_cast<int32_t>(run); i < end; ++i, u += du) take(i, u >> 16, sy);
    v += run * dv;
  }
}

template <bool kMask>
void WalkAnyDepth(const TSampleWalk& walk, int32_t n, uint8_t* out, uint8_t* mout) {
  switch (walk.Bytes) {
    case 1: return WalkPixels<1, kMask>(walk, n, out, mout);
    case 2: return WalkPixels<2, kMask>(walk, n, out, mout);
    case 3: return WalkPixels<3, kMask>(walk, n, out, mout);
    default: return WalkPixels<4, kMask>(walk, n, out, mout);
  }
}

}  // namespace

void GatherWalk(const TSampleWalk& walk, int32_t n, uint8_t* out, uint8_t* mout) {
  if (walk.Mask != nullptr) WalkAnyDepth<true>(walk, n, out, mout);
  else WalkAnyDepth<false>(walk, n, out, mout);
}

void WalkMaskVia(const TRowKernels& k, uint8_t* d, const TSampleWalk& walk, int32_t n, int32_t bits, int32_t alpha,
                 TMaskMode mode) {
  // Pieces as long as the rotated draws' unmasked ones, small enough for
  // the gathered samples to stay in the cache.
  constexpr int32_t kPiece = 512;
  uint8_t samples[kPiece * 4], coverage[kPiece];
  TSampleWalk piece = walk;
  for (int32_t i = 0; i < n; i += kPiece) {
    const int32_t count = std::min(kPiece, n - i);
    piece.U0 = walk.U0 + int64_t{i} * walk.DU;
    piece.V0 = walk.V0 + int64_t{i} * walk.DV;
    k.GatherWalk(piece, count, samples, coverage);
    k.Mask(d + static_cast<std::ptrdiff_t>(i) * walk.Bytes, samples, coverage, count, bits, alpha, mode);
  }
}

void WalkMask(uint8_t* d, const TSampleWalk& walk, int32_t n, int32_t bits, int32_t alpha, TMaskMode mode) {
  WalkMaskVia(PortableRowKernels(), d, walk, n, bits, alpha, mode);
}

void CellCopy(uint8_t* d, const uint8_t* s, int32_t n, TRowKey key, uint32_t cells) {
  for (int32_t i = 0; i < n; ++i)
    if (((cells >> (i & 3)) & 1u) != 0 && !KeyMatches(key, s[i])) d[i] = s[i];
}

void AlphaPick(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n) {
  for (int32_t i = 0; i < n; ++i)
    if (a[i] >= 128) d[i] = s[i];
}

}  // namespace portable_kernels

const TRowKernels& PortableRowKernels() {
  namespace p = portable_kernels;
  static const TRowKernels kernels = {
      p::Copy,      p::Fill,  p::KeyedCopy, p::FillAlpha, p::FillAdd,     p::FillSub,
      p::ColorMask, p::Blend, p::Add,       p::Sampled,   p::Mask,        p::BitmapBlend,
      p::BitmapAlpha, p::IndexedAdd, p::ClearHigh, p::GatherWalk, p::WalkMask, p::CellCopy, p::AlphaPick,
      p::CopyRows,
  };
  return kernels;
}

const TRowKernels& RowKernels() {
  static const TRowKernels& kernels = Avx2RowKernels() != nullptr ? *Avx2RowKernels() : FastRowKernels();
  return kernels;
}

}  // namespace orba
