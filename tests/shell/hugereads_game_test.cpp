// The "hugereads" game over files planted after its build that the player
// reads whole: sparse files of 1.5 GB and package entries that unpack to
// 400 MiB as a page, a picture, a MIDI song, a sound, a movie and a cursor;
// sparse and packed sources of ExtractFile; and, in a second run, a sparse
// save.dat of 1.5 GB. Each file read whole is refused with a trace line as a
// missing file of its kind is (the sound and the movie, unpacked into
// temporary files, as files of no media kind), ExtractFile copies what it
// may without holding it, the game goes on, and the player's peak memory
// stays bounded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/files/atomic_file.h"
#include "core/files/file_limits.h"
#include "script/save/save_data.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;

// 300 MB in the KiB peak_rss_kb counts.
constexpr int64_t kLimitKb = 300000000 / 1024;
constexpr off_t kHugeBytes = 1500000000;
constexpr off_t kCopyBytes = 120000000;
constexpr int64_t kMiB = 1 << 20;
// What one unpacking may hold at once (its 32 MiB block) and some more:
// far less than the file copied.
constexpr int64_t kCopyPeakKb = 64000000 / 1024;

// Writes Folder/game.dat: a package (directory version 0: a count, plain
// names, int32 offsets from the file's start; every entry packed) whose
// "bomb.*" entries each unpack to argv[2] MiB of zeros and "packed.txt" to
// argv[3] MiB of them (0: to a few bytes).
const char* const kPlantPackage =
    "import struct, sys, zlib\n"
    "def zeros(mib):\n"
    "    if mib == 0: return zlib.compress(b'tiny')\n"
    "    c = zlib.compressobj(9)\n"
    "    return b''.join(c.compress(bytes(1 << 20)) for _ in range(mib)) + c.flush()\n"
    "bomb, packed = zeros(int(sys.argv[2])), zeros(int(sys.argv[3]))\n"
    "names = [b'bomb.osb', b'bomb.brx', b'bomb.mid', b'bomb.wav', b'bomb.avi', b'bomb.cur', b'packed.txt']\n"
    "data = [bomb] * 6 + [packed]\n"
    "head = struct.pack('<i', len(names)) + b''.join(struct.pack('<i', len(n)) + n for n in names)\n"
    "at = len(head) + 4 * (len(names) + 1)\n"
    "offsets = [at]\n"
    "for d in data: offsets.append(offsets[-1] + len(d))\n"
    "with open(sys.argv[1] + '/game.dat', 'wb') as f:\n"
    "    f.write(head + b''.join(struct.pack('<i', o) for o in offsets) + b''.join(data))\n";

std::string Refused(const std::string& name, int64_t limit) {
  return "file refused: " + name + ": more than " + std::to_string(limit) + " bytes\n";
}

void Sparse(const std::string& path, off_t size) {
  test::WriteText(path, "");
  ASSERT_EQ(::truncate(path.c_str(), size), 0) << path;
}

// What is planted after the build: the sizes of the files the game reads
// (0: a few bytes), and what the package's entries unpack to.
struct TPlanted {
  off_t Huge = 0;      // huge.osb, huge.brx, huge.mid, huge.cur, huge.txt
  off_t Copy = 0;      // copy.txt
  int BombMiB = 0;     // each bomb.* entry
  int PackedMiB = 0;   // packed.txt
  off_t Save = 0;      // save.dat (0: none)
};

void PlantGame(const std::string& game, const TPlanted& planted) {
  test::BuildGame("hugereads", game, true);
  // The buttons' picture: BMP data under the ".brx" name it is loaded by.
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c",
                              "import sys\nfrom PIL import Image\n"
                              "Image.new('RGB', (16, 16), (200, 100, 50)).save(sys.argv[1], 'BMP')\n",
                              game + "/button.brx"}).exit_code, 0);
  const test::CommandResult plant = test::RunCommand({ORBA_PYTHON, "-c", kPlantPackage, game,
                                                      std::to_string(planted.BombMiB), std::to_string(planted.PackedMiB)});
  ASSERT_EQ(plant.exit_code, 0) << plant.output;
  for (const char* name : {"huge.osb", "huge.brx", "huge.mid", "huge.cur", "huge.txt", "copy.txt"}) {
    const off_t size = std::string(name) == "copy.txt" ? planted.Copy : planted.Huge;
    if (size == 0) {
      test::WriteText(game + "/" + name, "tiny");
    } else {
      Sparse(game + "/" + name, size);
    }
  }
  if (planted.Save != 0) Sparse(game + "/save.dat", planted.Save);
}

