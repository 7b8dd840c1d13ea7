// The channel fields a pixel depth blends, bits in place, and the
// per-channel blends shared by the row kernels and the stretched, rotated,
// tiled and indexed draws of the drawing surface. At 32 bits all four bytes
// are channels; at 8 bits the one byte is the blue field of the 8-8-8 masks.
#pragma once

#include <algorithm>
#include <cstdint>

namespace orba {

struct TChannelSet {
  int Count;
  uint32_t Mask[4];
};

inline TChannelSet ChannelsFor(int32_t bits) {
  switch (bits) {
    case 15: return {3, {0x7C00u, 0x03E0u, 0x001Fu, 0}};
    case 16: return {3, {0xF800u, 0x07E0u, 0x001Fu, 0}};
    case 24: return {3, {0xFF0000u, 0x00FF00u, 0x0000FFu, 0}};
    case 32: return {4, {0xFFu, 0xFF00u, 0xFF0000u, 0xFF000000u}};
    default: return {1, {0xFFu, 0, 0, 0}};
  }
}

// Depths that follow the row-kernel rules of the drawing surface.
inline bool HasRowKernelRules(int32_t bits) { return bits == 15 || bits == 16 || bits == 32; }

// ((S x w) + (D x (255 - w))) shr 8 per channel, masked (w 0..255).
inline uint32_t BlendPixel(uint32_t s, uint32_t d, uint32_t w, const TChannelSet& c) {
  uint32_t r = 0;
  for (int i = 0; i < c.Count; ++i) {
    const uint64_t m = c.Mask[i];
    r |= static_cast<uint32_t>((((s & m) * w + (d & m) * (255u - w)) >> 8) & m);
  }
  return r;
}

// D + ((S x w) shr 8, masked) per channel, limited to the channel mask.
inline uint32_t AddPixel(uint32_t d, uint32_t s, uint32_t w, const TChannelSet& c) {
  uint32_t r = 0;
  for (int i = 0; i < c.Count; ++i) {
    const uint64_t m = c.Mask[i];
    r |= static_cast<uint32_t>(std::min<uint64_t>((d & m) + ((((s & m) * w) >> 8) & m), m));
  }
  return r;
}

}  // namespace orba
