#include "core/vocab/wipe_defaults.h"

#include <array>

#include "core/vocab/vocab.h"

namespace orba {
namespace {

// Built-in pairs by kind. The meaning of each pair belongs to its kind (see
// the transition kinds in src/film/wipes): a stripe, cell or block size, a
// soft edge's width, a wave's amplitude and length, a point on the screen.
constexpr std::array<TWipeParams, kWipeKindCount> kBuiltIn = {{
    {0, 0},      // WP_NONE
    {0, 0},      // WP_FADE
    {16, 0},     // WP_BLINDH: slat height
    {16, 0},     // WP_BLINDV: slat width
    {0, 0},      // WP_CURTAINH
    {0, 0},      // WP_CURTAINV
    {0, 0},      // WP_SCROLLH
    {0, 0},      // WP_SCROLLV
    {32, 0},     // WP_GRID: cell size
    {32, 0},     // WP_GRIDH
    {32, 0},     // WP_GRIDV
    {0, 0},      // WP_DITHER
    {0, 0},      // WP_WHITE
    {0, 0},      // WP_BLACK
    {0, 0},      // WP_FLASH
    {32, 0},     // WP_MOSAIC: largest block
    {16, 0},     // WP_SUDAREH: slat height
    {16, 0},     // WP_SUDAREV: slat width
    {64, 0},     // WP_SPOT: soft edge width
    {32, 0},     // WP_MASKFADE: soft edge in grey levels
    {32, 0},     // WP_MASKWHITE
    {32, 0},     // WP_MASKBLACK
    {0, 0},      // WP_SMALL
    {0, 0},      // WP_BIG
    {12, 48},    // WP_RIPPLE: amplitude, wave length
    {12, 0},     // WP_BLURWHITE: largest blur radius
    {12, 0},     // WP_BLURBLACK
    {48, 96},    // WP_TWISTH: amplitude, wave length
    {48, 96},    // WP_TWISTV
    {40, 0},     // WP_CRACK: chip size
    {320, 240},  // WP_ZOOMIN: the point zoomed into
    {0, 0},      // WP_CLOCKHAND
    {0, 0},      // WP_RUBBERH
    {0, 0},      // WP_RUBBERV
    {0, 0},      // WP_FAN
    {0, 0},      // WP_WFAN
    {0, 0},      // WP_CIRCLE
    {40, 0},     // WP_BLOCKCOIL: block size
    {40, 12345}, // WP_BLOCKRANDOM: block size, order seed
}};

std::array<TWipeParams, kWipeKindCount> current = kBuiltIn;

bool InTable(int32_t kind) { return kind >= 0 && kind < kWipeKindCount; }

}  // namespace

TWipeParams GetWipeDefaultParams(int32_t kind) {
  return InTable(kind) ? current[static_cast<size_t>(kind)] : TWipeParams{};
}

void SetWipeDefaultParams(int32_t kind, TWipeParams params) {
  if (InTable(kind)) current[static_cast<size_t>(kind)] = params;
}

void ResetWipeDefaultParams() { current = kBuiltIn; }

}  // namespace orba
