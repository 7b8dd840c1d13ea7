// The fast row kernels: SSE2 vectors over 4 pixels (32 bits) or 8 pixels (15
// and 16 bits) at a time, the remaining pixels of a row by the portable code.
// Every vector step computes exactly what the portable code computes for the
// same pixels; pixels that must stay are merged back before the store.
#include <cstring>

#include "graphics/draw_kernels.h"
#include "graphics/draw_kernels_portable.h"
#include "graphics/pixel_view.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orba {

#if defined(__SSE2__)
namespace {

namespace p = portable_kernels;

inline __m128i Load16(const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); }
inline void Store16(uint8_t* q, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(q), v); }
// Takes `yes` where the lanes of `cond` are all ones, else `no`.
inline __m128i Select(__m128i cond, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(cond, yes), _mm_andnot_si128(cond, no));
}
inline __m128i AllOnes() { return _mm_set1_epi32(-1); }

// Four coverage bytes widened to one 32-bit lane each.
inline __m128i LoadMask4(const uint8_t* m) {
  int32_t v;
  std::memcpy(&v, m, 4);
  __m128i z = _mm_setzero_si128();
  return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), z), z);
}
// Eight coverage bytes widened to one 16-bit lane each.
inline __m128i LoadMask8(const uint8_t* m) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)),
                           _mm_setzero_si128());
}

// ---- 32 bits: four pixels, every byte a channel -------------------------

// Per byte (s x w + d x (255 - w)) shr 8, with w given per pixel in the
// 32-bit lanes of w32 (0..255).
inline __m128i Blend32(__m128i s, __m128i d, __m128i w32);

// The same with each pixel's weight in both 16-bit halves of its lane.
inline __m128i Blend32Pairs(__m128i s, __m128i d, __m128i w16) {
  const __m128i z = _mm_setzero_si128();
  // s w + d (255 - w) = d 255 + (s - d) w: exact in 16-bit lanes, as the
  // sum lies in 0..65025 and the arithmetic wraps modulo 65536.
  auto half = [](__m128i sx, __m128i dx, __m128i w) {
    __m128i t = _mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(dx, 8), dx), _mm_mullo_epi16(_mm_sub_epi16(sx, dx), w));
    return _mm_srli_epi16(t, 8);
  };
  return _mm_packus_epi16(half(_mm_unpacklo_epi8(s, z), _mm_unpacklo_epi8(d, z), _mm_unpacklo_epi32(w16, w16)),
                          half(_mm_unpackhi_epi8(s, z), _mm_unpackhi_epi8(d, z), _mm_unpackhi_epi32(w16, w16)));
}

inline __m128i Blend32(__m128i s, __m128i d, __m128i w32) {
  return Blend32Pairs(s, d, _mm_or_si128(w32, _mm_slli_epi32(w32, 16)));
}

// Per byte (s x w + d x (255 - w)) shr 8 with a weight per byte.
inline __m128i Blend24(__m128i s, __m128i d, __m128i w) {
  const __m128i z = _mm_setzero_si128(), c255 = _mm_set1_epi16(255);
  __m128i wlo = _mm_unpacklo_epi8(w, z), whi = _mm_unpackhi_epi8(w, z);
  __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, z), wlo),
                             _mm_mullo_epi16(_mm_unpacklo_epi8(d, z), _mm_sub_epi16(c255, wlo)));
  __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, z), whi),
                             _mm_mullo_epi16(_mm_unpackhi_epi8(d, z), _mm_sub_epi16(c255, whi)));
  return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}

// Per byte d + (s x k) shr 8, saturated at 255, k per pixel in 32-bit lanes.
inline __m128i Add32Pairs(__m128i s, __m128i d, __m128i k16) {
  const __m128i z = _mm_setzero_si128();
  __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, z), _mm_unpacklo_epi32(k16, k16)), 8);
  __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, z), _mm_unpackhi_epi32(k16, k16)), 8);
  return _mm_adds_epu8(d, _mm_packus_epi16(lo, hi));
}

inline __m128i Add32(__m128i s, __m128i d, __m128i k32) {
  return Add32Pairs(s, d, _mm_or_si128(k32, _mm_slli_epi32(k32, 16)));
}

// (m x alpha) shr 8 per 32-bit lane (m, alpha 0..255).
inline __m128i Scale32(__m128i m32, __m128i alpha32) {
  return _mm_srli_epi32(_mm_mullo_epi16(m32, alpha32), 8);
}

// ---- 15 and 16 bits: eight pixels, channels split into 16-bit lanes ------

