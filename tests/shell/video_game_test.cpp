// The video game: movies in frame-copy and overlay mode show the frame of
// the game time (compared pixel for pixel with the ffmpeg program's decoding
// of the same lossless clip), overlays are clipped by their parents, a movie
// is sized by its own zoom whatever Width or Height it is given, a movie
// saved while fading out fades out again after loading and gives its media
// item back, files that are no video give no item, playlists planted in
// the game folder never reach the movie outside it that they name, and a
// movie at its end calls its OnPlayEnd handler on every tick, and frames
// that outgrow the size a movie declares are held to its limits. The clips are
// made by tests/fixtures/video_fixtures.py with the ffmpeg program.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "shell/test_games.h"
#include "support/open_watch.h"

namespace orba {
namespace {

constexpr int kTickMs = 20;

class VideoGame : public ::testing::Test {
 protected:
  void SetUp() override {
    const test::CommandResult r = test::RunPython("fixtures/video_fixtures.py", {"make", dir_ / "files"});
    if (r.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the test clips cannot be made";
    ASSERT_EQ(r.exit_code, 0) << r.output;
  }
  void Build(const std::string& page) {
    page_ = page;
    test::BuildGame("video", dir_ / page, true, {"StartPage = " + page + ".osb"}, dir_ / "files");
  }
  test::CommandResult Play(int ticks) {
    return test::PlayGame(dir_ / page_, ticks, {"--frame-ms", std::to_string(kTickMs), "--screenshot", Shot()});
  }
  std::string Shot() const { return dir_ / (page_ + ".png"); }
  // The one frame whose source rectangle the screenshot shows in Rect (both
  // "left top right bottom"); -1 when none or several match.
  int ShownFrame(const std::string& rect, const std::string& source) const {
    std::vector<std::string> args{"match", Shot(), dir_ / "files/frames.raw"};
    for (const std::string& text : {rect, source}) {
      std::istringstream in(text);
      for (std::string v; in >> v;) args.push_back(v);
    }
    const std::string out = test::RunPython("fixtures/video_fixtures.py", args).output;
    return std::regex_match(out, std::regex("\\[\\d+\\]\\s*")) ? std::stoi(out.substr(1)) : -1;
  }
  int SavedVar(const std::string& name) const {
    std::smatch m;
    const std::string dump = test::DumpSave(dir_ / (page_ + "/save.dat"));
    return std::regex_search(dump, m, std::regex("var " + name + " int = (-?\\d+)")) ? std::stoi(m[1]) : INT32_MIN;
  }
  // The game times (ms) at which Line of the page ran.
  std::vector<long> LineTimes(const std::string& trace, int line) const {
    std::vector<long> times;
    std::istringstream lines(trace);
    const std::string mark = " : " + page_ + ".osb(" + std::to_string(line) + ")";
    for (std::string text; std::getline(lines, text);)
      if (text.size() == 8 + mark.size() && text.compare(8, mark.size(), mark) == 0)
        times.push_back(std::stol(text.substr(0, 8), nullptr, 16));
    return times;
  }

  test::TempDir dir_;
  std::string page_;
};

// The ticks (ms) of Times from From to To, each one tick after the last.
void ExpectEveryTick(const std::vector<long>& times, size_t from, size_t to) {
  for (size_t i = from + 1; i < to; ++i) EXPECT_EQ(times[i] - times[i - 1], kTickMs) << i;
}

TEST_F(VideoGame, FrameCopyShowsTheFrameOfTheGameTimeAndEnds) {
  Build("copy");
  // The movie starts in the first tick; frame k is due 100 k ms later.
  for (const int ticks : {8, 29, 48}) {
    const test::CommandResult r = Play(ticks);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const int due = (ticks * kTickMs - kTickMs) / 100;
    EXPECT_NEAR(ShownFrame("8 4 72 52", "0 0 64 48"), due, 1) << ticks;
  }
  const test::CommandResult r = Play(75);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NEAR(SavedVar("count"), 1000, 100);
  EXPECT_NEAR(SavedVar("wcount"), 1000, 100);
  // Zooming the open movie to half its size halves its width at once.
  EXPECT_EQ(SavedVar("wwidth"), 32);
  // OnPlayEnd (line 18) is raised from the tick after the end on, on every
  // tick while the movie stays there.
  const std::vector<long> ends = LineTimes(r.output, 18);
  ASSERT_GE(ends.size(), 2u) << r.output;
  EXPECT_GE(ends[0], kTickMs + 1000);
  EXPECT_LE(ends[0], kTickMs + 1000 + 2 * kTickMs);
  ExpectEveryTick(ends, 0, ends.size());
  // Garbage and a file cut inside its headers give no item: the movies are
  // stopped, have no length, and MovieStop goes on after its one yield.
  test::ExpectContains(r.output, {"video garbage.avi: not a media file libavformat reads",
                                  "video cut.avi: not a media file libavformat reads"});
  EXPECT_EQ(SavedVar("badplaying"), 0);
  EXPECT_EQ(SavedVar("badcount"), 0);
  EXPECT_LE(LineTimes(r.output, 16).at(0), LineTimes(r.output, 15).at(0) + kTickMs);
}

TEST_F(VideoGame, OverlaysAreClippedAndSwitchingModeKeepsThePosition) {
  Build("overlay");
  ASSERT_EQ(Play(20).exit_code, 0);
  // "o" lies half outside its parent: its right half is cut off. "z" is
  // zoomed twice and cut on every side: the source shrinks by 256 / 512.
  EXPECT_NEAR(ShownFrame("48 8 80 56", "0 0 32 48"), 3, 1);
  EXPECT_NEAR(ShownFrame("80 56 128 96", "4 4 28 24"), 3, 1);
  // "gone" lies wholly outside its parent: no overlay where it would be.
  EXPECT_EQ(test::PngPixels(Shot(), "(120, 20), (100, 40)"), "[(0, 0, 0), (0, 0, 0)]\n");
  // At 500 ms "o" turns to frame copy and goes on from where it was.
  ASSERT_EQ(Play(40).exit_code, 0);
  EXPECT_EQ(SavedVar("copying"), 0);
  EXPECT_NEAR(SavedVar("after"), SavedVar("before"), 100);
  EXPECT_NEAR(ShownFrame("48 8 80 56", "0 0 32 48"), 7, 1);
}

// A movie is sized by its own zoom: a Width and Height in the Movie command
// or a Width set while it plays leave the red movie (320 x 240, larger than
// the screen) covering the screen, in frame copy and as an overlay. Only the
// picture drawn in frame copy follows a Width set on the playing movie, as an
// image's does: it is stretched to 32 pixels across.
TEST_F(VideoGame, AWidthOrHeightSetOnAMovieLeavesItSizedByItsOwnZoom) {
  const struct {
    const char* page;  // what the page does to the movie "film"
    int width;         // its width after that
    const char* shown; // red or black at (5, 5) and at the bottom right
  } cases[] = {
      {"sizedcopy", 320, "rr"},  // frame copy, Width=32 Height=24 in the command
      {"sizedover", 320, "rr"},  // overlay, the same
      {"widthover", 32, "rr"},   // overlay, SetProp width 32 while it plays
      {"widthcopy", 32, "rk"},   // frame copy, the same
      {"plaincopy", 320, "rr"},  // frame copy, no size
      {"plainover", 320, "rr"},  // overlay, no size
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    Build(c.page);
    const test::CommandResult r = Play(20);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    // The clip's red comes out of ffmpeg's conversion near 255, not exact.
    std::string shown;
    const std::string px = test::PngPixels(Shot(), "(5, 5), (127, 95)");
    const std::regex rgb("\\((\\d+), (\\d+), (\\d+)\\)");
    for (auto m = std::sregex_iterator(px.begin(), px.end(), rgb); m != std::sregex_iterator(); ++m) {
      const int red = std::stoi((*m)[1]), green = std::stoi((*m)[2]), blue = std::stoi((*m)[3]);
      shown += red > 240 && green < 16 && blue < 16 ? 'r' : red + green + blue == 0 ? 'k' : '?';
    }
    EXPECT_EQ(shown, c.shown) << px;
    EXPECT_EQ(SavedVar("width"), c.width);
  }
}

TEST_F(VideoGame, ASaveDuringAFadeOutFadesOutAgainAndGivesTheItemBack) {
  Build("fade");
  const test::CommandResult r = Play(100);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // Saved 300 ms after the movie began (line 9), loaded a tick later (line
  // 13): the loaded movie fades out over 600 ms before MovieStop goes on.
  const long loaded = LineTimes(r.output, 13).at(0);
  const long stopped = LineTimes(r.output, 5).at(0);
  EXPECT_GE(stopped, loaded + 600);
  EXPECT_LE(stopped, loaded + 600 + 3 * kTickMs);
  EXPECT_EQ(SavedVar("loaded"), 11);
  // Each faded movie gave its item back: none is left open.
  const size_t last = r.output.rfind("video given back; ");
  ASSERT_NE(last, std::string::npos) << r.output;
  EXPECT_EQ(r.output.compare(last, 24, "video given back; 0 open"), 0) << r.output;
  EXPECT_LT(last, r.output.find(" : fade.osb(5)"));
}

TEST_F(VideoGame, ListsPlantedInTheGameFolderOpenNothingOutsideAndTheGameGoesOn) {
  Build("planted");
  // Planted after the build, as a downloaded folder may hold them: two
  // playlists and a concatenation list naming the red clip outside the game
  // folder by its full path. The same clip inside the game is "red.avi".
  const std::string red = dir_ / "files/red.avi";
  const std::string playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" + red + "\n#EXT-X-ENDLIST\n";
  for (const char* name : {"list.avi", "list.m3u8"}) test::WriteText(dir_ / "planted" + "/" + name, playlist);
  test::WriteText(dir_ / "planted/concat.avi", "ffconcat version 1.0\nfile '" + red + "'\n");
  const test::OpenWatch watch(red);
  ASSERT_TRUE(watch.Armed());
  const test::CommandResult r = Play(10);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_FALSE(watch.Touched());
  test::ExpectContains(r.output, {"video list.avi: a file of the kind \"hls\", which is not played",
                                  "video list.m3u8: a file of the kind \"hls\", which is not played",
                                  "video concat.avi: a file of the kind \"concat\", which is not played"});
  // The red clip of the game shows at the top left; where the lists' movies
  // lie the screen stays black.
  EXPECT_NE(test::PngPixels(Shot(), "(10, 10)"), "[(0, 0, 0)]\n");
  EXPECT_EQ(test::PngPixels(Shot(), "(100, 20), (20, 70), (100, 70)"), "[(0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
  EXPECT_EQ(SavedVar("plantedcount"), 0);
  EXPECT_EQ(SavedVar("plantedplaying"), 0);
  EXPECT_EQ(SavedVar("goneon"), 1);
}

// The movie (1000 ms, started in the first tick) stays at its end: its
// OnPlayEnd handler (line 13) is called on every tick until MediaPlay (line
// 7) plays it again; then on every tick from its second end on, and not
// before.
TEST_F(VideoGame, AtItsEndAMovieCallsOnPlayEndOnEveryTickUntilPlayedAgain) {
  Build("end");
  const test::CommandResult r = Play(170);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const long played = LineTimes(r.output, 7).at(0);
  const std::vector<long> calls = LineTimes(r.output, 13);
  const size_t first_run = static_cast<size_t>(
      std::count_if(calls.begin(), calls.end(), [played](long t) { return t <= played; }));
  ASSERT_GE(first_run, 15u) << r.output;
  ASSERT_GE(calls.size(), first_run + 15u) << r.output;
  EXPECT_GE(calls[0], kTickMs + 1000);
  EXPECT_LE(calls[0], kTickMs + 1000 + 2 * kTickMs);
  EXPECT_EQ(calls[first_run - 1], played);
  ExpectEveryTick(calls, 0, first_run);
  // Played again, it no longer carries its first end.
  EXPECT_GE(calls[first_run], played + 1000);
  EXPECT_LE(calls[first_run], played + 1000 + 2 * kTickMs);
  ExpectEveryTick(calls, first_run, calls.size());
  EXPECT_EQ(SavedVar("atend"), static_cast<int>(first_run));
  EXPECT_EQ(SavedVar("replayed"), static_cast<int>(first_run));
}

// A movie of 1000 ms at its end given Repeat starts over, as a sound does:
// its position goes back to 0 and it plays on from there (the clock moves
// 500 ms), where it stayed frozen at its end before.
TEST_F(VideoGame, AFinishedMovieGivenRepeatStartsOver) {
  Build("repeat");
  const test::CommandResult r = Play(120);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string dump = test::DumpSave(dir_ / (page_ + "/save.dat"));
  auto position = [&dump](const std::string& name) {
    std::smatch m;
    return std::regex_search(dump, m, std::regex("var " + name + " str = \"(-?\\d+) (TRUE|FALSE)\"")) ? m[1].str() + " " + m[2].str() : std::string("?");
  };
  const std::string at_end = position("atend"), later = position("later");
  EXPECT_EQ(at_end.substr(at_end.find(' ') + 1), "FALSE") << dump;
  EXPECT_GE(std::stoi(at_end), 950) << dump;
  EXPECT_EQ(position("rewound"), "0 TRUE") << dump;
  ASSERT_NE(later, "?") << dump;
  EXPECT_EQ(later.substr(later.find(' ') + 1), "TRUE");
  EXPECT_GE(std::stoi(later), 400) << dump;
  EXPECT_LE(std::stoi(later), 600) << dump;
}

// An OnPlayEnd handler that waits 200 ms (line 8) is called again only once
// it has returned: the calls (line 7) stay at least 200 ms apart, never one
// inside another.
TEST_F(VideoGame, AnOnPlayEndHandlerThatWaitsIsNotCalledAgainBeforeItReturns) {
  Build("slowend");
  const test::CommandResult r = Play(150);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::vector<long> calls = LineTimes(r.output, 7), done = LineTimes(r.output, 9);
  ASSERT_GE(calls.size(), 4u) << r.output;
  for (size_t i = 1; i < calls.size(); ++i) {
    EXPECT_GE(calls[i] - calls[i - 1], 200) << i;
    ASSERT_GT(done.size(), i - 1);
    EXPECT_LE(done[i - 1], calls[i]) << i;
  }
}

// A clip whose header says 64 x 48 shows its red frames, keeps the last of
// them through two frames of 8192 x 8192 (more pixels than a movie may
// have: refused before the codec makes them) and one of 16384 x 16 (wider
// than a movie may be: dropped, traced), then shows its green frames of
// 128 x 96 scaled to 64 x 48, and plays to its end. Refused, the large
// frames cost no memory: the peak stays within 64 MB of the same movie
// without them, where holding one would take 200 MB.
TEST_F(VideoGame, FramesLargerThanTheMovieMayHaveAreDropped) {
  const test::CommandResult made = test::RunPython("fixtures/video_fixtures.py", {"grow", dir_ / "files"});
  ASSERT_EQ(made.exit_code, 0) << made.output;
  Build("outgrow");
  std::filesystem::copy(dir_ / "outgrow", dir_ / "small", std::filesystem::copy_options::recursive);
  std::filesystem::copy_file(dir_ / "files/small.avi", dir_ / "small/grow.avi",
                             std::filesystem::copy_options::overwrite_existing);
  // The colour at the movie's middle: 'r', 'g', 'b' for the channel that
  // stands out (the Motion JPEG colours are near, not exact), '?' otherwise.
  auto colour = [this](int ticks) {
    EXPECT_EQ(Play(ticks).exit_code, 0);
    const std::string px = test::PngPixels(Shot(), "(32, 24)");
    std::smatch m;
    if (!std::regex_search(px, m, std::regex("\\((\\d+), (\\d+), (\\d+)\\)"))) return '?';
    const int r = std::stoi(m[1]), g = std::stoi(m[2]), b = std::stoi(m[3]);
    if (r > 150 && g < 80 && b < 80) return 'r';
    if (g > 80 && r < 80 && b < 80) return 'g';
    if (b > 150 && r < 80 && g < 80) return 'b';
    return '?';
  };
  // Frame k is due 100 k ms after the first tick.
  EXPECT_EQ(colour(16), 'r');  // 300 ms: frame 3
  EXPECT_EQ(colour(32), 'r');  // 620 ms: frame 6 of 8192 x 8192, dropped
  EXPECT_EQ(colour(38), 'r');  // 740 ms: frame 7 of 16384 x 16, dropped
  EXPECT_EQ(colour(60), 'g');  // 1180 ms: frame 11, 128 x 96
  const test::CommandResult base = test::PlayGameUnquarantined(dir_ / "small", 110, {"--frame-ms", "20"});
  ASSERT_EQ(base.exit_code, 0) << base.output;
  const test::CommandResult r = test::PlayGameUnquarantined(dir_ / "outgrow", 110, {"--frame-ms", "20"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(r.output, {"movie frame refused: a picture of 16384 x 16 pixels in a video of 64 x 48"});
  EXPECT_EQ(SavedVar("ended"), 1);
  const int64_t limit = (test::kAddressSanitizer ? 72 : 64) * test::kPeakMB;
  EXPECT_LT(r.peak_rss_kb - base.peak_rss_kb, limit) << r.peak_rss_kb << " against " << base.peak_rss_kb;
}

}  // namespace
}  // namespace orba
