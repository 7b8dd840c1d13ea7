#include "film/wipes/wipe_factory.h"

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

TWipeMaker MakerOf(int32_t kind) {
  switch (kind) {
    case WP_FADE:
    case WP_WHITE:
    case WP_BLACK:
    case WP_FLASH: return MakeFadeWipe;
    case WP_BLINDH:
    case WP_BLINDV:
    case WP_CURTAINH:
    case WP_CURTAINV:
    case WP_GRID:
    case WP_GRIDH:
    case WP_GRIDV:
    case WP_DITHER:
    case WP_SUDAREH:
    case WP_SUDAREV: return MakeStripeWipe;
    case WP_SPOT:
    case WP_CLOCKHAND:
    case WP_FAN:
    case WP_WFAN:
    case WP_CIRCLE: return MakeShapeWipe;
    case WP_SCROLLH:
    case WP_SCROLLV:
    case WP_SMALL:
    case WP_BIG:
    case WP_ZOOMIN:
    case WP_RUBBERH:
    case WP_RUBBERV: return MakeSlideWipe;
    case WP_MOSAIC:
    case WP_CRACK:
    case WP_BLOCKCOIL:
    case WP_BLOCKRANDOM: return MakeBlockWipe;
    case WP_RIPPLE:
    case WP_TWISTH:
    case WP_TWISTV: return MakeWaveWipe;
    case WP_BLURWHITE:
    case WP_BLURBLACK: return MakeBlurWipe;
    case WP_MASKFADE:
    case WP_MASKWHITE:
    case WP_MASKBLACK: return MakeMaskWipe;
    default: return nullptr;
  }
}

}  // namespace

std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                        TCustomDIBX& old_page) {
  const TWipeMaker maker = MakerOf(kind);
  if (maker == nullptr) return nullptr;
  return maker(kind, dest, new_page, old_page);
}

}  // namespace orba