struct TSplit {
  __m128i R, G, B;
};

inline TSplit Split(__m128i v, int32_t bits) {
  const __m128i m5 = _mm_set1_epi16(0x1F);
  if (bits == 16)
    return {_mm_srli_epi16(v, 11), _mm_and_si128(_mm_srli_epi16(v, 5), _mm_set1_epi16(0x3F)),
            _mm_and_si128(v, m5)};
  return {_mm_and_si128(_mm_srli_epi16(v, 10), m5), _mm_and_si128(_mm_srli_epi16(v, 5), m5),
          _mm_and_si128(v, m5)};
}

inline __m128i Join(const TSplit& c, int32_t bits) {
  return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(c.R, bits == 16 ? 11 : 10), _mm_slli_epi16(c.G, 5)),
                      c.B);
}

// The largest value of each channel.
inline TSplit ChannelMax(int32_t bits) {
  return {_mm_set1_epi16(0x1F), _mm_set1_epi16(bits == 16 ? 0x3F : 0x1F), _mm_set1_epi16(0x1F)};
}

// Per channel (s x w + d x (255 - w)) shr 8; w per pixel in 16-bit lanes.
inline __m128i Blend16(__m128i s, __m128i d, __m128i w, int32_t bits) {
  TSplit a = Split(s, bits), b = Split(d, bits);
  __m128i nw = _mm_sub_epi16(_mm_set1_epi16(255), w);
  auto mix = [&](__m128i x, __m128i y) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(x, w), _mm_mullo_epi16(y, nw)), 8);
  };
  return Join({mix(a.R, b.R), mix(a.G, b.G), mix(a.B, b.B)}, bits);
}

// Per channel d + (s x k) shr 8, clamped at the channel's largest value.
inline __m128i Add16(__m128i s, __m128i d, __m128i k, int32_t bits) {
  TSplit a = Split(s, bits), b = Split(d, bits), top = ChannelMax(bits);
  auto add = [&](__m128i x, __m128i y, __m128i t) {
    return _mm_min_epi16(_mm_add_epi16(y, _mm_srli_epi16(_mm_mullo_epi16(x, k), 8)), t);
  };
  return Join({add(a.R, b.R, top.R), add(a.G, b.G, top.G), add(a.B, b.B, top.B)}, bits);
}

// x div 255 for 0 <= x <= 65025 in 16-bit lanes.
inline __m128i Div255(__m128i x) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
}

bool IsWord(int32_t bits) { return bits == 15 || bits == 16; }

// ---- kernels -------------------------------------------------------------

// Rows of 16 to 64 bytes (the small pictures' rows) are moved with two or
// four vectors, all loaded before any is stored, so that overlapping rows
// come out as memmove gives them; a library call would cost more than the
// copy itself.
void CopyRows(uint8_t* d, std::ptrdiff_t d_pitch, const uint8_t* s, std::ptrdiff_t s_pitch, int32_t rows,
              int32_t n, int32_t bits) {
  if (n <= 0) return;
  const size_t size = static_cast<size_t>(n) * static_cast<size_t>((bits + 7) / 8);
  if (size >= 16 && size <= 32) {
    for (int32_t r = 0; r < rows; ++r, d += d_pitch, s += s_pitch) {
      const __m128i a = Load16(s), b = Load16(s + size - 16);
      Store16(d, a);
      Store16(d + size - 16, b);
    }
    return;
  }
  if (size > 32 && size <= 64) {
    for (int32_t r = 0; r < rows; ++r, d += d_pitch, s += s_pitch) {
      const __m128i a = Load16(s), b = Load16(s + 16), c = Load16(s + size - 32), e = Load16(s + size - 16);
      Store16(d, a);
      Store16(d + 16, b);
      Store16(d + size - 32, c);
      Store16(d + size - 16, e);
    }
    return;
  }
  for (int32_t r = 0; r < rows; ++r, d += d_pitch, s += s_pitch) std::memmove(d, s, size);
}

void Copy(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits) { CopyRows(d, 0, s, 0, 1, n, bits); }

void Fill(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel) {
  int32_t i = 0;
  if (bits == 8) {
    if (n > 0) std::memset(d, static_cast<int>(pixel & 0xFF), static_cast<size_t>(n));
    return;
  }
  if (bits == 32) {
    __m128i v = _mm_set1_epi32(static_cast<int32_t>(pixel));
    for (; i + 4 <= n; i += 4) Store16(d + i * 4, v);
    p::Fill(d + i * 4, n - i, bits, pixel);
    return;
  }
  if (IsWord(bits)) {
    __m128i v = _mm_set1_epi16(static_cast<int16_t>(pixel & 0xFFFF));
    for (; i + 8 <= n; i += 8) Store16(d + i * 2, v);
    p::Fill(d + i * 2, n - i, bits, pixel);
    return;
  }
  p::Fill(d, n, bits, pixel);
}

