// Games that save and load in the middle of things, checked through
// save.dat and the sound the run made: a button's caption across a load, a
// save and a load asked for in one tick, a sound fading out across a load;
// and sounds that start and stop on the millisecond of their command's tick.
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "shell/test_games.h"

namespace orba {
namespace {

// The lines "orbatool save dump" prints for one entry, up to the next.
std::string EntryDump(const std::string& dump, const std::string& entry) {
  const size_t at = dump.find("entry " + entry + " (");
  if (at == std::string::npos) return "";
  const size_t next = dump.find("\nentry ", at);
  return dump.substr(at, next == std::string::npos ? std::string::npos : next - at);
}

// The game clock (ms) at which each line of main.osb first ran.
std::map<int, long> FirstLineTimes(const std::string& trace) {
  std::map<int, long> times;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find(" : main.osb(");
    if (at == 8) times.emplace(std::stoi(line.substr(at + 12)), std::stol(line.substr(0, 8), nullptr, 16));
  }
  return times;
}

// The clock of the tick that loaded a saved game.
long LoadClock(const std::string& trace) {
  const size_t load = trace.find("no painting after a load");
  const size_t tick = trace.rfind("tick ", load);
  if (load == std::string::npos || tick == std::string::npos) return -1;
  return std::stol(trace.substr(trace.find(" clock ", tick) + 7));
}

// The left channel of a 16-bit stereo WAV file written by "orba --audio".
class TWrittenSound {
 public:
  explicit TWrittenSound(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    for (size_t i = 44; i + 3 < bytes.size(); i += 4)
      left_.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  // The frame of game time Ms: the output renders floor(ms x 44.1) frames
  // by then.
  static size_t Frame(long ms) { return static_cast<size_t>(ms * 441 / 10); }
  // The loudest sample of game time [from, to) in ms.
  int Peak(long from, long to) const {
    int peak = 0;
    for (size_t i = Frame(from); i < Frame(to) && i < left_.size(); ++i) peak = std::max(peak, std::abs(left_[i]));
    return peak;
  }
  double Rms(long from, long to) const {
    double sum = 0;
    size_t n = 0;
    for (size_t i = Frame(from); i < Frame(to) && i < left_.size(); ++i, ++n) sum += double(left_[i]) * left_[i];
    return n == 0 ? 0 : std::sqrt(sum / static_cast<double>(n));
  }
  long LengthMs() const { return static_cast<long>(left_.size() * 10 / 441); }

 private:
  std::vector<int16_t> left_;
};

// Builds a sound game with the files of sound_fixtures.py and plays it for
// Ticks ticks, writing the sound it made to Dir/mix.wav.
test::CommandResult PlaySoundGame(const std::string& name, const test::TempDir& dir, int ticks) {
  const test::CommandResult fixtures = test::RunPython("fixtures/sound_fixtures.py", {dir / "files"});
  if (fixtures.exit_code != 0) return fixtures;
  test::BuildGame(name, dir / "game", true, {}, dir / "files");
  return test::PlayGame(dir / "game", ticks, {"--audio", dir / "mix.wav"});
}

// The tone of sound_fixtures.py: a 440 Hz sine at half scale reaches
// 16384 within a quarter period (0.57 ms) of any point.
constexpr int kLoud = 16000;

// The button keeps its caption and font, as the menu beside it keeps its
// text; both slots' objects measure their captions as the dump loads them.
TEST(CapsaveGame, AButtonKeepsItsCaptionAndFontAcrossASaveAndALoad) {
  const test::TempDir dir;
  test::BuildGame("capsave", dir / "game", true);
  const test::CommandResult r = test::PlayGame(dir / "game", 8);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ASSERT_GT(LoadClock(r.output), 0) << r.output;
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"var before str = \"Hello/14/one\"", "var after str = \"Hello/14/one\""});
}

