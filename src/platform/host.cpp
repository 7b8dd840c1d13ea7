#include "platform/host.h"

#include "platform/service_slot.h"

namespace orba {
namespace {

TServiceSlot<THostServices>& Slot() {
  static TServiceSlot<THostServices> slot("host services");
  return slot;
}

}  // namespace

THostServices& Host() { return Slot().Get(); }

THostServices* InstalledHost() { return Slot().Find(); }

std::shared_ptr<THostServices> SetHostServices(std::shared_ptr<THostServices> host) {
  return Slot().Set(std::move(host));
}

}  // namespace orba