void KeyedCopy(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, TRowKey key) {
  // A key wider than the pixels matches nothing.
  if (!key.Enabled || (bits == 8 && key.Value > 0xFF) || (IsWord(bits) && key.Value > 0xFFFF))
    return Copy(d, s, n, bits);
  int32_t i = 0;
  if (bits == 32) {
    __m128i k = _mm_set1_epi32(static_cast<int32_t>(key.Value));
    for (; i + 4 <= n; i += 4) {
      __m128i sv = Load16(s + i * 4);
      Store16(d + i * 4, Select(_mm_cmpeq_epi32(sv, k), Load16(d + i * 4), sv));
    }
    return p::KeyedCopy(d + i * 4, s + i * 4, n - i, bits, key);
  }
  if (IsWord(bits)) {
    __m128i k = _mm_set1_epi16(static_cast<int16_t>(key.Value));
    for (; i + 8 <= n; i += 8) {
      __m128i sv = Load16(s + i * 2);
      Store16(d + i * 2, Select(_mm_cmpeq_epi16(sv, k), Load16(d + i * 2), sv));
    }
    return p::KeyedCopy(d + i * 2, s + i * 2, n - i, bits, key);
  }
  if (bits == 8) {
    __m128i k = _mm_set1_epi8(static_cast<char>(key.Value));
    for (; i + 16 <= n; i += 16) {
      __m128i sv = Load16(s + i);
      Store16(d + i, Select(_mm_cmpeq_epi8(sv, k), Load16(d + i), sv));
    }
    return p::KeyedCopy(d + i, s + i, n - i, bits, key);
  }
  p::KeyedCopy(d, s, n, bits, key);
}

void FillAlpha(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel, int32_t alpha) {
  int32_t i = 0;
  if (bits == 32) {
    __m128i pv = _mm_set1_epi32(static_cast<int32_t>(pixel)), w = _mm_set1_epi32(alpha);
    for (; i + 4 <= n; i += 4) {
      __m128i dv = Load16(d + i * 4);
      Store16(d + i * 4, Select(_mm_cmpeq_epi32(dv, pv), dv, Blend32(pv, dv, w)));
    }
    return p::FillAlpha(d + i * 4, n - i, bits, pixel, alpha);
  }
  if (IsWord(bits)) {
    __m128i pv = _mm_set1_epi16(static_cast<int16_t>(pixel & 0xFFFF)), w = _mm_set1_epi16(static_cast<int16_t>(alpha));
    for (; i + 8 <= n; i += 8) {
      __m128i dv = Load16(d + i * 2);
      Store16(d + i * 2, Select(_mm_cmpeq_epi16(dv, pv), dv, Blend16(pv, dv, w, bits)));
    }
    return p::FillAlpha(d + i * 2, n - i, bits, pixel, alpha);
  }
  p::FillAlpha(d, n, bits, pixel, alpha);
}

// The walk of the fills that change every pixel from its own value: op32
// takes four 32-bit pixels, op16 the channels of eight 15- or 16-bit pixels
// and the fill pixel's channels; the rest of the row goes to `tail`.
template <class Op32, class Op16, class Tail>
inline void FillRows(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel, Op32 op32, Op16 op16, Tail tail) {
  int32_t i = 0;
  if (bits == 32) {
    __m128i pv = _mm_set1_epi32(static_cast<int32_t>(pixel));
    for (; i + 4 <= n; i += 4) Store16(d + i * 4, op32(Load16(d + i * 4), pv));
    return tail(d + i * 4, n - i);
  }
  if (IsWord(bits)) {
    TSplit a = Split(_mm_set1_epi16(static_cast<int16_t>(pixel & 0xFFFF)), bits);
    for (; i + 8 <= n; i += 8) Store16(d + i * 2, Join(op16(Split(Load16(d + i * 2), bits), a), bits));
    return tail(d + i * 2, n - i);
  }
  tail(d, n);
}

