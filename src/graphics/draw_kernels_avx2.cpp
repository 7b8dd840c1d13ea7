// AVX2 forms of the 32-bit blends and copies (eight pixels a vector), of the
// gather of 32-bit samples along a walk and of the walk drawn through a
// mask, chosen at run time where the processor has AVX2. Only the functions
// marked for AVX2 use it, so that the rest of the program runs on any
// x86-64. Other depths, and the pixels left at the end of a row, go to the
// SSE2 set.
#include "graphics/draw_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "graphics/draw_kernels_portable.h"

#define ORBA_AVX2 __attribute__((target("avx2")))

namespace orba {
namespace {

ORBA_AVX2 inline __m256i Load(const uint8_t* q) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)); }
ORBA_AVX2 inline void Store(uint8_t* q, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), v); }
// Takes `yes` where the lanes of `cond` are all ones, else `no`.
ORBA_AVX2 inline __m256i Select(__m256i cond, __m256i yes, __m256i no) { return _mm256_blendv_epi8(no, yes, cond); }
// Eight coverage bytes, one 32-bit lane each.
ORBA_AVX2 inline __m256i LoadMask(const uint8_t* m) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)));
}
// Each lane's weight (0..255) in both of its 16-bit halves.
ORBA_AVX2 inline __m256i Pairs(__m256i w32) { return _mm256_or_si256(w32, _mm256_slli_epi32(w32, 16)); }
// (m x alpha) shr 8 per 32-bit lane.
ORBA_AVX2 inline __m256i Scale(__m256i m32, __m256i alpha32) {
  return _mm256_srli_epi32(_mm256_mullo_epi16(m32, alpha32), 8);
}

// Per byte (s x w + d x (255 - w)) shr 8, exact in 16-bit lanes (at most
// 255 x 255); w16 from Pairs. The even and the odd bytes of each pixel go
// through one 16-bit lane each, so both halves take w16 as it is.
ORBA_AVX2 inline __m256i Blend(__m256i s, __m256i d, __m256i w16) {
  const __m256i low = _mm256_set1_epi16(0xFF), high = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i rest = _mm256_xor_si256(w16, low);  // 255 - w
  const __m256i even = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low), w16),
                                        _mm256_mullo_epi16(_mm256_and_si256(d, low), rest));
  const __m256i odd = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), w16),
                                       _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), rest));
  return _mm256_or_si256(_mm256_srli_epi16(even, 8), _mm256_and_si256(odd, high));
}

// Per byte d + (s x k) shr 8, saturated; k16 from Pairs (even and odd
// bytes as in Blend).
ORBA_AVX2 inline __m256i Add(__m256i s, __m256i d, __m256i k16) {
  const __m256i low = _mm256_set1_epi16(0xFF), high = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i even = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low), k16), 8);
  const __m256i odd = _mm256_and_si256(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), k16), high);
  return _mm256_adds_epu8(d, _mm256_or_si256(even, odd));
}

// Constant-opacity blend at 32 bits: keyed pixels stay, and with kKeepEqual
// so do pixels equal to the source. Returns the pixels done.
template <bool kKeepEqual>
ORBA_AVX2 int32_t BlendRow(uint8_t* d, const uint8_t* s, int32_t n, int32_t alpha, TRowKey key) {
  const __m256i w = Pairs(_mm256_set1_epi32(alpha)), kv = _mm256_set1_epi32(static_cast<int32_t>(key.Value));
  const __m256i key_on = key.Enabled ? _mm256_set1_epi32(-1) : _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sv = Load(s + i * 4), dv = Load(d + i * 4);
    __m256i keep = _mm256_and_si256(key_on, _mm256_cmpeq_epi32(sv, kv));
    if constexpr (kKeepEqual) keep = _mm256_or_si256(keep, _mm256_cmpeq_epi32(sv, dv));
    Store(d + i * 4, Select(keep, dv, Blend(sv, dv, w)));
  }
  return i;
}

// The factor whose product with a coverage byte, shifted right by 8, is the
// weight of the Weighted modes: alpha, or 256 at alpha 255 (the byte itself).
ORBA_AVX2 inline __m256i WeightedFactor(int32_t alpha) { return _mm256_set1_epi32(alpha == 255 ? 256 : alpha); }

