// The "films" test game played without a window (what it does is said in
// tests/games/films/main.osb.txt).
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(FilmsGame, MotionsFilmsThatAreNotReadAndACabinetThroughASave) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("films", game, true);
  for (const char* name : {"walk.omt", "intro.omt", "menu.opm"}) test::WriteText(game + "/" + name, "not read");
  const test::CommandResult r = test::PlayGame(game, 40, {"--screenshot", dir / "shot.png"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"),
                       {"var after str = \"FALSE FALSE FALSE TRUE FALSE 40\"", "var nkids int = 2"});
  // The trace names the file, then the kind and "このファイル形式には対応していません".
  const std::string unsupported = ":\xe3\x81\x93\xe3\x81\xae\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab";
  for (const std::string line : {"walk.omt: OrbaMotion", "intro.omt: OrbaCinema", "menu.opm: OrbaPreviewMenu"})
    EXPECT_EQ(Occurrences(r.output, line + unsupported), 1u) << line << "\n" << r.output;
  test::ExpectLacks(r.output, {"not available", "rror"});
  // The box at 40; the film box is a box; the image, cinema and menu are empty.
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(44, 4), (4, 4), (21, 21), (31, 21), (41, 21), (11, 31)"),
            "[(255, 0, 0), (0, 0, 0), (0, 255, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
}

}  // namespace
}  // namespace orba