void FillAdd(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel) {
  const TSplit top = ChannelMax(bits);
  FillRows(
      d, n, bits, pixel, [](__m128i v, __m128i pv) { return _mm_adds_epu8(v, pv); },
      [&](const TSplit& b, const TSplit& a) {
        return TSplit{_mm_min_epi16(_mm_add_epi16(a.R, b.R), top.R), _mm_min_epi16(_mm_add_epi16(a.G, b.G), top.G),
                      _mm_min_epi16(_mm_add_epi16(a.B, b.B), top.B)};
      },
      [&](uint8_t* dt, int32_t m) { p::FillAdd(dt, m, bits, pixel); });
}

void FillSub(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel) {
  FillRows(
      d, n, bits, pixel, [](__m128i v, __m128i pv) { return _mm_subs_epu8(v, pv); },
      [](const TSplit& b, const TSplit& a) {
        return TSplit{_mm_subs_epu16(b.R, a.R), _mm_subs_epu16(b.G, a.G), _mm_subs_epu16(b.B, a.B)};
      },
      [&](uint8_t* dt, int32_t m) { p::FillSub(dt, m, bits, pixel); });
}

void ColorMask(uint8_t* d, const uint8_t* m, int32_t n, int32_t bits, uint32_t pixel,
               int32_t alpha) {
  int32_t i = 0;
  const __m128i z = _mm_setzero_si128();
  if (bits == 32) {
    __m128i pv = _mm_set1_epi32(static_cast<int32_t>(pixel)), av = _mm_set1_epi32(alpha);
    __m128i full = _mm_set1_epi32(255);
    for (; i + 4 <= n; i += 4) {
      __m128i mv = LoadMask4(m + i);
      __m128i w = alpha == 255 ? mv : Select(_mm_cmpeq_epi32(mv, full), av, Scale32(mv, av));
      __m128i dv = Load16(d + i * 4);
      __m128i keep = _mm_or_si128(_mm_cmpeq_epi32(mv, z), _mm_cmpeq_epi32(dv, pv));
      Store16(d + i * 4, Select(keep, dv, Blend32(pv, dv, w)));
    }
    return p::ColorMask(d + i * 4, m + i, n - i, bits, pixel, alpha);
  }
  if (IsWord(bits)) {
    __m128i pv = _mm_set1_epi16(static_cast<int16_t>(pixel & 0xFFFF)), av = _mm_set1_epi16(static_cast<int16_t>(alpha));
    for (; i + 8 <= n; i += 8) {
      __m128i mv = LoadMask8(m + i);
      __m128i w = alpha == 255 ? mv : _mm_srli_epi16(_mm_mullo_epi16(mv, av), 8);
      __m128i dv = Load16(d + i * 2);
      __m128i keep = _mm_or_si128(_mm_cmpeq_epi16(mv, z), _mm_cmpeq_epi16(dv, pv));
      Store16(d + i * 2, Select(keep, dv, Blend16(pv, dv, w, bits)));
    }
    return p::ColorMask(d + i * 2, m + i, n - i, bits, pixel, alpha);
  }
  p::ColorMask(d, m, n, bits, pixel, alpha);
}

// The walk of the keyed two-row draws: source pixels equal to an enabled key
// keep the destination, and with kKeepEqual so do source pixels equal to
// the destination; the others become op32 or op16 of source and
// destination. A key wider than a 16-bit pixel matches nothing. The rest of
// the row goes to the portable kernel `tail`.
template <bool kKeepEqual, class Op32, class Op16, class Tail>
inline void KeyedTwoRows(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, TRowKey key, Op32 op32,
                         Op16 op16, Tail tail) {
  int32_t i = 0;
  if (bits == 32) {
    __m128i kv = _mm_set1_epi32(static_cast<int32_t>(key.Value));
    __m128i key_on = key.Enabled ? AllOnes() : _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
      __m128i sv = Load16(s + i * 4), dv = Load16(d + i * 4);
      __m128i keep = _mm_and_si128(key_on, _mm_cmpeq_epi32(sv, kv));
      if constexpr (kKeepEqual) keep = _mm_or_si128(keep, _mm_cmpeq_epi32(sv, dv));
      Store16(d + i * 4, Select(keep, dv, op32(sv, dv)));
    }
    return tail(d + i * 4, s + i * 4, n - i);
  }
  if (IsWord(bits)) {
    __m128i kv = _mm_set1_epi16(static_cast<int16_t>(key.Value & 0xFFFF));
    __m128i key_on = key.Enabled && key.Value <= 0xFFFF ? AllOnes() : _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
      __m128i sv = Load16(s + i * 2), dv = Load16(d + i * 2);
      __m128i keep = _mm_and_si128(key_on, _mm_cmpeq_epi16(sv, kv));
      if constexpr (kKeepEqual) keep = _mm_or_si128(keep, _mm_cmpeq_epi16(sv, dv));
      Store16(d + i * 2, Select(keep, dv, op16(sv, dv)));
    }
    return tail(d + i * 2, s + i * 2, n - i);
  }
  tail(d, s, n);
}

