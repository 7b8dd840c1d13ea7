// Games whose files a downloaded game could make cost the player gigabytes
// or hang it: a package or save.dat listing millions of empty entries
// ("bigdir"), a screen too large to hold ("bigscreen"), and Calc of texts
// nested far deeper than any script writes ("calcnest"). Each is refused
// with its clear line, or compiled, and the player's peak memory stays
// bounded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::kAddressSanitizer;

constexpr int64_t kMB = 1024;  // in the kilobytes peak_rss_kb counts

// Plays Game for Ticks without the address sanitizer's quarantine, which
// would count every block freed in the run at once; the output holds the
// trace and the player's own lines on the standard error.
test::CommandResult PlayUnquarantined(const std::string& game, int ticks) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string before = asan != nullptr ? asan : "";
  ::setenv("ASAN_OPTIONS", (before + ":quarantine_size_mb=0").c_str(), 1);
  test::CommandResult r = test::RunCommand({"sh", "-c", "exec \"$@\" 2>&1", "sh", ORBA_PLAYER_PATH, "--headless",
                                            "--ticks", std::to_string(ticks), "--trace", "-", game});
  if (asan != nullptr) {
    ::setenv("ASAN_OPTIONS", before.c_str(), 1);
  } else {
    ::unsetenv("ASAN_OPTIONS");
  }
  return r;
}

// "パッケージファイルが壊れています" (the package is damaged) as the player
// writes it on the terminal.
std::string Utf8Damaged() {
  return "\xe3\x83\x91\xe3\x83\x83\xe3\x82\xb1\xe3\x83\xbc\xe3\x82\xb8\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab"
         "\xe3\x81\x8c\xe5\xa3\x8a\xe3\x82\x8c\xe3\x81\xa6\xe3\x81\x84\xe3\x81\xbe\xe3\x81\x99";
}

// Writes a package directory (version 0, the directory at the file's start)
// listing Count entries of empty names and offsets 0: the count, then
// zeros, which the file holds as a hole. 5,000,000 entries take 40 MB of
// file and no disk.
void PlantSparseDirectory(const std::string& path, int32_t count) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&count), 4);  // little-endian on the hosts we build for
  }
  ASSERT_EQ(::truncate(path.c_str(), 4 + int64_t{count} * 4 + (int64_t{count} + 1) * 4), 0);
}

// Over a run of the same game with nothing planted (Base): under the
// address sanitizer, whose shadow memory raises every figure, the growth;
// without it the whole player.
void ExpectPeakBelow(const char* what, const test::CommandResult& r, const test::CommandResult& base,
                     int64_t limit_mb) {
  ::testing::Test::RecordProperty(std::string(what) + "_peak_kb", std::to_string(r.peak_rss_kb));
  ::testing::Test::RecordProperty("base_peak_kb", std::to_string(base.peak_rss_kb));
  if (kAddressSanitizer) {
    EXPECT_LT(r.peak_rss_kb - base.peak_rss_kb, limit_mb * kMB) << r.peak_rss_kb << " against " << base.peak_rss_kb;
  } else {
    EXPECT_LT(r.peak_rss_kb, limit_mb * kMB) << r.peak_rss_kb;
  }
}

