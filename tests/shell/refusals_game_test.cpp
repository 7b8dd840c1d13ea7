// The "refusals" game shows a picture past the picture budget twice: the
// refusal names the file and the limit on standard error exactly once, in
// whatever mode the player runs, and in the trace as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/picture_makers.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

TEST(RefusalsGame, ARefusedPictureIsSaidOnceOnStandardError) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("refusals", game, true);
  // 1 bit, 8192 x 8192: a few KB of PNG whose 32-bit copy alone passes the
  // 256 MiB of surfaces a picture may take under a heap ceiling of 1 GiB.
  const std::vector<uint8_t> png = test::MakePng(8192, 8192, 1, 0, [](uint32_t y, std::vector<uint8_t>& row) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = (y / 512 + i / 64) % 2 ? 0xFF : 0x00;
  });
  std::ofstream(game + "/big.brx", std::ios::binary).write(reinterpret_cast<const char*>(png.data()),
                                                           static_cast<std::streamsize>(png.size()));
  const std::string errors = game + "/stderr.txt";
  const test::CommandResult r = test::RunCommand(
      {"sh", "-c", "exec \"$1\" --headless --ticks 40 --heap-ceiling 1024 --trace - \"$2\" 2>\"$3\"", "sh",
       ORBA_PLAYER_PATH, game, errors});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string line = "big.brx: picture refused: its surfaces need more than 268435456 bytes\n";
  const std::string said = test::FileText(errors);
  EXPECT_EQ(Count(said, "orba: " + line), 1U) << said;
  EXPECT_EQ(Count(said, "refused"), 1U) << said;
  EXPECT_EQ(Count(r.output, line), 1U) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var sizes str = \"first 0x0 second 0x0\""});
}

}  // namespace
}  // namespace orba
