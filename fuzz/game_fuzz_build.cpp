// The game builder for the whole-player fuzzer, in a unit of its own: the
// builder's and the project's headers each name the settings file.
#include <filesystem>

#include "authoring/game_builder.h"
#include "fuzz_support.h"

namespace orba::fuzz {

bool BuildFuzzGame(const std::string& source_dir, const std::string& out, bool package) {
  try {
    if (package) {
      std::filesystem::create_directories(out);
      WriteGamePackage(BuildGame(source_dir), out + "/game.dat");
    } else {
      WriteGameFolder(BuildGame(source_dir), out);
    }
    return true;
  } catch (const EOrbaError&) {
    return false;  // sources the builder refuses (a loop without its end)
  }
}

}  // namespace orba::fuzz
