// The effect items (fire, particle emitter, wave) for the component factory.
#pragma once

namespace orba {

// Lets the component factory create fires (CT_FIRE), particle emitters
// (CT_PARTICLE) and waves (CT_WAVE).
void RegisterEffectItems();

}  // namespace orba