void Blend(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key) {
  const __m128i w32 = _mm_set1_epi32(alpha), w16 = _mm_set1_epi16(static_cast<int16_t>(alpha));
  KeyedTwoRows<true>(
      d, s, n, bits, key, [&](__m128i sv, __m128i dv) { return Blend32(sv, dv, w32); },
      [&](__m128i sv, __m128i dv) { return Blend16(sv, dv, w16, bits); },
      [&](uint8_t* dt, const uint8_t* st, int32_t m) { p::Blend(dt, st, m, bits, alpha, key); });
}

void Add(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key) {
  const __m128i k32 = _mm_set1_epi32(alpha), k16 = _mm_set1_epi16(static_cast<int16_t>(alpha));
  KeyedTwoRows<false>(
      d, s, n, bits, key, [&](__m128i sv, __m128i dv) { return Add32(sv, dv, k32); },
      [&](__m128i sv, __m128i dv) { return Add16(sv, dv, k16, bits); },
      [&](uint8_t* dt, const uint8_t* st, int32_t m) { p::Add(dt, st, m, bits, alpha, key); });
}

void Sampled(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key, bool add) {
  // Additions at 15 bits and up are the keyed addition; copies the keyed copy.
  if (add) return bits == 8 ? p::Sampled(d, s, n, bits, alpha, key, add) : Add(d, s, n, bits, alpha, key);
  if (alpha == 255) return KeyedCopy(d, s, n, bits, key);
  const __m128i w32 = _mm_set1_epi32(alpha), w16 = _mm_set1_epi16(static_cast<int16_t>(alpha));
  KeyedTwoRows<false>(
      d, s, n, bits, key, [&](__m128i sv, __m128i dv) { return Blend32(sv, dv, w32); },
      [&](__m128i sv, __m128i dv) { return Blend16(sv, dv, w16, bits); },
      [&](uint8_t* dt, const uint8_t* st, int32_t m) { p::Sampled(dt, st, m, bits, alpha, key, false); });
}

// Mask at 32 bits, eight pixels at a time: their weights worked out in
// 16-bit lanes, then each group of four pixels blended with its weights
// spread to the pixels' lanes. Returns the pixels done.
template <TMaskMode kMode>
int32_t Mask32(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t alpha) {
  const __m128i z = _mm_setzero_si128(), full = _mm_set1_epi16(255), av = _mm_set1_epi16(static_cast<int16_t>(alpha));
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i mv = LoadMask8(m + i);
    const __m128i scaled = _mm_srli_epi16(_mm_mullo_epi16(mv, av), 8);
    // m at alpha 255, else (m x alpha) shr 8, or alpha where m is 255.
    const __m128i full_is_alpha = Select(_mm_cmpeq_epi16(mv, full), av, scaled);
    __m128i w, keep, copy = z;
    if constexpr (kMode == TMaskMode::Copy) w = mv, copy = _mm_cmpeq_epi16(mv, full);
    else if constexpr (kMode == TMaskMode::Blend || kMode == TMaskMode::Add) w = full_is_alpha;
    else if constexpr (kMode == TMaskMode::Cover) w = alpha == 255 ? mv : full_is_alpha, copy = _mm_cmpeq_epi16(w, full);
    else w = alpha == 255 ? mv : scaled;
    if constexpr (kMode == TMaskMode::Add) keep = _mm_cmpeq_epi16(w, z);
    else keep = _mm_cmpeq_epi16(mv, z);
    for (int h = 0; h < 2; ++h) {
      uint8_t* dp = d + (i + 4 * h) * 4;
      const __m128i sv = Load16(s + (i + 4 * h) * 4), dv = Load16(dp);
      const __m128i wp = h == 0 ? _mm_unpacklo_epi16(w, w) : _mm_unpackhi_epi16(w, w);
      __m128i kp = h == 0 ? _mm_unpacklo_epi16(keep, keep) : _mm_unpackhi_epi16(keep, keep);
      __m128i out;
      if constexpr (kMode == TMaskMode::Add || kMode == TMaskMode::WeightedAdd) {
        out = Add32Pairs(sv, dv, wp);
      } else {
        out = Blend32Pairs(sv, dv, wp);
        if constexpr (kMode == TMaskMode::Copy || kMode == TMaskMode::Cover)
          out = Select(h == 0 ? _mm_unpacklo_epi16(copy, copy) : _mm_unpackhi_epi16(copy, copy), sv, out);
        if constexpr (kMode == TMaskMode::Copy || kMode == TMaskMode::Blend) kp = _mm_or_si128(kp, _mm_cmpeq_epi32(sv, dv));
      }
      Store16(dp, Select(kp, dv, out));
    }
  }
  return i;
}

