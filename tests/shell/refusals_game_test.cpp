// The "refusals" game shows a picture past the picture budget twice: the
// refusal names the file and the limit on standard error exactly once, in
// whatever mode the player runs, and in the trace as before. The
// "refusedkinds" game shows a picture of every kind the player refuses
// twice, plays sounds and movies that cannot be played (by their bytes or
// by an extension no player reads) twice and gives a tile and a button
// pictures they do not read twice: each is said once, with its reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/text_convert.h"
#include "shell/said_text.h"
#include "shell/test_games.h"
#include "support/picture_makers.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::CountOf;

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
  EXPECT_EQ(CountOf(said, "orba: " + line), 1U) << said;
  EXPECT_EQ(CountOf(said, "refused"), 1U) << said;
  EXPECT_EQ(CountOf(r.output, line), 1U) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var sizes str = \"first 0x0 second 0x0\""});
}

// Whatever refuses a picture (its size, its reader, its damage, a name the
// image item does not read), the author is told once, on standard error,
// where a window shows only an empty item.
TEST(RefusalsGame, EveryKindOfRefusedPictureIsSaidOnceWithItsReason) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  ASSERT_EQ(test::RunPython("fixtures/refused_pictures_fixture.py", {"write", dir / "files"}).exit_code, 0);
  test::BuildGame("refusedkinds", game, true, {}, dir / "files");
  const test::CommandResult r =
      // Under a ceiling of 1 GiB a picture may take 256 MiB on any machine.
      test::RunCommand({"sh", "-c", "exec \"$1\" --headless --ticks 40 --heap-ceiling 1024 \"$2\" 2>&1", "sh",
                        ORBA_PLAYER_PATH, game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const struct {
    const char* name;
    const char* why;
  } refused[] = {
      {"png9000.brx", "Read Image (PNG): 9000 x 9000 pixels, more than 8192 x 8192"},
      {"png8200.brx", "Read Image (PNG): 8200 x 8200 pixels, more than 8192 x 8192"},
      {"jpg9000.brx", "JPEG: unsupported image size or layout"},
      {"bmp9000.brx", "its surfaces need more than 268435456 bytes"},
      {"corrupt.brx", "Read Image (PNG): Read Error"},
      {"cg0.png", "not a Brix picture (.brx), the only pictures an image item reads"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CountOf(r.output, "orba: " + std::string(c.name) + ": picture refused: " + c.why + "\n"), 1U) << r.output;
    EXPECT_EQ(CountOf(r.output, std::string(c.name) + ":"), 1U) << r.output;
  }
  // Nothing else is said, and every item stayed 0 x 0 both times.
  EXPECT_EQ(CountOf(r.output, "\n"), std::size(refused)) << r.output;
  std::string sizes;
  for (size_t i = 0; i < 2 * std::size(refused); ++i) sizes += "0x0 ";
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var sizes str = \"" + sizes + "\""});
}

// "おと.ogg" in UTF-8, as standard error says it and the disk names it.
constexpr char kJapaneseName[] = "\xe3\x81\x8a\xe3\x81\xa8.ogg";

// A sound or movie that cannot be played leaves its item silent: each file
// is said once, with its reason, and traced each time it is refused. A file
// the system does not open ("locked.wav", which may not be read) says the
// system's reason, not that there is no file.
TEST(RefusalsGame, EverySoundAndMovieThatCannotBePlayedIsSaidOnceWithItsReason) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("refusedkinds", game, true, {"StartPage = media.osb"});
  const struct {
    const char *name, *bytes, *kind;
    std::string why;
  } refused[] = {
      {"cut.wav", "RIFF\xFF\xFF\xFF\x7FWAVEfmt ", "sound", "not a playable WAVE file: the RIFF size exceeds the file"},
      {"noise.ogg", "no sound", "sound", "not a playable WAVE file: no RIFF WAVE header"},
      {kJapaneseName, "no sound", "sound", "not a playable WAVE file: no RIFF WAVE header"},
      {"bad.mid", "MThd and no more", "sound", "not a playable MIDI file: the header size exceeds the file"},
      {"bad.wma", "no sound", "sound", "not a media file libavformat reads"},
      {"song.xyz", "no sound", "sound", "no player reads the extension \".xyz\""},
      {"garbage.avi", "no movie", "video", "not a media file libavformat reads"},
      {"film.xyz", "no movie", "video", "not a media file libavformat reads"},
      {"locked.wav", "RIFF", "sound", game + "/locked.wav: Permission denied"},
  };
  for (const auto& c : refused) test::WriteText(game + "/" + c.name, c.bytes);
  fs::permissions(game + "/locked.wav", fs::perms::none);
  const test::CommandResult r =
      test::RunHeedingPermissions({ORBA_PLAYER_PATH, "--headless", "--ticks", "10", "--trace", "-", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    const std::string why = c.why + "\n";
    EXPECT_EQ(CountOf(r.output, "orba: " + std::string(c.name) + ": " + c.kind + " refused: " + why), 1U) << r.output;
    // The trace names the file as the game does, in Shift-JIS.
    EXPECT_EQ(CountOf(r.output, std::string(c.kind) + " " + Utf8ToSjis(c.name) + ": " + why), 2U) << r.output;
  }
  EXPECT_EQ(CountOf(r.output, "orba: "), std::size(refused)) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var rounds int = 2"});
}

// A tile, and each strip of a button, named a picture that is no Brix
// picture stays empty as an image item does, and says so once per name.
TEST(RefusalsGame, APictureATileOrAButtonDoesNotReadIsSaidOncePerName) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("refusedkinds", game, true, {"StartPage = items.osb"});
  const test::CommandResult r = test::PlayGameJoined(game, 10);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string why = ": picture refused: not a Brix picture (.brx), the only pictures an image item reads\n";
  const char* const refused[] = {"tile.bmp", "up.bmp", "hover.png", "down.jpg", "clicked.gif"};
  for (const char* name : refused) EXPECT_EQ(CountOf(r.output, "orba: " + std::string(name) + why), 1U) << name << r.output;
  EXPECT_EQ(CountOf(r.output, "orba: "), std::size(refused)) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var rounds int = 2"});
}

}  // namespace
}  // namespace orba