TEST(MemoryBoundsGame, ADirectoryOfMillionsOfEntriesIsRefused) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string plain = top + "/plain", save = top + "/save", package = top + "/package";
  for (const std::string& game : {plain, save, package}) test::BuildGame("bigdir", game, false);
  const test::CommandResult base = PlayUnquarantined(plain, 2);
  ASSERT_EQ(base.exit_code, 0) << base.output;

  // As save.dat: damaged save data, said so at the start; the game plays,
  // and its save keeps the file aside before replacing it.
  const std::string damaged = "save.dat:" + Utf8Damaged() + "\n";
  PlantSparseDirectory(save + "/save.dat", 5000000);
  const test::CommandResult s = PlayUnquarantined(save, 2);
  ASSERT_EQ(s.exit_code, 0) << s.output;
  ExpectContains(s.output, {damaged});
  ExpectContains(test::DumpSave(save + "/save.dat"), {"var log str = \"ran\""});
  EXPECT_EQ(fs::file_size(save + "/save.dat.bak"), 4 + 5000000 * 8 + 4);
  ExpectPeakBelow("save", s, base, 300);

  // As the game's package: the start ends with the line that says why.
  PlantSparseDirectory(package + "/game.dat", 5000000);
  const test::CommandResult p = PlayUnquarantined(package, 2);
  EXPECT_EQ(p.exit_code, 1) << p.output;
  ExpectContains(p.output, {"game.dat:" + Utf8Damaged() + " (entry count 5000000: more than 1092266 entries)\n"});
  EXPECT_FALSE(fs::exists(package + "/save.dat"));
  ExpectPeakBelow("package", p, base, 300);
}

TEST(MemoryBoundsGame, TheLargestScreenPlaysInUnderAGigabyteAndALargerOneIsRefused) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string small = top + "/small", largest = top + "/largest";
  test::BuildGame("bigscreen", small, true, {"Width = 64", "Height = 48"});
  test::BuildGame("bigscreen", largest, true, {"Width = 7680", "Height = 3686"});
  const test::CommandResult base = PlayUnquarantined(small, 8);
  ASSERT_EQ(base.exit_code, 0) << base.output;
  ExpectContains(test::DumpSave(small + "/save.dat"), {"var log str = \"ran\""});

  // Through its screen change with a fade.
  const test::CommandResult r = PlayUnquarantined(largest, 8);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(largest + "/save.dat"), {"var log str = \"ran\""});
  ExpectPeakBelow("largest", r, base, 1000);

  // The 8K screen and the largest square each side allows.
  for (const auto& [width, height] : {std::pair{7680, 4320}, std::pair{8192, 8192}}) {
    const std::string game = top + "/" + std::to_string(width);
    test::BuildGame("bigscreen", game, true, {"Width = " + std::to_string(width), "Height = " + std::to_string(height)});
    const test::CommandResult q = PlayUnquarantined(game, 8);
    EXPECT_EQ(q.exit_code, 1) << q.output;
    ExpectContains(q.output, {"the game's screen of " + std::to_string(width) + " x " + std::to_string(height) +
                              " pixels cannot be shown (1 to 8192 a side, at most 28311552 pixels)\n"});
    ExpectPeakBelow("refused", q, base, 100);
  }
}

// "v = (((...(7)...)))" nested Depth deep.
std::string Nested(size_t depth) { return "v = " + std::string(depth, '(') + "7" + std::string(depth, ')'); }

TEST(MemoryBoundsGame, CalcOfDeeplyNestedTextsCompilesOrIsRefusedAndTheGameGoesOn) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("calcnest", game, true);
  test::WriteText(game + "/deep.txt", Nested(100000) + "\r\n");
  test::WriteText(game + "/huge.txt", Nested(1000000) + "\r\n");
  std::string calls = "v = ";
  for (int i = 0; i < 20000; ++i) calls += "Abs(";
  test::WriteText(game + "/calls.txt", calls + "3" + std::string(20000, ')') + "\r\n");
  const test::CommandResult r = PlayUnquarantined(game, 40);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var log str = \"deep TRUETRUE7 huge TRUE7 calls TRUE7 end\""});
  ExpectContains(r.output, {"expression refused: 2000005 bytes, more than 1048576\n",
                            "expression refused: more than 33554432 characters and tokens scanned"});
  // A hundred thousand groups compiled, the other texts refused: far below
  // what a picture may take.
  EXPECT_LT(r.peak_rss_kb, (kAddressSanitizer ? 600 : 300) * kMB) << r.peak_rss_kb;
}

}  // namespace
}  // namespace orba
