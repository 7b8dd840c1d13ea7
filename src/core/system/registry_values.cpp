#include "core/system/registry_values.h"

#include <algorithm>

namespace orba {

bool RegReadString(TRegRoot root, const std::string& key, const std::string& name, std::string& value,
                   uint32_t type1, uint32_t type2) {
  TRegistry& registry = Registry();
  const std::optional<TRegValueInfo> info = registry.ValueInfo(root, key, name);
  if (!info || (info->Type != type1 && info->Type != type2)) return false;
  if (info->Size < 2) {
    value.clear();
    return true;
  }
  const std::optional<std::vector<uint8_t>> data = registry.ReadValue(root, key, name);
  if (!data) return false;
  // Size - 1 bytes, never more than the read gave: a value that shrank
  // between the two questions is not read beyond its end.
  const size_t n = std::min<size_t>(info->Size - 1, data->size());
  value.assign(data->begin(), data->begin() + static_cast<std::ptrdiff_t>(n));
  return true;
}

}  // namespace orba
