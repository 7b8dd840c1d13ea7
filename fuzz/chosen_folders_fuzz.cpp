// The player's record of chosen folders: a text it reads whole is written
// back byte for byte (one of the older form under the current header), and
// a choice added to it keeps it a record within its size.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/system/chosen_folders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<std::vector<orba::TChosenFolder>> choices = orba::ParseChosenFolders(text);
  if (!choices) return 0;
  std::string same(text);
  const std::string_view older = orba::kChosenFoldersHeaderFolders;
  if (same.compare(0, older.size(), older) == 0) same.replace(0, older.size(), orba::kChosenFoldersHeader);
  if (orba::FormatChosenFolders(*choices) != same) std::abort();
  if (!orba::AddChosenFolder(*choices, {"/game", "/chosen"})) std::abort();
  if (!orba::ParseChosenFolders(orba::FormatChosenFolders(*choices))) std::abort();
  return 0;
}
