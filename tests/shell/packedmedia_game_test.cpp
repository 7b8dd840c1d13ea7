// The packedmedia game over a package of an older version, which stores
// every entry packed, planted after the build: a WAVE file of 100 MB (9½
// minutes of CD sound) plays to its end and raises OnPlayEnd on time, and
// a raw AVI of 315 MB then plays, both unpacked once into temporary files
// in which their decoders seek, so that neither costs 300 MB of memory over
// the same game playing nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kWavBytes = 100000000;
constexpr int64_t kMovieBytes = 315000000;
// The WAVE file's length in ms: 16-bit stereo at 44.1 kHz after its header.
constexpr int64_t kWavMs = (kWavBytes - 44) / 4 * 1000 / 44100;
constexpr int kTickMs = 250;
// 300 MB in the KiB peak_rss_kb counts.
constexpr int64_t kLimitKb = 300000000 / 1024;

// The game time (ms) at which Line of main.osb first ran; -1 when it did not.
long LineTime(const std::string& trace, int line) {
  std::istringstream lines(trace);
  const std::string mark = " : main.osb(" + std::to_string(line) + ")";
  for (std::string text; std::getline(lines, text);)
    if (text.size() == 8 + mark.size() && text.compare(8, mark.size(), mark) == 0)
      return std::stol(text.substr(0, 8), nullptr, 16);
  return -1;
}

TEST(PackedMediaGame, LongPackedSoundsAndMoviesPlayWithBoundedMemory) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const test::CommandResult movie =
      test::RunPython("fixtures/packed_media.py", {"movie", top + "/long.avi", std::to_string(kMovieBytes)});
  if (movie.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the movie cannot be made";
  ASSERT_EQ(movie.exit_code, 0) << movie.output;
  const test::CommandResult wav =
      test::RunPython("fixtures/packed_media.py", {"wav", top + "/long.wav", std::to_string(kWavBytes)});
  ASSERT_EQ(wav.exit_code, 0) << wav.output;
  const test::CommandResult package = test::RunPython(
      "fixtures/packed_media.py", {"package", top + "/game.dat", "long.wav=" + top + "/long.wav",
                                   "long.avi=" + top + "/long.avi"});
  ASSERT_EQ(package.exit_code, 0) << package.output;
  fs::remove(top + "/long.wav");
  fs::remove(top + "/long.avi");
  for (const char* start : {"idle", "main"}) {
    test::BuildGame("packedmedia", top + "/" + start, true, {std::string("StartPage = ") + start + ".osb"});
    fs::copy_file(top + "/game.dat", top + "/" + start + "/game.dat");
  }
  const int ticks = static_cast<int>((kWavMs + 3000) / kTickMs) + 4;
  const test::CommandResult base =
      test::PlayGameUnquarantined(top + "/idle", ticks, {"--frame-ms", std::to_string(kTickMs)});
  ASSERT_EQ(base.exit_code, 0) << base.output;
  const test::CommandResult r =
      test::PlayGameUnquarantined(top + "/main", ticks, {"--frame-ms", std::to_string(kTickMs)});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectLacks(r.output, {"file refused", "sound long.wav", "video long.avi"});
  // The sound starts in the first tick and its handler (line 10) runs in
  // the tick after its end.
  const long started = LineTime(r.output, 3), ended = LineTime(r.output, 10);
  ASSERT_GE(started, 0) << r.output;
  EXPECT_GE(ended - started, kWavMs);
  EXPECT_LE(ended - started, kWavMs + 2 * kTickMs);
  // The movie plays 2000 ms, to the tick.
  test::ExpectContains(test::DumpSave(top + "/main/save.dat"), {"var movie str = \"2000 TRUE\""});
  RecordProperty("peak_kb", std::to_string(r.peak_rss_kb));
  RecordProperty("idle_peak_kb", std::to_string(base.peak_rss_kb));
  const int64_t limit = test::kAddressSanitizer ? kLimitKb * 9 / 8 : kLimitKb;
  EXPECT_LT(r.peak_rss_kb - base.peak_rss_kb, limit) << r.peak_rss_kb << " against " << base.peak_rss_kb;
}

