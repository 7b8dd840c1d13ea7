#include "core/streams/resource_stream.h"

#include "core/strings/sjis_case.h"

namespace orba {

namespace {
std::string ResourceKey(const std::string& name, const std::string& type) {
  return SjisUpperCase(type) + '\0' + SjisUpperCase(name);
}

}  // namespace

void TMemoryResourceProvider::Add(const std::string& name, const std::string& type, std::vector<uint8_t> bytes) {
  resources_[ResourceKey(name, type)] = std::move(bytes);
}

std::span<const uint8_t> TMemoryResourceProvider::FindResource(const std::string& name, const std::string& type) {
  auto it = resources_.find(ResourceKey(name, type));
  if (it == resources_.end()) return {};
  return it->second;
}

TKsBigResourceStream::TKsBigResourceStream(std::shared_ptr<TResourceProvider> module,
                                           const std::string& resource_name, const std::string& resource_type)
    : TKsBigResourceStream(module, resource_name, resource_type,
                           module ? module->FindResource(resource_name, resource_type) : std::span<const uint8_t>()) {}

TKsBigResourceStream::TKsBigResourceStream(std::shared_ptr<TResourceProvider> module,
                                           const std::string& resource_name, const std::string& resource_type,
                                           std::span<const uint8_t> bytes)
    : module_(std::move(module)),
      resource_name_(resource_name),
      resource_type_(resource_type),
      inner_(bytes.data(), static_cast<int64_t>(bytes.size())) {}

}  // namespace orba

