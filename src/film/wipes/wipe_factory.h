// The screen transitions of kinds WP_FADE .. WP_BLOCKRANDOM, made for the
// object manager through the factory InitFilmGlobals installs.
#pragma once

#include <cstdint>
#include <memory>

#include "items/custom_wipe.h"

namespace orba {

// A transition of Kind from OldPage to NewPage drawn into Dest; nullptr for
// kinds outside 1 .. 38. Its parameters start as the kind's default pair.
std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                        TCustomDIBX& old_page);

}  // namespace orba