// Eight 32-bit pixels through their coverage (one byte a lane) by the rules
// of TMaskMode (see the portable kernel): the destination's new pixels.
// `weighted` is WeightedFactor(alpha).
template <TMaskMode kMode>
ORBA_AVX2 inline __m256i MaskEight(__m256i sv, __m256i dv, __m256i mv, __m256i av, __m256i weighted, int32_t alpha) {
  const __m256i z = _mm256_setzero_si256(), full = _mm256_set1_epi32(255);
  const __m256i is_full = _mm256_cmpeq_epi32(mv, full), scaled = Scale(mv, av);
  const __m256i full_is_alpha = Select(is_full, av, scaled);
  __m256i w, keep = _mm256_cmpeq_epi32(mv, z), out;
  if constexpr (kMode == TMaskMode::Copy) w = mv;
  else if constexpr (kMode == TMaskMode::Blend || kMode == TMaskMode::Add) w = full_is_alpha;
  else if constexpr (kMode == TMaskMode::Cover) w = alpha == 255 ? mv : full_is_alpha;
  else w = Scale(mv, weighted);  // at most 255 x 256, exact in 16 bits
  if constexpr (kMode == TMaskMode::Add || kMode == TMaskMode::WeightedAdd) {
    if constexpr (kMode == TMaskMode::Add) keep = _mm256_cmpeq_epi32(w, z);
    out = Add(sv, dv, Pairs(w));
  } else {
    out = Blend(sv, dv, Pairs(w));
    if constexpr (kMode == TMaskMode::Copy) out = Select(is_full, sv, out);
    if constexpr (kMode == TMaskMode::Cover) out = Select(_mm256_cmpeq_epi32(w, full), sv, out);
    if constexpr (kMode == TMaskMode::Copy || kMode == TMaskMode::Blend)
      keep = _mm256_or_si256(keep, _mm256_cmpeq_epi32(sv, dv));
  }
  return Select(keep, dv, out);
}

// Mask at 32 bits. Returns the pixels done.
template <TMaskMode kMode>
ORBA_AVX2 int32_t MaskRow(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t alpha) {
  const __m256i av = _mm256_set1_epi32(alpha), weighted = WeightedFactor(alpha);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8)
    Store(d + i * 4, MaskEight<kMode>(Load(s + i * 4), Load(d + i * 4), LoadMask(m + i), av, weighted, alpha));
  return i;
}

// Constant colour through coverage at 32 bits: the weight is m at alpha
// 255, alpha where m = 255, else (m x alpha) shr 8; pixels whose coverage is
// 0 or that equal the colour stay. Returns the pixels done.
ORBA_AVX2 int32_t ColorMaskRow(uint8_t* d, const uint8_t* m, int32_t n, uint32_t pixel, int32_t alpha) {
  const __m256i z = _mm256_setzero_si256(), full = _mm256_set1_epi32(255), av = _mm256_set1_epi32(alpha);
  const __m256i pv = _mm256_set1_epi32(static_cast<int32_t>(pixel));
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i mv = LoadMask(m + i), dv = Load(d + i * 4);
    const __m256i w = alpha == 255 ? mv : Select(_mm256_cmpeq_epi32(mv, full), av, Scale(mv, av));
    const __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi32(mv, z), _mm256_cmpeq_epi32(dv, pv));
    Store(d + i * 4, Select(keep, dv, Blend(pv, dv, Pairs(w))));
  }
  return i;
}

void ColorMask32(uint8_t* d, const uint8_t* m, int32_t n, int32_t bits, uint32_t pixel, int32_t alpha) {
  const int32_t i = bits == 32 ? ColorMaskRow(d, m, n, pixel, alpha) : 0;
  FastRowKernels().ColorMask(d + i * 4, m + i, n - i, bits, pixel, alpha);
}

void Blend32(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key) {
  const int32_t i = bits == 32 ? BlendRow<true>(d, s, n, alpha, key) : 0;
  FastRowKernels().Blend(d + i * 4, s + i * 4, n - i, bits, alpha, key);
}

void Sampled32(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key, bool add) {
  const int32_t i = bits == 32 && !add && alpha != 255 ? BlendRow<false>(d, s, n, alpha, key) : 0;
  FastRowKernels().Sampled(d + i * 4, s + i * 4, n - i, bits, alpha, key, add);
}

void Mask32(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t bits, int32_t alpha, TMaskMode mode) {
  int32_t i = 0;
  if (bits == 32) {
    switch (mode) {
      case TMaskMode::Copy: i = MaskRow<TMaskMode::Copy>(d, s, m, n, alpha); break;
      case TMaskMode::Blend: i = MaskRow<TMaskMode::Blend>(d, s, m, n, alpha); break;
      case TMaskMode::Add: i = MaskRow<TMaskMode::Add>(d, s, m, n, alpha); break;
      case TMaskMode::Cover: i = MaskRow<TMaskMode::Cover>(d, s, m, n, alpha); break;
      case TMaskMode::Weighted: i = MaskRow<TMaskMode::Weighted>(d, s, m, n, alpha); break;
      case TMaskMode::WeightedAdd: i = MaskRow<TMaskMode::WeightedAdd>(d, s, m, n, alpha); break;
    }
  }
  FastRowKernels().Mask(d + i * 4, s + i * 4, m + i, n - i, bits, alpha, mode);
}