// One vector of Mask at 15 or 16 bits: eight pixels, coverage in 16-bit lanes.
inline __m128i Mask16(__m128i sv, __m128i dv, __m128i mv, __m128i av, int32_t alpha, int32_t bits, TMaskMode mode) {
  const __m128i z = _mm_setzero_si128(), full = _mm_set1_epi16(255);
  const __m128i uncovered = _mm_cmpeq_epi16(mv, z);
  const __m128i scaled = _mm_srli_epi16(_mm_mullo_epi16(mv, av), 8);
  const __m128i weighted = alpha == 255 ? mv : scaled;
  switch (mode) {
    case TMaskMode::Add: return Select(_mm_cmpeq_epi16(scaled, z), dv, Add16(sv, dv, scaled, bits));
    case TMaskMode::Weighted: return Select(uncovered, dv, Blend16(sv, dv, weighted, bits));
    case TMaskMode::WeightedAdd: return Select(uncovered, dv, Add16(sv, dv, weighted, bits));
    case TMaskMode::Cover: {
      __m128i out = Select(_mm_cmpeq_epi16(weighted, full), sv, Blend16(sv, dv, weighted, bits));
      __m128i keep = alpha < 255 ? _mm_or_si128(uncovered, _mm_cmpeq_epi16(sv, dv)) : uncovered;
      return Select(keep, dv, out);
    }
    case TMaskMode::Copy:
    case TMaskMode::Blend: break;
  }
  __m128i w = mode == TMaskMode::Copy ? mv : scaled;
  __m128i blended = Blend16(sv, dv, w, bits);
  if (mode == TMaskMode::Copy) blended = Select(_mm_cmpeq_epi16(mv, full), sv, blended);
  __m128i keep = _mm_or_si128(uncovered, _mm_cmpeq_epi16(sv, dv));
  return Select(keep, dv, blended);
}

void Mask(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t bits, int32_t alpha,
          TMaskMode mode) {
  int32_t i = 0;
  if (bits == 32) {
    switch (mode) {
      case TMaskMode::Copy: i = Mask32<TMaskMode::Copy>(d, s, m, n, alpha); break;
      case TMaskMode::Blend: i = Mask32<TMaskMode::Blend>(d, s, m, n, alpha); break;
      case TMaskMode::Add: i = Mask32<TMaskMode::Add>(d, s, m, n, alpha); break;
      case TMaskMode::Cover: i = Mask32<TMaskMode::Cover>(d, s, m, n, alpha); break;
      case TMaskMode::Weighted: i = Mask32<TMaskMode::Weighted>(d, s, m, n, alpha); break;
      case TMaskMode::WeightedAdd: i = Mask32<TMaskMode::WeightedAdd>(d, s, m, n, alpha); break;
    }
    return p::Mask(d + i * 4, s + i * 4, m + i, n - i, bits, alpha, mode);
  }
  if (IsWord(bits)) {
    const __m128i av = _mm_set1_epi16(static_cast<int16_t>(alpha));
    for (; i + 8 <= n; i += 8)
      Store16(d + i * 2, Mask16(Load16(s + i * 2), Load16(d + i * 2), LoadMask8(m + i), av, alpha, bits, mode));
    return p::Mask(d + i * 2, s + i * 2, m + i, n - i, bits, alpha, mode);
  }
  p::Mask(d, s, m, n, bits, alpha, mode);
}

