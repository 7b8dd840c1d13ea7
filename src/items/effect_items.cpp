#include "items/effect_items.h"

#include "items/base_list.h"
#include "items/fire.h"
#include "items/particle.h"
#include "items/wave.h"

namespace orba {

namespace {

template <class T>
TOrbaObject* MakeEffect(TOrbaBaseList* manager) {
  return NewOrbaObject<T>(manager);
}

}  // namespace

void RegisterEffectItems() {
  RegisterCompoType(CT_FIRE, &MakeEffect<TOrbaFire>);
  RegisterCompoType(CT_PARTICLE, &MakeEffect<TOrbaParticle>);
  RegisterCompoType(CT_WAVE, &MakeEffect<TOrbaWave>);
}

}  // namespace orba
