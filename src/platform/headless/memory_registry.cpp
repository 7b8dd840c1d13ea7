#include "platform/headless/memory_registry.h"

#include <algorithm>

namespace orba {

TMemoryRegistry::TPlace TMemoryRegistry::Place(TRegRoot root, const std::string& key, const std::string& name) {
  auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
  };
  return {root, lower(key), lower(name)};
}

void TMemoryRegistry::Set(TRegRoot root, const std::string& key, const std::string& name, uint32_t type,
                          std::vector<uint8_t> data, std::optional<uint32_t> size) {
  std::lock_guard<std::mutex> guard(lock_);
  TValue& value = values_[Place(root, key, name)];
  value.Info = TRegValueInfo{type, size.value_or(static_cast<uint32_t>(data.size()))};
  value.Data = std::move(data);
  value.ReadFails = false;
}

void TMemoryRegistry::FailRead(TRegRoot root, const std::string& key, const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  values_[Place(root, key, name)].ReadFails = true;
}

std::optional<TRegValueInfo> TMemoryRegistry::ValueInfo(TRegRoot root, const std::string& key,
                                                        const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = values_.find(Place(root, key, name));
  if (found == values_.end()) return std::nullopt;
  return found->second.Info;
}

std::optional<std::vector<uint8_t>> TMemoryRegistry::ReadValue(TRegRoot root, const std::string& key,
                                                               const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = values_.find(Place(root, key, name));
  if (found == values_.end() || found->second.ReadFails) return std::nullopt;
  return found->second.Data;
}

}  // namespace orba
