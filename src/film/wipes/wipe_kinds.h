// The families of transition kinds; each maker builds the kinds of its
// family (the kind's code tells which).
#pragma once

#include <cstdint>
#include <memory>

#include "film/wipes/wipe.h"

namespace orba {

using TWipeMaker = std::unique_ptr<TWipe> (*)(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                              TCustomDIBX& old_page);

// WP_FADE, WP_WHITE, WP_BLACK, WP_FLASH.
std::unique_ptr<TWipe> MakeFadeWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_BLINDH/V, WP_CURTAINH/V, WP_GRID, WP_GRIDH/V, WP_DITHER, WP_SUDAREH/V.
std::unique_ptr<TWipe> MakeStripeWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_SPOT, WP_CLOCKHAND, WP_FAN, WP_WFAN, WP_CIRCLE.
std::unique_ptr<TWipe> MakeShapeWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_SCROLLH/V, WP_SMALL, WP_BIG, WP_ZOOMIN, WP_RUBBERH/V.
std::unique_ptr<TWipe> MakeSlideWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_MOSAIC, WP_CRACK, WP_BLOCKCOIL, WP_BLOCKRANDOM.
std::unique_ptr<TWipe> MakeBlockWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_RIPPLE, WP_TWISTH/V.
std::unique_ptr<TWipe> MakeWaveWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_BLURWHITE, WP_BLURBLACK.
std::unique_ptr<TWipe> MakeBlurWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);
// WP_MASKFADE, WP_MASKWHITE, WP_MASKBLACK.
std::unique_ptr<TWipe> MakeMaskWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                    TCustomDIBX& old_page);

}  // namespace orba
