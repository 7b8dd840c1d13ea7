// The resource reader over a program whose named type holds a full
// directory of names: the right entry found among 65,535, by names that
// share its first letters, by a name of 1,000 letters and by a full-width
// name that folds; and a quit request ends the search unanswered until the
// player shuts down.
#include "core/files/pe_resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "core/system/quit_request.h"
#include "support/test_support.h"

namespace orba {
namespace {

class PeBigDirectory : public testing::Test {
 protected:
  // Written once for the suite: 65,533 names "ENTRY00000" up, a
  // full-width "ＡＢＣ" and 1,000 "D"s, the most named entries a directory holds.
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    test::WriteFileBytes(*dir_ / "wide.txt", {'w', 'i', 'd', 'e'});
    test::WriteFileBytes(*dir_ / "long.txt", {'l', 'o', 'n', 'g'});
    const auto made = test::RunPython("fixtures/pe_fixture.py",
                                      {*dir_ / "big.exe", "BINTYPE:ENTRY*65533",
                                       "BINTYPE:\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3:" + (*dir_ / "wide.txt"),
                                       "BINTYPE:" + std::string(1000, 'D') + ":" + (*dir_ / "long.txt")});
    ASSERT_EQ(made.exit_code, 0);
    file_ = new std::vector<uint8_t>(test::ReadFileBytes(*dir_ / "big.exe"));
  }
  static void TearDownTestSuite() {
    delete file_;
    delete dir_;
  }
  static std::string Found(const std::string& name) {
    const auto at = FindPeResource(*file_, name, "bintype");
    if (!at) return "(none)";
    return std::string(file_->begin() + static_cast<std::ptrdiff_t>(at->FileOffset),
                       file_->begin() + static_cast<std::ptrdiff_t>(at->FileOffset + at->Size));
  }
  static test::TempDir* dir_;
  static std::vector<uint8_t>* file_;
};

test::TempDir* PeBigDirectory::dir_ = nullptr;
std::vector<uint8_t>* PeBigDirectory::file_ = nullptr;

TEST_F(PeBigDirectory, FindsTheEntryNamedAmongManyLongAndWideNames) {
  const struct {
    std::string name, found;
  } cases[] = {
      {"entry00000", "ENTRY00000"},
      {"ENTRY65532", "ENTRY65532"},
      {"Entry31000", "ENTRY31000"},
      // Prefixes and longer names of an entry's name are other names.
      {"ENTRY", "(none)"},
      {"ENTRY0000", "(none)"},
      {"ENTRY000000", "(none)"},
      {"ENTRY65533", "(none)"},
      // The full-width name, looked up in full-width lower case (Shift-JIS).
      {"\x82\x81\x82\x82\x82\x83", "wide"},
      {"\x82\x60\x82\x61\x82\x62", "wide"},
      {"\x82\x60\x82\x61", "(none)"},
      // A name of 1,000 letters is found by its own length only.
      {std::string(1000, 'd'), "long"},
      {std::string(999, 'D'), "(none)"},
      {std::string(500, 'D'), "(none)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Found(c.name), c.found) << c.name.size() << " bytes: " << c.name.substr(0, 12);
}

// In a child process: the quit request stays set. Once the player shuts
// down (its exit page opening the package's entries) the search answers.
TEST_F(PeBigDirectory, AQuitRequestEndsTheSearchUnansweredTillThePlayerShutsDown) {
  ASSERT_EQ(Found("ENTRY65532"), "ENTRY65532");
  EXPECT_EXIT(
      {
        RequestQuit();
        const bool cut_short = Found("ENTRY65532") == "(none)";
        Terminating = true;
        std::exit(cut_short && Found("ENTRY65532") == "ENTRY65532" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orba
