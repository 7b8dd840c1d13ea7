// A Windows program file as the player reads it: the package resource it
// may carry found by name, and its first group icon becoming the window's
// icon: its resources found by the PE reader, each image the group names
// decoded once (BMP-style or PNG), the largest kept.
#include <span>

#include "core/files/pe_resource.h"
#include "fuzz_support.h"
#include "shell/window_icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  (void)orba::FindPeResource(file, "DUMMY", "BINTYPE");
  orba::fuzz::Refused([&] {
    orba::IconOfResources([&file](const std::string& name, const std::string& type) {
      const auto at = orba::FindPeResource(file, name, type);
      return at ? file.subspan(at->FileOffset, at->Size) : std::span<const uint8_t>();
    });
  });
  return 0;
}