void BitmapBlend(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t opacity,
                 TRowKey key) {
  int32_t i = 0;
  if (bits == 32) {
    __m128i w = _mm_set1_epi32(opacity), kv = _mm_set1_epi32(static_cast<int32_t>(key.Value));
    __m128i key_on = key.Enabled ? AllOnes() : _mm_setzero_si128();
    __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= n; i += 4) {
      __m128i sv = Load16(s + i * 4), dv = Load16(d + i * 4);
      __m128i keep = _mm_and_si128(key_on, _mm_cmpeq_epi32(sv, kv));
      Store16(d + i * 4, Select(keep, dv, _mm_and_si128(Blend32(sv, dv, w), colour)));
    }
    return p::BitmapBlend(d + i * 4, s + i * 4, n - i, bits, opacity, key);
  }
  if (IsWord(bits)) {
    __m128i w = _mm_set1_epi16(static_cast<int16_t>(opacity));
    __m128i nw = _mm_set1_epi16(static_cast<int16_t>(255 - opacity));
    __m128i kv = _mm_set1_epi16(static_cast<int16_t>(key.Value & 0xFFFF));
    __m128i kon = key.Enabled && key.Value <= 0xFFFF ? AllOnes() : _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
      __m128i sv = Load16(s + i * 2), dv = Load16(d + i * 2);
      TSplit a = Split(sv, bits), b = Split(dv, bits);
      auto mix = [&](__m128i x, __m128i y) {
        return Div255(_mm_add_epi16(_mm_mullo_epi16(y, nw), _mm_mullo_epi16(x, w)));
      };
      __m128i blended = Join({mix(a.R, b.R), mix(a.G, b.G), mix(a.B, b.B)}, bits);
      Store16(d + i * 2, Select(_mm_and_si128(kon, _mm_cmpeq_epi16(sv, kv)), dv, blended));
    }
    return p::BitmapBlend(d + i * 2, s + i * 2, n - i, bits, opacity, key);
  }
  if (bits == 24) {
    // Every byte is a channel of the same weight: 16 pixels are three
    // vectors of bytes; keyed pixels get their old bytes back.
    const __m128i w = _mm_set1_epi16(static_cast<int16_t>(opacity));
    const __m128i nw = _mm_set1_epi16(static_cast<int16_t>(255 - opacity)), z = _mm_setzero_si128();
    auto mix = [&](__m128i sv, __m128i dv) {
      __m128i lo = Div255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, z), nw),
                                        _mm_mullo_epi16(_mm_unpacklo_epi8(sv, z), w)));
      __m128i hi = Div255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, z), nw),
                                        _mm_mullo_epi16(_mm_unpackhi_epi8(sv, z), w)));
      return _mm_packus_epi16(lo, hi);
    };
    uint8_t old[48];
    for (; i + 16 <= n; i += 16) {
      uint8_t* dp = d + i * 3;
      const uint8_t* sp = s + i * 3;
      for (int v = 0; v < 3; ++v) {
        __m128i dv = Load16(dp + 16 * v);
        if (key.Enabled) Store16(old + 16 * v, dv);
        Store16(dp + 16 * v, mix(Load16(sp + 16 * v), dv));
      }
      if (!key.Enabled) continue;
      for (int k = 0; k < 16; ++k)
        if ((LoadPixelBytes(sp + 3 * k, 3) & 0xFFFFFFu) == key.Value) std::memcpy(dp + 3 * k, old + 3 * k, 3);
    }
    return p::BitmapBlend(d + i * 3, s + i * 3, n - i, bits, opacity, key);
  }
  p::BitmapBlend(d, s, n, bits, opacity, key);
}

void BitmapAlpha(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n, int32_t bits,
                 int32_t opacity) {
  int32_t i = 0;
  const __m128i z = _mm_setzero_si128();
  if (bits == 32) {
    __m128i full = _mm_set1_epi32(255), colour = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= n; i += 4) {
      __m128i w = LoadMask4(a + i);
      __m128i sv = Load16(s + i * 4), dv = Load16(d + i * 4);
      __m128i out = Select(_mm_cmpeq_epi32(w, full), sv, _mm_and_si128(Blend32(sv, dv, w), colour));
      Store16(d + i * 4, Select(_mm_cmpeq_epi32(w, z), dv, out));
    }
    return p::BitmapAlpha(d + i * 4, s + i * 4, a + i, n - i, bits, opacity);
  }
  if (IsWord(bits)) {
    __m128i full = _mm_set1_epi16(255);
    for (; i + 8 <= n; i += 8) {
      __m128i w = LoadMask8(a + i);
      __m128i sv = Load16(s + i * 2), dv = Load16(d + i * 2);
      __m128i out = Select(_mm_cmpeq_epi16(w, full), sv, Blend16(sv, dv, w, bits));
      Store16(d + i * 2, Select(_mm_cmpeq_epi16(w, z), dv, out));
    }
    return p::BitmapAlpha(d + i * 2, s + i * 2, a + i, n - i, bits, opacity);
  }
  if (bits == 24) {
    // Sixteen pixels at a time: their weights, each spread over its three
    // bytes, then three vectors of bytes blended by them. Runs of clear or
    // opaque pixels are skipped or copied whole.
    const __m128i op = _mm_set1_epi16(static_cast<int16_t>(opacity)), full = _mm_set1_epi8(-1);
    alignas(16) uint8_t weights[16];
    uint8_t spread[48 + 4];
    for (; i + 16 <= n; i += 16) {
      __m128i wv = Load16(a + i);
      if (opacity < 255) {
        __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(wv, z), op), 8);
        __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(wv, z), op), 8);
        wv = _mm_packus_epi16(lo, hi);
      }
      uint8_t* dp = d + i * 3;
      const uint8_t* sp = s + i * 3;
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(wv, z)) == 0xFFFF) continue;
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(wv, full)) == 0xFFFF) {
        std::memcpy(dp, sp, 48);
        continue;
      }
      Store16(weights, wv);
      for (int k = 0; k < 16; ++k) {
        const uint32_t x = weights[k] * 0x010101u;
        std::memcpy(spread + 3 * k, &x, 4);
      }
      for (int v = 0; v < 3; ++v) {
        __m128i w = Load16(spread + 16 * v), sv = Load16(sp + 16 * v), dv = Load16(dp + 16 * v);
        __m128i out = Select(_mm_cmpeq_epi8(w, full), sv, Blend24(sv, dv, w));
        Store16(dp + 16 * v, Select(_mm_cmpeq_epi8(w, z), dv, out));
      }
    }
    return p::BitmapAlpha(d + i * 3, s + i * 3, a + i, n - i, bits, opacity);
  }
  p::BitmapAlpha(d, s, a, n, bits, opacity);
}

