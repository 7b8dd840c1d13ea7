#include "items/custom_wipe.h"

namespace orba {
namespace {

TWipeFactory wipe_factory = nullptr;

}  // namespace

void SetWipeFactory(TWipeFactory factory) { wipe_factory = factory; }

std::unique_ptr<TCustomWipe> MakeTransition(int32_t kind, TCustomDIBX &dest, TCustomDIBX &new_page,
                                            TCustomDIBX &old_page) {
  if (wipe_factory == nullptr) return nullptr;
  return wipe_factory(kind, dest, new_page, old_page);
}

}  // namespace orba
