// A registry held in memory that a test fills, for the readers of registry
// values: each value has a type and data, and a value may be made to fail
// its read after its type and size were given.
#pragma once

#include <map>
#include <mutex>
#include <tuple>

#include "platform/registry.h"

namespace orba {

class TMemoryRegistry : public TRegistry {
 public:
  // Sets the value Name of Key (both matched without regard to ASCII case).
  // Size, when given, is the size ValueInfo reports instead of the data's.
  void Set(TRegRoot root, const std::string& key, const std::string& name, uint32_t type, std::vector<uint8_t> data,
           std::optional<uint32_t> size = std::nullopt);
  // The value's type and size are given, its read fails.
  void FailRead(TRegRoot root, const std::string& key, const std::string& name);

  std::optional<TRegValueInfo> ValueInfo(TRegRoot root, const std::string& key, const std::string& name) override;
  std::optional<std::vector<uint8_t>> ReadValue(TRegRoot root, const std::string& key,
                                                const std::string& name) override;

 private:
  struct TValue {
    TRegValueInfo Info;
    std::vector<uint8_t> Data;
    bool ReadFails = false;
  };
  using TPlace = std::tuple<TRegRoot, std::string, std::string>;
  static TPlace Place(TRegRoot root, const std::string& key, const std::string& name);

  std::mutex lock_;
  std::map<TPlace, TValue> values_;
};

}  // namespace orba
