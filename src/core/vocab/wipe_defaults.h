// The two integer parameters every screen-transition kind takes when a Flip
// gives none of its own. The project sets the pair of WP_ZOOMIN to the centre
// of the game screen at start-up; everything else keeps the built-in pairs.
#pragma once

#include <cstdint>

namespace orba {

struct TWipeParams {
  int32_t P0 = 0, P1 = 0;
  bool operator==(const TWipeParams&) const = default;
};

// The current pair of Kind; (0, 0) for a kind outside WP_NONE .. WP_BLOCKRANDOM.
TWipeParams GetWipeDefaultParams(int32_t kind);
// Sets the pair of Kind; a kind outside the table changes nothing.
void SetWipeDefaultParams(int32_t kind, TWipeParams params);
// Every kind back to its built-in pair (WP_ZOOMIN: the centre of 640 x 480).
void ResetWipeDefaultParams();

}  // namespace orba