// A quit signal while a packed entry of a gigabyte is being unpacked: the
// unpacking gives way, the game ends in order (exit 0) and its status save
// is written. A WAVE sound starts while its entry unpacks; an Ogg sound and
// an MPEG movie wait for their whole entry, and the quit that ends the wait
// is no refusal of the file: nothing is said of it.
TEST(PackedMediaGame, ASigtermDuringAnUnpackingEndsTheGameInOrderWithItsStatusSave) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string huge = std::to_string(int64_t{1} << 30);
  const test::CommandResult wav = test::RunPython("fixtures/packed_media.py", {"wav", top + "/huge.wav", huge});
  ASSERT_EQ(wav.exit_code, 0) << wav.output;
  const test::CommandResult ogg =
      test::RunPython("fixtures/packed_media.py", {"head", top + "/huge.ogg", huge, "OggS"});
  ASSERT_EQ(ogg.exit_code, 0) << ogg.output;
  const bool movies = test::RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                        "testsrc2=size=160x120:rate=25:duration=1", "-c:v", "mpeg1video",
                                        top + "/clip.mpg"})
                          .exit_code == 0;
  std::vector<std::string> entries{"package", top + "/game.dat", "huge.wav=" + top + "/huge.wav",
                                   "huge.ogg=" + top + "/huge.ogg"};
  if (movies) {
    const test::CommandResult mpg =
        test::RunPython("fixtures/packed_media.py", {"head", top + "/huge.mpg", huge, top + "/clip.mpg"});
    ASSERT_EQ(mpg.exit_code, 0) << mpg.output;
    entries.push_back("huge.mpg=" + top + "/huge.mpg");
  }
  const test::CommandResult package = test::RunPython("fixtures/packed_media.py", entries);
  ASSERT_EQ(package.exit_code, 0) << package.output;
  for (const char* file : {"huge.wav", "huge.ogg", "huge.mpg", "clip.mpg"}) fs::remove(top + "/" + file);
  const struct {
    const char* page;
    const char* file;
    const char* ready;  // the step the signal comes at
  } cases[] = {
      {"quit", "huge.wav", "quit.osb(4)\n"},  // its wait, the sound unpacking beside it
      {"quitogg", "huge.ogg", "quitogg.osb(3)\n"},  // the sound's opening
      {"quitmovie", "huge.mpg", "quitmovie.osb(3)\n"},  // the movie's opening
  };
  for (const auto& c : cases) {
    if (!movies && std::string(c.file) == "huge.mpg") continue;
    const std::string game = top + "/" + c.page;
    test::BuildGame("packedmedia", game, true, {std::string("StartPage = ") + c.page + ".osb"});
    fs::copy_file(top + "/game.dat", game + "/game.dat");
    const test::CommandResult r = test::PlayAndSigterm(game, c.ready);
    EXPECT_EQ(r.exit_code, 0) << c.page << "\n" << r.output;
    test::ExpectLacks(r.output, {"no progress", std::string("orba: ") + c.file});
    test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var movie str = \"unpacking\""});
  }
}

// Writes the WAVE files of Sizes ("NAME=BYTES" or "NAME=BYTES/HELD" for one
// cut short after HELD bytes) packed into Top's game.dat, and builds the
// game into Top/Start with its start page Start.osb beside it.
std::string PackedGame(const std::string& top, const std::string& start, const std::vector<std::string>& sizes) {
  std::vector<std::string> entries{"package", top + "/game.dat"};
  for (const std::string& size : sizes) {
    const std::string name = size.substr(0, size.find('=')), bytes = size.substr(size.find('=') + 1);
    std::vector<std::string> args{"wav", top + "/" + name, bytes.substr(0, bytes.find('/'))};
    if (bytes.find('/') != std::string::npos) args.push_back(bytes.substr(bytes.find('/') + 1));
    const test::CommandResult wav = test::RunPython("fixtures/packed_media.py", args);
    EXPECT_EQ(wav.exit_code, 0) << wav.output;
    entries.push_back(name + "=" + top + "/" + name);
  }
  const test::CommandResult package = test::RunPython("fixtures/packed_media.py", entries);
  EXPECT_EQ(package.exit_code, 0) << package.output;
  const std::string game = top + "/" + start;
  test::BuildGame("packedmedia", game, true, {"StartPage = " + start + ".osb"});
  fs::copy_file(top + "/game.dat", game + "/game.dat");
  return game;
}

// A packed sound of 8 MB opened, played a moment and deleted five times in
// turn, 40 MB unpacked in all under a write limit of 20 MiB: every turn
// plays with its whole length, and the game may still extract the entry
// after them, since each temporary file gives back what it took as it goes.
TEST(PackedMediaGame, OpeningsInTurnPastTheWriteLimitAllPlayAndTheGameMayStillWrite) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = PackedGame(top, "turns", {"turn.wav=8000000"});
  fs::create_directories(game + "/out");
  const test::CommandResult r = test::PlayGame(game, 60, {"--frame-ms", "50", "--write-limit", "20"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // (8,000,000 - 44) / 4 frames at 44.1 kHz.
  const std::string turn = " 45351 TRUE";
  test::ExpectContains(test::DumpSave(game + "/save.dat"),
                       {"var lengths str = \"" + turn + turn + turn + turn + turn + "\"", "var extracted str = \"TRUE\""});
  EXPECT_EQ(fs::file_size(game + "/out/turn.wav"), 8000000U);
}

// Two packed WAVE files whose headers give twice the bytes they hold. The
// one of 2 MB is unpacked whole before it is handed over and refused as the
// same file on disk is. The one of 40 MB is streamed: it opens with its
// header's length, plays the 20 MB it holds, ends there and says so once.
// Both answer the same however far the unpacking got when they opened.
TEST(PackedMediaGame, PackedWaveFilesCutShortAnswerAsTheirSizeSaysWhateverTheUnpackingsPace) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = PackedGame(top, "short", {"short.wav=2000000/1000000", "shortlong.wav=40000000/20000000"});
  const test::CommandResult r = test::PlayGameJoined(game, 600, "", {"--frame-ms", "250"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // 0 for the refused file; (40,000,000 - 44) / 4 frames at 44.1 kHz, and
  // the (20,000,000 - 44) / 4 it holds, as it ends.
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var lengths str = \"0 226757 113378\""});
  const std::string said[] = {
      "orba: short.wav: sound refused: not a playable WAVE file: the RIFF size exceeds the file\n",
      "orba: shortlong.wav: the file ends after 20000000 bytes, before the length its header gives: it plays what "
      "it holds\n"};
  for (const std::string& line : said) {
    size_t count = 0;
    for (size_t at = r.output.find(line); at != std::string::npos; at = r.output.find(line, at + 1)) ++count;
    EXPECT_EQ(count, 1U) << line << r.output.substr(0, 4000);
  }
}

}  // namespace
}  // namespace orba
