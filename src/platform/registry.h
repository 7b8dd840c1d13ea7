// The system registry the player reads a few settings from: named values
// under keys, below a root. Linux has no registry: the back end installed
// there (platform/linux/registry_linux.h) holds no values, so every read
// fails and the reader goes on as it does for a missing value. Tests fill a
// memory back end (platform/headless/memory_registry.h).
//
// Keys and value names are Shift-JIS, "\" separating a key's parts, matched
// without regard to letter case; a value's data is its bytes as stored (a
// string value with its terminating zero byte).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orba {

enum class TRegRoot : uint8_t { LocalMachine, CurrentUser };

// Value types, as the registry numbers them.
enum TRegType : uint32_t {
  kRegNone = 0,
  kRegString = 1,
  kRegExpandString = 2,  // a string with %VARIABLE% references
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiString = 7,
};

struct TRegValueInfo {
  uint32_t Type = kRegNone;
  uint32_t Size = 0;  // bytes of data
};

class TRegistry {
 public:
  virtual ~TRegistry() = default;
  // The type and size of a value; nothing when the key or the value is
  // missing or cannot be asked for.
  virtual std::optional<TRegValueInfo> ValueInfo(TRegRoot root, const std::string& key, const std::string& name) = 0;
  // The data of a value; nothing when it cannot be read.
  virtual std::optional<std::vector<uint8_t>> ReadValue(TRegRoot root, const std::string& key,
                                                        const std::string& name) = 0;
};

// The installed registry; raises std::logic_error when none is.
TRegistry& Registry();
// Installs Registry (nullptr removes it); returns the previous one.
std::shared_ptr<TRegistry> SetRegistry(std::shared_ptr<TRegistry> registry);

}  // namespace orba
