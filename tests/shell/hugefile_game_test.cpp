// The "hugefile" game over text files and tables planted after its build
// that no script could hold (a sparse file of 1.2 GB, a packaged one that
// unpacks to as much, 30 MB and 16 MiB of line breaks, 100000 columns): each
// is refused with a trace line as a missing file is, the game goes on, and
// the player's peak memory stays bounded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::kAddressSanitizer;

constexpr int64_t kMB = test::kPeakMB;

// Writes Folder/game.dat: a package (directory version 0, every entry
// packed) of one entry "bomb.txt" that unpacks to the text given, or with
// "--zeros" to 1.2 GB of zeros from about five megabytes.
const char* const kPlantPackage =
    "import struct, sys, zlib\n"
    "c = zlib.compressobj(1)\n"
    "if sys.argv[2] == '--zeros':\n"
    "    z = b''.join(c.compress(bytes(1 << 20)) for _ in range(1144)) + c.flush()\n"
    "else:\n"
    "    z = c.compress(sys.argv[2].encode()) + c.flush()\n"
    "name = b'bomb.txt'\n"
    "start = 4 + 4 + len(name) + 8\n"
    "with open(sys.argv[1] + '/game.dat', 'wb') as f:\n"
    "    f.write(struct.pack('<ii', 1, len(name)) + name + struct.pack('<ii', start, start + len(z)) + z)\n";

void WriteRepeated(const std::string& path, const std::string& head, char c, size_t count) {
  std::ofstream out(path, std::ios::binary);
  out << head << std::string(count, c);
}

// Builds the game into Game with every file it reads a two-line text, or
// (Hostile) the planted files the game is about.
void PlantGame(const std::string& game, bool hostile) {
  test::BuildGame("hugefile", game, true);
  const std::string tiny = "one\r\ntwo\r\n";
  test::WriteText(game + "/tiny.txt", tiny);
  const test::CommandResult plant = test::RunCommand({ORBA_PYTHON, "-c", kPlantPackage, game, hostile ? "--zeros" : tiny});
  ASSERT_EQ(plant.exit_code, 0) << plant.output;
  if (!hostile) {
    for (const char* name : {"huge.txt", "breaks.txt", "lines.txt", "limit.txt", "columns.tsv", "ten.tsv"})
      test::WriteText(game + "/" + name, tiny);
    return;
  }
  // 1.2 GB of zeros that cost no disk, as a few bytes in a zip unpack to.
  test::WriteText(game + "/huge.txt", "");
  ASSERT_EQ(::truncate((game + "/huge.txt").c_str(), 1200000000), 0);
  WriteRepeated(game + "/breaks.txt", "", '\n', 30000000);
  WriteRepeated(game + "/lines.txt", "", '\n', size_t{16} << 20);
  WriteRepeated(game + "/limit.txt", "", '\n', size_t{1} << 20);
  std::string columns;
  for (int i = 0; i < 100000; ++i) columns += "c" + std::to_string(i) + " bool\t";
  test::WriteText(game + "/columns.tsv", columns + "\n1\n");
  // 100000 rows of ten text columns of the default width: 8.9 MB of text,
  // 81 MB of full records, held in what the cells use.
  std::string ten = "c0\tc1\tc2\tc3\tc4\tc5\tc6\tc7\tc8\tc9\n";
  for (int i = 0; i < 100000; ++i) {
    const std::string cell = "r" + std::to_string(1000000 + i);
    for (int c = 0; c < 10; ++c) ten += cell + (c < 9 ? "\t" : "\n");
  }
  test::WriteText(game + "/ten.tsv", ten);
}

TEST(HugeFileGame, WhatCannotBeHeldIsRefusedInBoundedMemoryAndTheGameGoesOn) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  PlantGame(top + "/tiny", false);
  PlantGame(top + "/game", true);
  const std::string game = top + "/game";

  const test::CommandResult base = test::PlayGameUnquarantined(top + "/tiny", 3);
  const test::CommandResult r = test::PlayGameUnquarantined(game, 3);
  ASSERT_EQ(base.exit_code, 0) << base.output;
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var log str = \"tiny TRUEone huge FALSEFALSEFALSEFALSE2one limit TRUE1048576TRUE2"
                  " tsv TRUEFALSEFALSEFALSEFALSEFALSETRUE1 ten TRUE100000 cleared FALSE0\""});
  const std::string refused = "text file refused: ";
  ExpectContains(r.output, {refused + "huge.txt: more than 16777216 bytes\n",
                            refused + "bomb.txt: more than 16777216 bytes\n",
                            refused + "breaks.txt: more than 16777216 bytes\n",
                            refused + "lines.txt: more than 1048576 lines\n",
                            "table import refused: t: more than 65536 columns\n"});
  // Without the address sanitizer the whole player stays below 300 MB.
  // With it, whose shadow memory raises every figure, what the files add to
  // a run that reads two-line files stays below 200 MB, which with the
  // player's own hundred leaves the whole below 300 MB.
  RecordProperty("peak_kb", std::to_string(r.peak_rss_kb));
  RecordProperty("tiny_peak_kb", std::to_string(base.peak_rss_kb));
  if (test::kAddressSanitizer) {
    EXPECT_LT(r.peak_rss_kb - base.peak_rss_kb, 200 * kMB) << r.peak_rss_kb << " against " << base.peak_rss_kb;
  } else {
    EXPECT_LT(r.peak_rss_kb, 300 * kMB);
  }
}

}  // namespace
}  // namespace orba