void ClearHigh(uint8_t* d, const uint8_t* s, int32_t n) {
  const __m128i low = _mm_set1_epi32(0xFFFFFF);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) Store16(d + i * 4, _mm_and_si128(Load16(s + i * 4), low));
  p::ClearHigh(d + i * 4, s + i * 4, n - i);
}

void IndexedAdd(uint8_t* d, const uint8_t* s, int32_t n, const uint32_t* add) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i a = _mm_set_epi32(static_cast<int32_t>(add[s[i + 3]]), static_cast<int32_t>(add[s[i + 2]]),
                                    static_cast<int32_t>(add[s[i + 1]]), static_cast<int32_t>(add[s[i]]));
    Store16(d + i * 4, _mm_adds_epu8(Load16(d + i * 4), a));
  }
  p::IndexedAdd(d + i * 4, s + i, n - i, add);
}

void CellCopy(uint8_t* d, const uint8_t* s, int32_t n, TRowKey key, uint32_t cells) {
  int32_t i = 0;
  uint32_t pattern = 0;
  for (int b = 0; b < 4; ++b)
    if (((cells >> b) & 1u) != 0) pattern |= 0xFFu << (8 * b);
  const __m128i drawn = _mm_set1_epi32(static_cast<int32_t>(pattern));
  const __m128i kv = _mm_set1_epi8(static_cast<char>(key.Value & 0xFF));
  const __m128i key_on = key.Enabled && key.Value <= 0xFF ? AllOnes() : _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    __m128i sv = Load16(s + i);
    __m128i take = _mm_andnot_si128(_mm_and_si128(key_on, _mm_cmpeq_epi8(sv, kv)), drawn);
    Store16(d + i, Select(take, sv, Load16(d + i)));
  }
  p::CellCopy(d + i, s + i, n - i, key, cells);
}

void AlphaPick(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n) {
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    // A byte of 128 or more is negative as a signed byte.
    __m128i take = _mm_cmplt_epi8(Load16(a + i), _mm_setzero_si128());
    Store16(d + i, Select(take, Load16(s + i), Load16(d + i)));
  }
  p::AlphaPick(d + i, s + i, a + i, n - i);
}

void WalkMask(uint8_t* d, const TSampleWalk& walk, int32_t n, int32_t bits, int32_t alpha, TMaskMode mode) {
  p::WalkMaskVia(FastRowKernels(), d, walk, n, bits, alpha, mode);
}

}  // namespace

const TRowKernels& FastRowKernels() {
  static const TRowKernels kernels = {
      Copy,      Fill,  KeyedCopy, FillAlpha, FillAdd,     FillSub,
      ColorMask, Blend, Add,       Sampled,   Mask,        BitmapBlend,
      BitmapAlpha, IndexedAdd, ClearHigh, p::GatherWalk, WalkMask, CellCopy, AlphaPick,
      CopyRows,
  };
  return kernels;
}

#else

const TRowKernels& FastRowKernels() { return PortableRowKernels(); }

#endif

}  // namespace orba
