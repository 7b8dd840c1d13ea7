// The game builder: makes a playable game from a folder of sources. The
// settings text "orba.opb.txt" becomes the project settings file
// "orba.opb", every page listing "NAME.osb.txt" becomes the page "NAME.osb"
// (assembled together, so pages can name each other's labels), and every
// other file goes in as it is. The result is a "vf" package (game.dat) or a
// folder. docs/game-builder.md describes the layout and the settings text.
//
// Sources are UTF-8 text; they are turned into Shift-JIS when read. Paths
// handed to these routines are Shift-JIS, as everywhere in the player.
#pragma once

#include <string>
#include <vector>

#include "script/project/project_settings.h"

namespace orba {

// "orba.opb.txt", "orba.opb", ".osb.txt"
inline constexpr char kSettingsSourceName[] = "orba.opb.txt";
inline constexpr char kSettingsFileName[] = "orba.opb";
inline constexpr char kPageSourceSuffix[] = ".osb.txt";

// Reads the settings text (Shift-JIS): "Key = value" lines, "Var NAME TYPE
// VALUE" and "Folder FOLDER DISC" lines, "#" comments. Raises EAsmError
// naming FileName and the line.
TProjectSetting ParseSettingsText(const std::string& text, const std::string& file_name);

// One file of a built game: its name inside the game ("\" separators),
// and its bytes when it was built (a file copied as it is is read from the
// source folder under its name).
struct TGameEntry {
  std::string Name;
  bool Built = false;
  std::vector<uint8_t> Bytes;
};

struct TGameBuild {
  std::string SourceDir;  // with its trailing separator
  std::vector<TGameEntry> Entries;  // in name order
};

// Reads the folder and builds every entry of the game. Skip, when not empty,
// is a file of the folder left out (the package being written there).
// Raises EAsmError for a fault in a source and EOrbaError for the rest (no
// settings source, a start or exit page that is not in the game, two
// sources giving one name).
TGameBuild BuildGame(const std::string& source_dir, const std::string& skip = "");

// Writes the game as a package file (written beside Out and moved over it
// only when complete) or into the folder Out.
void WriteGamePackage(const TGameBuild& game, const std::string& out);
void WriteGameFolder(const TGameBuild& game, const std::string& out);

}  // namespace orba