ORBA_AVX2 int32_t ClearHighRow(uint8_t* d, const uint8_t* s, int32_t n) {
  const __m256i low = _mm256_set1_epi32(0xFFFFFF);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) Store(d + i * 4, _mm256_and_si256(Load(s + i * 4), low));
  return i;
}

void ClearHigh(uint8_t* d, const uint8_t* s, int32_t n) {
  const int32_t i = ClearHighRow(d, s, n);
  FastRowKernels().ClearHigh(d + i * 4, s + i * 4, n - i);
}

// Whether every sample of an n-sample walk has U, V and its byte offsets in
// the picture and the mask within 32-bit lanes.
bool WalkFitsLanes(const TSampleWalk& w, int32_t n) {
  constexpr int64_t kLane = int64_t{1} << 30;
  const int64_t ue = w.U0 + int64_t{n - 1} * w.DU, ve = w.V0 + int64_t{n - 1} * w.DV;
  if (w.U0 < 0 || ue < 0 || w.V0 < 0 || ve < 0 || w.U0 >= kLane || ue >= kLane || w.V0 >= kLane || ve >= kLane)
    return false;
  if (w.DU >= kLane / 8 || w.DU <= -kLane / 8 || w.DV >= kLane / 8 || w.DV <= -kLane / 8) return false;
  const int64_t rows = (std::max(w.V0, ve) >> 16) + 1, columns = (std::max(w.U0, ue) >> 16) + 1;
  const auto within = [&](std::ptrdiff_t pitch, int64_t bytes) {
    return rows * (pitch < 0 ? -int64_t{pitch} : int64_t{pitch}) + columns * bytes < kLane;
  };
  return within(w.Pitch, 4) && (w.Mask == nullptr || within(w.MaskPitch, 1));
}

// The eight mask bytes at the lanes' offsets into `out`. The offsets leave
// the vector two at a time as 64-bit words: four moves in place of eight
// extractions, which cost the step as much as its gather did.
ORBA_AVX2 inline void PickMaskBytes(const uint8_t* mask, __m256i offsets, uint8_t* out) {
  const __m128i lo = _mm256_castsi256_si128(offsets), hi = _mm256_extracti128_si256(offsets, 1);
  const int64_t a = _mm_cvtsi128_si64(lo), b = _mm_extract_epi64(lo, 1);
  const int64_t c = _mm_cvtsi128_si64(hi), e = _mm_extract_epi64(hi, 1);
  out[0] = mask[static_cast<int32_t>(a)];
  out[1] = mask[a >> 32];
  out[2] = mask[static_cast<int32_t>(b)];
  out[3] = mask[b >> 32];
  out[4] = mask[static_cast<int32_t>(c)];
  out[5] = mask[c >> 32];
  out[6] = mask[static_cast<int32_t>(e)];
  out[7] = mask[e >> 32];
}

// 32-bit pixels gathered eight at a time, their offsets worked out in
// 32-bit lanes; the mask bytes are fetched one by one at offsets worked out
// the same way.
template <bool kMask>
ORBA_AVX2 int32_t Walk32(const TSampleWalk& w, int32_t n, uint8_t* out, uint8_t* mout) {
  const __m256i step = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(w.U0)),
                               _mm256_mullo_epi32(step, _mm256_set1_epi32(static_cast<int32_t>(w.DU))));
  __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(w.V0)),
                               _mm256_mullo_epi32(step, _mm256_set1_epi32(static_cast<int32_t>(w.DV))));
  const __m256i du = _mm256_set1_epi32(static_cast<int32_t>(w.DU * 8)), dv = _mm256_set1_epi32(static_cast<int32_t>(w.DV * 8));
  const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(w.Pitch));
  const __m256i mpitch = _mm256_set1_epi32(static_cast<int32_t>(w.MaskPitch));
  const int* const base = reinterpret_cast<const int*>(w.Bits);
  const uint8_t* const mask = w.Mask;
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sx = _mm256_srli_epi32(u, 16), sy = _mm256_srli_epi32(v, 16);
    const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(sy, pitch), _mm256_slli_epi32(sx, 2));
    Store(out + i * 4, _mm256_i32gather_epi32(base, offset, 1));
    if constexpr (kMask) PickMaskBytes(mask, _mm256_add_epi32(_mm256_mullo_epi32(sy, mpitch), sx), mout + i);
    u = _mm256_add_epi32(u, du);
    v = _mm256_add_epi32(v, dv);
  }
  return i;
}

