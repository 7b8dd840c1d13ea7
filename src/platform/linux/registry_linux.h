// The registry on Linux, which has none: no key and no value exists, so the
// player reads every setting it would find there as missing.
#pragma once

#include "platform/registry.h"

namespace orba {

class TLinuxRegistry : public TRegistry {
 public:
  std::optional<TRegValueInfo> ValueInfo(TRegRoot, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::vector<uint8_t>> ReadValue(TRegRoot, const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

}  // namespace orba
