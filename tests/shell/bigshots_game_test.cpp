// The "bigshots" game over files planted after its build: a capture asked
// at 8192 x 8192 of a 64 x 48 screen fails as a SaveScreen past the picture
// budget; a capture registered in a sparse install record of 1.5 GB leaves
// the record unread; a 558 KB run-length bitmap of 8192 x 8192 used as a
// cursor is refused from its header while a 16 x 16 one shows. The game
// goes on, and the player's peak memory stays near that of the same game
// over small files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/files/install_record.h"
#include "shell/peak_checks.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;

constexpr off_t kHugeInstallBytes = 1500000000;

// Writes argv[1] as a BMP of argv[2] x argv[2] pixels, 8 bits run-length
// encoded: each row runs of 255 pixels of index 1, an end of line; an end
// of picture after the last row.
const char* const kRunLengthBmp =
    "import struct, sys\n"
    "side = int(sys.argv[2])\n"
    "row = b''\n"
    "left = side\n"
    "while left > 0:\n"
    "    n = min(255, left); row += bytes([n, 1]); left -= n\n"
    "data = (row + b'\\x00\\x00') * side + b'\\x00\\x01'\n"
    "table = b'\\x00\\x00\\x00\\x00' + b'\\xff\\xff\\xff\\x00' * 255\n"
    "info = struct.pack('<IiiHHIIiiII', 40, side, side, 1, 8, 1, len(data), 2835, 2835, 256, 0)\n"
    "head = b'BM' + struct.pack('<IHHI', 14 + 40 + len(table) + len(data), 0, 0, 14 + 40 + len(table))\n"
    "open(sys.argv[1], 'wb').write(head + info + table + data)\n";

void PlantGame(const std::string& game, bool huge) {
  test::BuildGame("bigshots", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c",
                              "import sys\nfrom PIL import Image\n"
                              "Image.new('RGB', (16, 16), (200, 100, 50)).save(sys.argv[1], 'BMP')\n",
                              game + "/button.brx"}).exit_code, 0);
  for (const auto& [name, side] : {std::pair<std::string, int>{"huge.cur", huge ? 8192 : 16}, {"small.cur", 16}}) {
    const test::CommandResult made =
        test::RunCommand({ORBA_PYTHON, "-c", kRunLengthBmp, game + "/" + name, std::to_string(side)});
    ASSERT_EQ(made.exit_code, 0) << made.output;
  }
  TOrbaInstallSet install;
  install.TitleId = "bigshots";
  install.SaveToFile(game + "/install.dat");
  if (huge) {
    ASSERT_EQ(::truncate((game + "/install.dat").c_str(), kHugeInstallBytes), 0);
  }
}

TEST(BigShotsGame, CapturesAndCursorsPastWhatIsHeldAreRefusedAndTheGameGoesOn) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = top + "/game", tiny = top + "/tiny";
  PlantGame(tiny, false);
  PlantGame(game, true);
  EXPECT_GT(fs::file_size(game + "/huge.cur"), 550000u);
  // The pointer goes over the large cursor's button, then the small one's.
  test::WriteText(top + "/input.txt", "tick 6: mouse move 4 4\ntick 8: mouse move 36 4\n");
  // Under a heap ceiling of 1 GiB a picture may take 256 MiB, whatever this
  // machine's ceiling.
  const std::vector<std::string> options = {"--input", top + "/input.txt", "--heap-ceiling", "1024"};
  const test::CommandResult base = test::PlayGameUnquarantined(tiny, 12, options);
  const test::CommandResult r = test::PlayGameUnquarantined(game, 12, options);
  ASSERT_EQ(base.exit_code, 0) << base.output;
  ASSERT_EQ(r.exit_code, 0) << r.output;

  ExpectContains(test::DumpSave(tiny + "/save.dat"), {"var log str = \"huge FALSE fits TRUE reg TRUE end\""});
  // The record refused, the capture written is not registered and the
  // command fails as it does for a record that cannot be read.
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"huge FALSE fits TRUE end\""});
  ExpectContains(r.output, {"huge.brx: picture refused: its surfaces need more than 268435456 bytes\n",
                            "file refused: " + game + "/install.dat: more than 16777216 bytes\n",
                            "huge.cur: cursor refused: 8192 x 8192 is larger than 256 x 256\n",
                            "cursor small.cur 16x16\n"});
  EXPECT_FALSE(fs::exists(game + "/huge.brx"));
  EXPECT_TRUE(fs::exists(game + "/fits.brx"));
  // Over small files the capture is registered; the huge record is left as
  // it was.
  TOrbaInstallSet install;
  install.LoadFromFile(tiny + "/install.dat");
  EXPECT_EQ(install.Files, std::vector<std::string>{"reg.brx"});
  EXPECT_EQ(fs::file_size(game + "/install.dat"), static_cast<uintmax_t>(kHugeInstallBytes));

  // Neither the capture, the record nor the cursor is made or read: the
  // peak stays within 40 MB of the small game's (an eighth more under the
  // address sanitizer's shadow).
  RecordProperty("peak_kb", std::to_string(r.peak_rss_kb));
  RecordProperty("tiny_peak_kb", std::to_string(base.peak_rss_kb));
  test::ExpectPeakWithin(r, base, 40);
}

}  // namespace
}  // namespace orba