void GatherWalk(const TSampleWalk& w, int32_t n, uint8_t* out, uint8_t* mout) {
  int32_t i = 0;
  if (w.Bytes == 4 && n >= 8 && WalkFitsLanes(w, n)) i = w.Mask != nullptr ? Walk32<true>(w, n, out, mout) : Walk32<false>(w, n, out, mout);
  TSampleWalk rest = w;
  rest.U0 += int64_t{i} * w.DU;
  rest.V0 += int64_t{i} * w.DV;
  FastRowKernels().GatherWalk(rest, n - i, out + static_cast<size_t>(i) * static_cast<size_t>(w.Bytes),
                              mout != nullptr ? mout + i : nullptr);
}

// Whether each group of four samples of a walk lies in at most two source
// rows (those of its first and its last sample) and four columns: each step
// moves at most one column, and three steps less than one row.
bool WalkStaysInRowPairs(const TSampleWalk& w) {
  const int64_t dv = w.DV < 0 ? -w.DV : w.DV;
  return w.DU >= -65536 && w.DU <= 65536 && 3 * dv < 65536;
}

// Each half's first lane (a group's first sample) in every lane of the half.
ORBA_AVX2 inline __m256i GroupFirst(__m256i v) { return _mm256_shuffle_epi32(v, 0); }
// The four 32-bit pixels of two 16-byte loads, the group's in each half.
ORBA_AVX2 inline __m256i LoadGroups(const uint8_t* first, const uint8_t* second) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(second)), 1);
}
// The four coverage bytes at each of two places, one 32-bit lane each.
ORBA_AVX2 inline __m256i LoadMaskGroups(const uint8_t* first, const uint8_t* second) {
  int32_t a, b;
  std::memcpy(&a, first, 4);
  std::memcpy(&b, second, 4);
  return _mm256_cvtepu8_epi32(_mm_insert_epi32(_mm_cvtsi32_si128(a), b, 1));
}
// Each lane's value from `row` at its own index (0 to 3) within its half.
ORBA_AVX2 inline __m256i PickLanes(__m256i row, __m256i index) {
  return _mm256_castps_si256(_mm256_permutevar_ps(_mm256_castsi256_ps(row), index));
}

