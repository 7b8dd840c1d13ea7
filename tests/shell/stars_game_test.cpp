// The "stars" game extracts by masks of ten stars from a folder holding
// names of 240 letters, planted after the build: each answer comes at once
// and is right, only the matching file is extracted, and the game goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

struct Build {
  const char* name;
  bool folder;
};

void PrintTo(const Build& build, std::ostream* os) { *os << build.name; }

class StarsGame : public ::testing::TestWithParam<Build> {};

TEST_P(StarsGame, ManyStarsAgainstLongNamesAnswerAtOnce) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("stars", game, GetParam().folder);
  const std::string letters(240, 'a'), ending_in_c = std::string(239, 'a') + "c";
  for (const std::string& name : {letters, ending_in_c, std::string("aaaac")}) test::WriteText(game + "/" + name, name);
  // The matcher's steps are held to the name's length by FileMasks; here a
  // search that tried every split of the names between the stars, which
  // would run for ages, is only stopped: two minutes pass on any machine
  // long before that, however busy.
  const test::CommandResult r = test::RunCommand(
      {"timeout", "-s", "KILL", "120", ORBA_PLAYER_PATH, "--headless", "--ticks", "3", "--trace", "-", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"stars TRUEFALSETRUE went on\""});
  std::vector<std::string> extracted;
  for (const auto& e : fs::directory_iterator(game + "/dl")) extracted.push_back(e.path().filename().string());
  EXPECT_EQ(extracted, std::vector<std::string>{ending_in_c});
  EXPECT_EQ(test::FileText(game + "/dl/" + ending_in_c), ending_in_c);
  EXPECT_TRUE(fs::is_empty(game + "/none"));
  // Ten or more letters, the one before last an "a": the two long names.
  std::vector<std::string> few;
  for (const auto& e : fs::directory_iterator(game + "/few")) few.push_back(e.path().filename().string());
  std::sort(few.begin(), few.end());
  EXPECT_EQ(few, (std::vector<std::string>{letters, ending_in_c}));
}

INSTANTIATE_TEST_SUITE_P(Builds, StarsGame, ::testing::Values(Build{"Folder", true}, Build{"Package", false}),
                         [](const ::testing::TestParamInfo<Build>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba
