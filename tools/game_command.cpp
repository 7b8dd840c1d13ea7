// orbatool game build: makes a game package (or folder) from a folder of
// sources: the settings text, page listings and the game's other files.
#include <cstdio>
#include <string>
#include <vector>

#include "authoring/game_builder.h"
#include "orbatool.h"
#include "platform/text_convert.h"

namespace {

constexpr char kUsage[] =
    "usage: orbatool game build [--folder] DIR -o OUT\n"
    "  Builds orba.opb from DIR/orba.opb.txt and every page NAME.osb from\n"
    "  NAME.osb.txt, and packs them with the other files of DIR into the\n"
    "  package OUT (game.dat), or with --folder writes them into the folder OUT.\n"
    "  See docs/game-builder.md.\n";

int GameCommand(const std::vector<std::string>& args) {
  std::string dir, out;
  bool folder = false, bad = args.empty() || args[0] != "build";
  for (size_t i = 1; !bad && i < args.size(); ++i) {
    if (args[i] == "--folder") {
      folder = true;
    } else if (args[i] == "-o" && i + 1 < args.size()) {
      out = args[++i];
    } else if (dir.empty()) {
      dir = args[i];
    } else {
      bad = true;
    }
  }
  if (bad || dir.empty() || out.empty()) orbatool::BadUsage();
  const std::string out_sjis = orba::Utf8ToSjis(out);
  const orba::TGameBuild game = orba::BuildGame(orba::Utf8ToSjis(dir), folder ? "" : out_sjis);
  if (folder) {
    orba::WriteGameFolder(game, out_sjis);
  } else {
    orba::WriteGamePackage(game, out_sjis);
  }
  for (const orba::TGameEntry& e : game.Entries) {
    std::printf("%s\t%s\n", e.Built ? "built" : "copied", orba::SjisToUtf8(e.Name).c_str());
  }
  return 0;
}

const orbatool::OrbaToolCommand kGame("game", "build a game package from a folder of sources", kUsage, GameCommand);

}  // namespace
