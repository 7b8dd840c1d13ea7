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

}  // namespace orba
