// The sound game: WAVE, Ogg and MIDI sounds raise OnPlayEnd when their
// length has passed on the game clock, and MovieStop holds the script while
// a faded sound lives, until a load renames the sound.
#include <map>
#include <sstream>

#include "shell/test_games.h"

namespace orba {
namespace {

// The game times (ms) at which each line of main.osb ran, in order.
std::map<int, std::vector<long>> LineTimes(const std::string& trace) {
  std::map<int, std::vector<long>> times;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find(" : main.osb(");
    if (at == 8) times[std::stoi(line.substr(at + 12))].push_back(std::stol(line.substr(0, 8), nullptr, 16));
  }
  return times;
}

TEST(SoundGame, SoundsEndOnTimeAndMovieStopGoesOnOnceALoadRenamesItsFadingSound) {
  test::TempDir dir;
  const test::CommandResult fixtures =
      test::RunPython("fixtures/sound_fixtures.py", {dir / "files"});
  ASSERT_EQ(fixtures.exit_code, 0) << fixtures.output;
  test::BuildGame("sound", dir / "game", true, {}, dir / "files");
  const test::CommandResult r = test::PlayGame(dir / "game", 400, {"--audio", dir / "mix.wav"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  auto times = LineTimes(r.output);
  // Each sound's handler (line 21) runs in the tick after its end.
  const struct {
    int start_line;
    long length;
  } sounds[] = {{3, 1000}, {6, 1000}, {9, 750}};
  ASSERT_EQ(times[21].size(), 3u) << r.output;
  for (size_t i = 0; i < 3; ++i) {
    const long waited = times[21][i] - times[sounds[i].start_line].at(0);
    EXPECT_GE(waited, sounds[i].length) << i;
    EXPECT_LE(waited, sounds[i].length + 30) << i;
  }
  // MovieStop (line 13) holds the script while the sound fades. A save 300
  // ms into the fade (line 25) is loaded a tick later (line 29): the sound
  // comes back and fades out again, renamed once more ("SCRAP_SCRAP_f"), so
  // the name MovieStop saved finds nothing and it goes on at once.
  ASSERT_EQ(times[14].size(), 1u) << r.output;
  const long saved_at = times[25].at(0) - times[13].at(0);
  ASSERT_LT(saved_at + 600, 1000);
  EXPECT_GT(times[14][0], times[29].at(0));
  EXPECT_LE(times[14][0], times[29].at(0) + 30);
  test::ExpectContains(r.output, {"sound tone_cut.wav: not a playable WAVE file"});
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var bad int = 0"});
}

}  // namespace
}  // namespace orba