// Plays the game over small files (the baseline) and as planted, a pointer
// move over each button from Input; both must end normally.
std::pair<test::CommandResult, test::CommandResult> PlayBoth(const std::string& top, const TPlanted& planted,
                                                             const std::string& input) {
  PlantGame(top + "/tiny", TPlanted{});
  PlantGame(top + "/game", planted);
  test::WriteText(top + "/input.txt", input);
  std::pair<test::CommandResult, test::CommandResult> runs{
      test::PlayGameUnquarantined(top + "/tiny", 12, {"--input", top + "/input.txt"}),
      test::PlayGameUnquarantined(top + "/game", 12, {"--input", top + "/input.txt"})};
  EXPECT_EQ(runs.first.exit_code, 0) << runs.first.output;
  EXPECT_EQ(runs.second.exit_code, 0) << runs.second.output;
  return runs;
}

// The peak may grow by at most Limit_kb above a game that reads small
// files (no single file may cost more than 300 MB). Under the address
// sanitizer its shadow adds an eighth to every block the player touches.
void ExpectPeakBounded(const test::CommandResult& r, const test::CommandResult& base, int64_t limit_kb) {
  const int64_t limit = test::kAddressSanitizer ? limit_kb * 9 / 8 : limit_kb;
  EXPECT_LT(r.peak_rss_kb - base.peak_rss_kb, limit) << r.peak_rss_kb << " against " << base.peak_rss_kb;
}

TEST(HugeReadsGame, WhatCannotBeHeldIsRefusedAsAMissingFileOfItsKind) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = top + "/game";
  const auto [base, r] =
      PlayBoth(top, TPlanted{kHugeBytes, 0, 400, 0}, "tick 6: mouse move 4 4\ntick 8: mouse move 36 4\n");
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var log str = \"start pages pictures media cursors FALSETRUETRUE end\""});
  ExpectContains(r.output, {Refused("huge.osb", 64 * kMiB), Refused("bomb.osb", 64 * kMiB),
                            Refused("huge.brx", 257 * kMiB), Refused("bomb.brx", 257 * kMiB),
                            Refused("huge.mid", 16 * kMiB), Refused("bomb.mid", 16 * kMiB),
                            Refused("huge.cur", 16 * kMiB), Refused("bomb.cur", 16 * kMiB),
                            Refused("huge.txt", 1024 * kMiB)});
  // Each kind's own failure for a file it cannot read. A packed sound or
  // movie is unpacked into a temporary file instead of memory, so the zeros
  // of one are read, and refused as no sound or movie.
  ExpectContains(r.output, {"command failed: main.osb line 4: huge.osb: more than", "sound huge.mid: huge.mid:",
                            "huge.cur: huge.cur: more than", "sound bomb.wav: not a playable WAVE file",
                            "video bomb.avi: not a media file"});
  test::ExpectLacks(r.output, {"file refused: bomb.wav", "file refused: bomb.avi"});
  EXPECT_FALSE(fs::exists(game + "/out/huge.txt"));
  RecordProperty("peak_kb", std::to_string(r.peak_rss_kb));
  RecordProperty("tiny_peak_kb", std::to_string(base.peak_rss_kb));
  ExpectPeakBounded(r, base, kLimitKb);
}

// ExtractFile copies a sparse file of 120 MB and an entry that unpacks to
// 48 MiB piece by piece: the copies are whole, and the player's peak grows
// by far less than either.
TEST(HugeReadsGame, ExtractFileCopiesWithoutHoldingTheFile) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = top + "/game";
  const auto [base, r] = PlayBoth(top, TPlanted{0, kCopyBytes, 0, 48}, "");
  ExpectContains(test::DumpSave(game + "/save.dat"), {"TRUETRUETRUE end\""});
  EXPECT_EQ(fs::file_size(game + "/out/copy.txt"), static_cast<uintmax_t>(kCopyBytes));
  EXPECT_EQ(fs::file_size(game + "/out/packed.txt"), static_cast<uintmax_t>(48 * kMiB));
  ExpectPeakBounded(r, base, kCopyPeakKb);
}

// A save.dat of 1.5 GB cannot be read: it is refused unread with a trace
// line and set aside whole under a fresh name beside it, and the game plays
// on.
TEST(HugeReadsGame, AHugeSaveFileIsRefusedUnreadAndKept) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = top + "/game";
  const auto [base, r] = PlayBoth(top, TPlanted{0, 0, 0, 0, kHugeBytes}, "");
  const std::string aside = game + "/save.dat" + kSetAsideTag;
  ExpectContains(r.output, {"save data: " + game + "/save.dat holds more than " + std::to_string(kMaxSaveFileBytes) +
                            " bytes: set aside as " + aside});
  const size_t at = r.output.find(aside);
  ASSERT_NE(at, std::string::npos);
  const std::string kept = r.output.substr(at, aside.size() + kFreshNameLetters);
  EXPECT_EQ(fs::file_size(kept), static_cast<uintmax_t>(kHugeBytes));
  ExpectPeakBounded(r, base, kLimitKb);
}

}  // namespace
}  // namespace orba
