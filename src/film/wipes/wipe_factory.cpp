#include "film/wipes/wipe_factory.h"

#include <array>

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
