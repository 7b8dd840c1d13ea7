// A small reader of the resource directory of a Windows program file (PE),
// enough to reach a package that a Windows game carries as a resource of its
// program. Only reading: the file is mapped and the resource's bytes are
// handed out in place.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/streams/resource_stream.h"

namespace orba {

struct TPeResourceLocation {
  uint64_t FileOffset = 0;  // first byte of the resource in the file
  uint32_t Size = 0;
};

// Finds the resource (Name, Type) in the bytes of a PE file: the first
// language of that name under that type. Names compare case-insensitively; a
// name or type "#123" (or all digits) stands for the numeric id 123; an
// empty name takes the type's first (as Windows takes a program's first
// group icon for its own). Damaged
// or foreign files, and resources outside the file, give nullopt.
std::optional<TPeResourceLocation> FindPeResource(std::span<const uint8_t> file, const std::string& name,
                                                  const std::string& type);

// The resources of a PE program file on disk. The file is mapped read-only
// for the provider's life.
class TPeResourceProvider : public TResourceProvider {
 public:
  // Opens and maps the file (a Windows-form path); nullptr when it cannot be
  // opened or is no PE file.
  static std::shared_ptr<TPeResourceProvider> Open(const std::string& path);
  ~TPeResourceProvider() override;

  std::span<const uint8_t> FindResource(const std::string& name, const std::string& type) override;
  // Where the resource lies in the file (to read it again by file name).
  std::optional<TPeResourceLocation> Locate(const std::string& name, const std::string& type) const;
  // The disk path of the mapped file.
  const std::string& DiskPath() const { return disk_path_; }

 private:
  TPeResourceProvider(std::string disk_path, const uint8_t* data, size_t size)
      : disk_path_(std::move(disk_path)), data_(data), size_(size) {}
  std::string disk_path_;
  const uint8_t* data_;
  size_t size_;
};

}  // namespace orba