// WalkMask at 32 bits for a walk that stays in row pairs, eight samples a
// step as two groups of four. A group's pixels lie in the row of its first
// sample and the row of its last, within the four columns that start at its
// first sample's (that end there where the walk goes left), so two 16-byte
// loads of pixels and two 4-byte loads of coverage hold them and each lane
// picks its own; the blend follows at once, as no gather is waited for. The
// loaded columns stay between the walk's first and last, so nothing outside
// the picture is read: the loop stops at the first step whose loads would
// pass the last. Returns the pixels done.
template <TMaskMode kMode, bool kLeft, bool kQuarterPitch>
ORBA_AVX2 int32_t PickWalkMask32(uint8_t* d, const TSampleWalk& w, int32_t n, int32_t alpha) {
  // Locals, as stores through `d` could otherwise change them.
  const uint8_t* const bits = w.Bits;
  const uint8_t* const mask = w.Mask;
  const std::ptrdiff_t pitch = w.Pitch, mpitch = w.MaskPitch;
  const int64_t step_u = w.DU, step_v = w.DV;
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(w.U0)),
                               _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(step_u))));
  __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(w.V0)),
                               _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(step_v))));
  const __m256i du = _mm256_set1_epi32(static_cast<int32_t>(step_u * 8)), dv = _mm256_set1_epi32(static_cast<int32_t>(step_v * 8));
  const __m256i av = _mm256_set1_epi32(alpha), weighted = WeightedFactor(alpha);
  // Where the walk goes left a group's columns end at its first sample's.
  constexpr int64_t kShift = kLeft ? 3 : 0;
  // The second group's loads reach furthest along the walk, to column
  // ((u + 4 DU) shr 16) + 3 going right and down to that less 3 going left:
  // the steps go on while that stays on the near side of the walk's last
  // column, which is while u stays on the near side of `limit`.
  const int64_t last_column = (w.U0 + int64_t{n - 1} * step_u) >> 16;
  const int64_t limit = (kLeft ? last_column + 3 : last_column - 2) * 65536 - 4 * step_u;
  // The byte offset of a pixel's coverage from its own: with mask rows a
  // quarter as long as the picture's, a quarter of it (saving the products
  // that cost the loop its registers).
  const auto coverage_at = [&](int64_t offset, int64_t row, int64_t column) {
    if constexpr (kQuarterPitch) return mask + (offset >> 2);
    else return mask + row * mpitch + column;
  };
  int64_t gu = w.U0, gv = w.V0;  // the step's first sample
  int32_t i = 0;
  for (; i + 8 <= n && (kLeft ? gu >= limit : gu < limit); i += 8, gu += 8 * step_u, gv += 8 * step_v) {
    const int64_t x0 = (gu >> 16) - kShift, x1 = ((gu + 4 * step_u) >> 16) - kShift;
    const int64_t y0 = gv >> 16, y0_end = (gv + 3 * step_v) >> 16;
    const int64_t y1 = (gv + 4 * step_v) >> 16, y1_end = (gv + 7 * step_v) >> 16;
    const int64_t a0 = y0 * pitch + x0 * 4, b0 = y0_end * pitch + x0 * 4;
    const int64_t a1 = y1 * pitch + x1 * 4, b1 = y1_end * pitch + x1 * 4;
    const __m256i sx = _mm256_srli_epi32(u, 16), sy = _mm256_srli_epi32(v, 16);
    __m256i index = _mm256_sub_epi32(sx, GroupFirst(sx));
    if constexpr (kLeft) index = _mm256_add_epi32(index, _mm256_set1_epi32(kShift));
    const __m256i first_row = _mm256_cmpeq_epi32(sy, GroupFirst(sy));
    const __m256i pixels = Select(first_row, PickLanes(LoadGroups(bits + a0, bits + a1), index),
                                  PickLanes(LoadGroups(bits + b0, bits + b1), index));
    const __m256i coverage =
        Select(first_row, PickLanes(LoadMaskGroups(coverage_at(a0, y0, x0), coverage_at(a1, y1, x1)), index),
               PickLanes(LoadMaskGroups(coverage_at(b0, y0_end, x0), coverage_at(b1, y1_end, x1)), index));
    Store(d + i * 4, MaskEight<kMode>(pixels, Load(d + i * 4), coverage, av, weighted, alpha));
    u = _mm256_add_epi32(u, du);
    v = _mm256_add_epi32(v, dv);
  }
  return i;
}

template <TMaskMode kMode>
ORBA_AVX2 int32_t PickWalkMask32(uint8_t* d, const TSampleWalk& w, int32_t n, int32_t alpha) {
  if (w.Pitch == 4 * w.MaskPitch)
    return w.DU < 0 ? PickWalkMask32<kMode, true, true>(d, w, n, alpha) : PickWalkMask32<kMode, false, true>(d, w, n, alpha);
  return w.DU < 0 ? PickWalkMask32<kMode, true, false>(d, w, n, alpha) : PickWalkMask32<kMode, false, false>(d, w, n, alpha);
}

void WalkMask32(uint8_t* d, const TSampleWalk& w, int32_t n, int32_t bits, int32_t alpha, TMaskMode mode) {
  int32_t i = 0;
  if (bits == 32 && w.Bytes == 4 && n >= 8 && WalkStaysInRowPairs(w) && WalkFitsLanes(w, n)) {
    if (mode == TMaskMode::Weighted) i = PickWalkMask32<TMaskMode::Weighted>(d, w, n, alpha);
    else if (mode == TMaskMode::WeightedAdd) i = PickWalkMask32<TMaskMode::WeightedAdd>(d, w, n, alpha);
  }
  TSampleWalk rest = w;
  rest.U0 += int64_t{i} * w.DU;
  rest.V0 += int64_t{i} * w.DV;
  portable_kernels::WalkMaskVia(*Avx2RowKernels(), d + static_cast<std::ptrdiff_t>(i) * w.Bytes, rest, n - i, bits, alpha, mode);
}

}  // namespace

const TRowKernels* Avx2RowKernels() {
  static const TRowKernels* const kernels = []() -> const TRowKernels* {
    __builtin_cpu_init();  // in case this runs before the library's own start-up
    if (!__builtin_cpu_supports("avx2")) return nullptr;
    static TRowKernels set = FastRowKernels();
    set.ColorMask = ColorMask32;
    set.Blend = Blend32;
    set.Sampled = Sampled32;
    set.Mask = Mask32;
    set.ClearHigh = ClearHigh;
    set.GatherWalk = GatherWalk;
    set.WalkMask = WalkMask32;
    return &set;
  }();
  return kernels;
}

}  // namespace orba

#else

namespace orba {
const TRowKernels* Avx2RowKernels() { return nullptr; }
}  // namespace orba

#endif
