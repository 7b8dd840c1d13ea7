#include "items/effect_items.h"

#include "items/base_list.h"
#include "items/fire.h"

namespace orba {

namespace {

template <class T>
TOrbaObject* MakeEffect(TOrbaBaseList* manager) {
  return NewOrbaObject<T>(manager);
}

}  // namespace

void RegisterEffectItems() {
  RegisterCompoType(CT_FIRE, &MakeEffect<TOrbaFire>);
}

}  // namespace orba
