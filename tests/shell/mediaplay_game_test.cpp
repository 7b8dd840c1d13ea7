// The mediaplay game: sounds stored in the package (a WAVE and an Ogg file
// kept as they are, a packed MIDI file) play through MediaPlay, read from
// the package as they play; the mix the headless run writes holds each pass.
// A finished sound given Repeat plays again from its start.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "media/midi_manager.h"
#include "media/wave_reader.h"
#include "shell/test_games.h"

namespace orba {
namespace {

struct TBurst {
  long StartMs, LengthMs;
};

// The stretches of the mix that sound, in 10 ms steps.
std::vector<TBurst> Bursts(const std::string& wav) {
  std::unique_ptr<TDecoder> mix = MakeWaveDecoder(test::ReadFileBytes(wav));
  const size_t step = static_cast<size_t>(mix->Rate() / 100);
  std::vector<float> frames(step * 2);
  std::vector<TBurst> bursts;
  long at = 0, start = -1;
  for (; mix->Read(frames.data(), step) == step; at += 10) {
    float peak = 0;
    for (float v : frames) peak = std::max(peak, std::abs(v));
    if (peak > 0.003f && start < 0) start = at;
    if (peak <= 0.003f && start >= 0) {
      bursts.push_back({start, at - start});
      start = -1;
    }
  }
  if (start >= 0) bursts.push_back({start, at - start});
  return bursts;
}

// Builds the game with the sound files beside its pages, the start page
// given when not empty.
void BuildWithSounds(const test::TempDir& dir, const std::string& start_page) {
  const test::CommandResult fixtures = test::RunPython("fixtures/sound_fixtures.py", {dir / "sounds"});
  ASSERT_EQ(fixtures.exit_code, 0) << fixtures.output;
  std::filesystem::create_directories(dir / "files");
  for (const char* name : {"tone.wav", "tone.ogg", "song.mid"})
    std::filesystem::copy_file(dir / "sounds" + "/" + name, dir / "files" + "/" + name);
  std::vector<std::string> settings;
  if (!start_page.empty()) settings.push_back("StartPage = " + start_page);
  test::BuildGame("mediaplay", dir / "game", false, settings, dir / "files");
}

TEST(MediaPlayGame, PackagedSoundsPlayFromTheStartOnMediaPlay) {
  test::TempDir dir;
  BuildWithSounds(dir, "");
  const test::CommandResult r = test::PlayGame(dir / "game", 400, {"--audio", dir / "mix.wav"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectLacks(r.output, {"sound tone", "sound song"});  // every file opened
  // The paused WAVE file is silent for its 300 ms wait, then plays whole;
  // the Ogg file plays 500 ms, again from its start, and once more after its
  // end; the MIDI song (0.75 s) sounds when a sound font is installed. The
  // waits of 200 ms part the passes.
  std::vector<long> lengths{1000, 1500, 1000};
  if (!TMidiManager::FindSoundFont().empty()) lengths.push_back(750);
  const std::vector<TBurst> bursts = Bursts(dir / "mix.wav");
  ASSERT_EQ(bursts.size(), lengths.size()) << r.output;
  EXPECT_GE(bursts[0].StartMs, 270);
  for (size_t i = 0; i < bursts.size(); ++i) {
    EXPECT_NEAR(bursts[i].LengthMs, lengths[i], 30) << i;
    if (i > 0) {
      EXPECT_NEAR(bursts[i].StartMs - bursts[i - 1].StartMs - bursts[i - 1].LengthMs, 200, 40) << i;
    }
  }
  // Each pass ends with OnPlayEnd, the silent MIDI song too.
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var plays int = 4"});
}

// A WAVE and an Ogg file of 1 s, each given Repeat 300 ms after its end,
// start over at once from 0 and play (read 500 ms later), and once Repeat
// is taken back end a second time: the mix holds two whole passes of each,
// 300 ms apart, and OnPlayEnd comes at each end.
TEST(MediaPlayGame, AFinishedSoundGivenRepeatPlaysAgainFromItsStart) {
  test::TempDir dir;
  BuildWithSounds(dir, "repeat.osb");
  const test::CommandResult r = test::PlayGame(dir / "game", 420, {"--audio", dir / "mix.wav"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string dump = test::DumpSave(dir / "game/save.dat");
  for (const char* sound : {"w", "o"}) {
    SCOPED_TRACE(sound);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dump, m, std::regex(std::string("var ") + sound + "0 str = \"(\\d+) (\\w+)\"")))
        << dump;
    EXPECT_EQ(m[1].str() + " " + m[2].str(), "0 TRUE");
    ASSERT_TRUE(std::regex_search(dump, m, std::regex(std::string("var ") + sound + "1 str = \"(\\d+) (\\w+)\"")))
        << dump;
    EXPECT_NEAR(std::stoi(m[1]), 500, 60);
    EXPECT_EQ(m[2].str(), "TRUE");
  }
  test::ExpectContains(dump, {"var ends int = 4"});
  const std::vector<TBurst> bursts = Bursts(dir / "mix.wav");
  ASSERT_EQ(bursts.size(), 4u) << r.output;
  for (size_t i = 0; i < bursts.size(); ++i) {
    EXPECT_NEAR(bursts[i].LengthMs, 1000, 30) << i;
    if (i > 0) {
      EXPECT_NEAR(bursts[i].StartMs - bursts[i - 1].StartMs - bursts[i - 1].LengthMs, 300, 40) << i;
    }
  }
}

}  // namespace
}  // namespace orba
