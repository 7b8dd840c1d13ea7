// The player program run without a window.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orba {
namespace {

test::CommandResult Player(const std::vector<std::string>& args) {
  std::vector<std::string> argv{ORBA_PLAYER_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::RunCommand(argv);
}

TEST(PlayerProgram, HeadlessRunTicksAndWritesTheBlackScreen) {
  test::TempDir dir;
  const test::CommandResult r =
      Player({"--headless", "--ticks", "3", "--trace", "-", "--screenshot", dir / "shot.png", dir.path()});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output,
            "start up\nwindow 640x480\nstart ticks\n"
            "tick 1 clock 15 frame 15\ntick 2 clock 30 frame 15\ntick 3 clock 45 frame 15\n"
            "stop ticks\nshut down\n");
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "print(im.size, im.mode, im.getextrema())\n";
  const test::CommandResult png = test::RunCommand({ORBA_PYTHON, "-c", script, dir / "shot.png"});
  EXPECT_EQ(png.output, "(640, 480) RGB ((0, 0), (0, 0), (0, 0))\n");
}

TEST(PlayerProgram, FrameLengthAndInputFileShapeTheRun) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 2: lbutton down 10 20\ntick 3: close\n"));
  test::CommandResult r = Player({"--headless", "--ticks", "10", "--frame-ms", "20", "--input", dir / "input.txt",
                                  "--trace", dir / "trace.txt", dir.path()});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "");
  const std::vector<uint8_t> trace = test::ReadFileBytes(dir / "trace.txt");
  EXPECT_EQ(std::string(trace.begin(), trace.end()),
            "start up\nwindow 640x480\nstart ticks\n"
            "tick 1 clock 20 frame 20\ninput lbutton down 10 20\ntick 2 clock 40 frame 20\n"
            "input close\nstop ticks\nshut down\n");
}

TEST(PlayerProgram, BadCommandLinesAreRefused) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "bad.txt", test::Bytes("tick 1: jump\n"));
  const std::vector<std::vector<std::string>> usage_errors = {
      {"--headless"},
      {"--ticks", "3", dir.path()},
      {"--headless", "--ticks", "0", dir.path()},
      {"--headless", "--ticks", "x", dir.path()},
      {"--headless", "--frame-ms", dir.path()},
      {"--headless", "--bogus", dir.path()},
      {"--headless", dir.path(), dir.path()},
  };
  for (const auto& args : usage_errors) EXPECT_EQ(Player(args).exit_code, 2) << args.back();
  EXPECT_EQ(Player({}).exit_code, 2);
  const test::CommandResult help = Player({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.output.find("usage: orba"), std::string::npos);
  // A missing game, a bad or missing input script, a screenshot nowhere.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--headless", dir / "missing"}, {"--headless", "--input", dir / "bad.txt", dir.path()},
           {"--headless", "--input", dir / "missing.txt", dir.path()},
           {"--headless", "--screenshot", dir / "no/shot.png", dir.path()}})
    EXPECT_EQ(Player(args).exit_code, 1) << args[args.size() - 2];
}

TEST(PlayerProgram, GameNamesMayBeJapanese) {
  test::TempDir dir;
  const std::string game = dir / "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";  // ゲーム in UTF-8
  std::filesystem::create_directory(game);
  EXPECT_EQ(Player({"--headless", game}).exit_code, 0);
  // A file of that name is taken as a package; one that is none is refused.
  test::WriteFileBytes(game + "/x.dat", test::Bytes("x"));
  EXPECT_EQ(Player({"--headless", game + "/x.dat"}).exit_code, 1);
}

}  // namespace
}  // namespace orba
