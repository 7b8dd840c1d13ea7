#include "platform/registry.h"

#include "platform/service_slot.h"

namespace orba {
namespace {

TServiceSlot<TRegistry>& Slot() {
  static TServiceSlot<TRegistry> slot("registry");
  return slot;
}

}  // namespace

TRegistry& Registry() { return Slot().Get(); }

std::shared_ptr<TRegistry> SetRegistry(std::shared_ptr<TRegistry> registry) {
  return Slot().Set(std::move(registry));
}

}  // namespace orba