// A press's handler asks for a save of slot 5 and then a load of slot 1 in
// one tick: slot 5 holds the handler's n = 2, slot 1 keeps n = 1. A second
// press's handler sets n = 3 and asks for a load of slot 1 and then a save
// of slot 6: slot 6 is a copy of slot 1's state, n = 1.
TEST(SaveorderGame, ASaveAndALoadInOneTickRunInTheOrderAskedFor) {
  const test::TempDir dir;
  test::BuildGame("saveorder", dir / "game", true);
  test::WriteText(dir / "input.txt", "tick 5: lbutton down 5 5\ntick 6: lbutton up 5 5\n"
                                     "tick 12: lbutton down 5 5\ntick 13: lbutton up 5 5\n");
  const test::CommandResult r = test::PlayGame(dir / "game", 16, {"--input", dir / "input.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(LoadClock(r.output), 75) << r.output;
  const std::string dump = test::DumpSave(dir / "game/save.dat");
  test::ExpectContains(EntryDump(dump, "GAMESAVEDATA5"), {"caption \"five\"", "var n int = 2"});
  test::ExpectContains(EntryDump(dump, "GAMESAVEDATA1"), {"caption \"one\"", "var n int = 1"});
  test::ExpectContains(EntryDump(dump, "GAMESAVEDATA6"), {"caption \"six\"", "var n int = 1"});
  test::ExpectContains(dump, {"var loaded int = 2"});
}

// A repeating sound saved 150 ms into a 600 ms fade-out (main.osb line 10)
// and loaded: it starts again, fades out over the whole fade time and frees
// itself; it is silent from then on. The fade-out after the load renames it
// once more: "SCRAP_SCRAP_bgm" while it fades.
TEST(FadesaveGame, ASoundSavedWhileFadingOutFadesOutAgainAndEnds) {
  const test::TempDir dir;
  const test::CommandResult r = PlaySoundGame("fadesave", dir, 300);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"var during str = \"FALSE FALSE TRUE\"", "var after str = \"FALSE FALSE\""});
  const long load = LoadClock(r.output);
  ASSERT_GT(load, 0) << r.output;
  const TWrittenSound mix(dir / "mix.wav");
  ASSERT_GT(mix.LengthMs(), load + 2000);
  // Loud again at the load, fading, then silent once the fade is over.
  EXPECT_GT(mix.Peak(load, load + 5), kLoud);
  EXPECT_GT(mix.Rms(load + 50, load + 150), 3 * mix.Rms(load + 400, load + 500));
  EXPECT_GT(mix.Rms(load + 400, load + 500), 0);
  EXPECT_EQ(mix.Peak(load + 600 + 15, mix.LengthMs()), 0);
}

// Sound "a" starts at one clock and plays its 1000 ms to the end; "b" starts
// at another and MovieStop stops it: in the written sound each starts and
// stops on the millisecond of its command's tick.
TEST(SoundtimeGame, SoundsStartAndStopOnTheClockOfTheirCommand) {
  const test::TempDir dir;
  const test::CommandResult r = PlaySoundGame("soundtime", dir, 160);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::map<int, long> times = FirstLineTimes(r.output);
  ASSERT_TRUE(times.count(4) && times.count(6) && times.count(8)) << r.output;
  const long a = times.at(4), b = times.at(6), stop = times.at(8);
  const TWrittenSound mix(dir / "mix.wav");
  ASSERT_GT(mix.LengthMs(), stop + 100);
  const struct {
    long from, to;
    bool sounding;
  } spans[] = {
      {0, a, false},          {a, a + 1, true},         {a + 999, a + 1000, true}, {a + 1000, b, false},
      {b, b + 1, true},       {stop - 1, stop, true},   {stop, mix.LengthMs(), false},
  };
  for (const auto& span : spans) {
    const int peak = mix.Peak(span.from, span.to);
    if (span.sounding) {
      EXPECT_GT(peak, 1000) << span.from << ".." << span.to;
    } else {
      EXPECT_EQ(peak, 0) << span.from << ".." << span.to;
    }
  }
}

// The games whose own tests read no save.dat, built as packages: their slots
// dump beside the package and apart from it (test::DumpSave). The game may
// be named by its package file too; a game that is not there is refused.
TEST(SaveDump, ReadsTheSlotsOfGamesBesideAndApartFromTheirPackage) {
  for (const auto& [name, ticks] : {std::pair{"loadpaint", 8}, std::pair{"wave", 20}}) {
    const test::TempDir dir;
    test::BuildGame(name, dir / "game", false);
    ASSERT_EQ(test::PlayGame(dir / "game", ticks).exit_code, 0) << name;
    const std::string beside = test::DumpSave(dir / "game/save.dat");
    test::ExpectContains(beside, {"entry GAMESAVEDATA1", "scene "});
    std::filesystem::copy_file(dir / "game/save.dat", dir / "save.dat");
    const test::CommandResult packed =
        test::RunOrbaTool({"save", "dump", "--game", dir / "game/game.dat", dir / "save.dat"});
    EXPECT_EQ(packed.exit_code, 0) << packed.output;
    EXPECT_EQ(packed.output, beside) << name;
  }
  const test::TempDir dir;
  test::WriteText(dir / "save.dat", "");
  EXPECT_EQ(test::RunOrbaTool({"save", "dump", "--game", dir / "none", dir / "save.dat"}).exit_code, 1);
  EXPECT_EQ(test::RunOrbaTool({"save", "dump", "--game", dir / "save.dat"}).exit_code, 2);
}

}  // namespace
}  // namespace orba
