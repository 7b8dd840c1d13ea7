// The saves are always written, and a failure says why: a "save.dat" too
// large to read is set aside whole and the saves begin a new file; a status
// save that cannot be written names the system's reason and the player
// exits 1; a game opening more sounds than the player holds open leaves it
// the descriptors for its status save.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/files/file_limits.h"
#include "media/media_managers.h"
#include "shell/said_text.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::CountOf;

// Plays Game headless for a few ticks with standard error joined to the
// output, after the shell lines Setup (limits set before the player starts).
test::CommandResult PlayWith(const std::string& setup, const std::string& game, const std::string& options = "") {
  return test::RunCommand({"sh", "-c", setup + "; exec \"$1\" --headless --ticks 5 " + options + " \"$2\" 2>&1", "sh",
                           ORBA_PLAYER_PATH, game});
}

std::vector<std::string> NamesIn(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename().string().rfind(prefix, 0) == 0) names.push_back(e.path().filename().string());
  }
  return names;
}

// A mono 8-bit WAVE of Seconds seconds of silence at 8 kHz.
std::vector<uint8_t> SilentWave(uint32_t seconds) {
  const uint32_t data = 8000 * seconds;
  std::vector<uint8_t> out;
  const auto put32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto put16 = [&out](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  const auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF"), put32(36 + data), tag("WAVE");
  tag("fmt "), put32(16), put16(1), put16(1), put32(8000), put32(8000), put16(1), put16(8);
  tag("data"), put32(data);
  out.insert(out.end(), data, 0x80);
  return out;
}

// A "save.dat" past the read limit (the Windows player's, or one copied in)
// would block every save: it is moved aside to a fresh name, byte for byte
// the same file, one line names both, and the game's status is saved anew
// and read back by the next run, which says nothing.
TEST(SaveFaultsGame, ASaveDatTooLargeToReadIsSetAsideAndTheSavesBeginAnew) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("counter", game, true);
  const std::string save = game + "/save.dat";
  const std::string head = "the head of a large save", tail = "its tail";
  {
    std::ofstream out(save, std::ios::binary);
    out << head;
    out.seekp(kMaxSaveFileBytes + 1 - static_cast<int64_t>(tail.size()));
    out << tail;
  }
  struct stat before {};
  ASSERT_EQ(::stat(save.c_str(), &before), 0);
  ASSERT_EQ(before.st_size, kMaxSaveFileBytes + 1);

  const test::CommandResult first = PlayWith(":", game);
  ASSERT_EQ(first.exit_code, 0) << first.output;
  const std::vector<std::string> aside = NamesIn(game, "save.dat.set-aside.");
  ASSERT_EQ(aside.size(), 1U) << first.output;
  EXPECT_EQ(first.output, "orba: " + save + ": holds more than " + std::to_string(kMaxSaveFileBytes) +
                              " bytes: set aside as " + game + "/" + aside[0] + "; the saves go to a new file\n");
  struct stat kept {};
  ASSERT_EQ(::stat((game + "/" + aside[0]).c_str(), &kept), 0);
  EXPECT_EQ(kept.st_ino, before.st_ino);
  EXPECT_EQ(kept.st_size, before.st_size);
  std::ifstream in(game + "/" + aside[0], std::ios::binary);
  std::string got_head(head.size(), '\0'), got_tail(tail.size(), '\0');
  in.read(got_head.data(), static_cast<std::streamsize>(got_head.size()));
  in.seekg(-static_cast<std::streamoff>(tail.size()), std::ios::end);
  in.read(got_tail.data(), static_cast<std::streamsize>(got_tail.size()));
  EXPECT_EQ(got_head + "|" + got_tail, head + "|" + tail);
  test::ExpectContains(test::DumpSave(save), {"var runs int = 1"});

  const test::CommandResult second = PlayWith(":", game);
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_EQ(second.output, "");
  EXPECT_EQ(NamesIn(game, "save.dat.set-aside.").size(), 1U);
  test::ExpectContains(test::DumpSave(save), {"var runs int = 2"});
}

// No file may grow (RLIMIT_FSIZE 0, SIGXFSZ ignored, so a write fails with
// EFBIG): the status save at the end fails, one line says why with the
// system's words, the player exits 1 and the save of the run before stays.
TEST(SaveFaultsGame, AStatusSaveThatCannotBeWrittenSaysWhyAndExitsOne) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("counter", game, true);
  ASSERT_EQ(PlayWith(":", game).exit_code, 0);
  const std::vector<uint8_t> saved = test::ReadFileBytes(game + "/save.dat");

  const test::CommandResult r = PlayWith("trap '' XFSZ; ulimit -f 0", game);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "orba: " + game + "/save.dat: not written: File too large\n");
  EXPECT_TRUE(test::ReadFileBytes(game + "/save.dat") == saved);
  EXPECT_EQ(NamesIn(game, "save.dat.").size(), 0U);
}

// A "save.dat" that is there but cannot be opened (here: no access, for
// root too once the player runs without the capabilities that pass file
// modes) is no empty save: it is said with the system's reason and waits,
// byte for byte, as a file that cannot be read does, never replaced by the
// status save.
TEST(SaveFaultsGame, ASaveDatThatCannotBeOpenedIsKeptAndNotReplaced) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("counter", game, true);
  ASSERT_EQ(PlayWith(":", game).exit_code, 0);
  const std::string save = game + "/save.dat";
  const std::vector<uint8_t> saved = test::ReadFileBytes(save);
  ASSERT_EQ(::chmod(save.c_str(), 0), 0);
  struct stat before {};
  ASSERT_EQ(::stat(save.c_str(), &before), 0);
  // Root passes file modes through its capabilities: the player runs
  // without them.
  const std::string run = ::geteuid() == 0 ? "exec setpriv --bounding-set=-dac_override,-dac_read_search \"$@\""
                                           : "exec \"$@\"";
  const test::CommandResult r =
      test::RunCommand({"sh", "-c", "exec 2>&1; " + run, "sh", ORBA_PLAYER_PATH, "--headless", "--ticks", "5", game});
  struct stat after {};
  ASSERT_EQ(::stat(save.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  ::chmod(save.c_str(), 0644);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, "orba: " + save + ": cannot be opened: Permission denied\n");
  EXPECT_TRUE(test::ReadFileBytes(save) == saved);
  test::ExpectContains(test::DumpSave(save), {"var runs int = 1"});
}

// 1,100 sounds under a limit of 1,024 descriptors: the player holds no
// more than its bound open (each sound past it is traced as a file that
// cannot be opened, and one line on standard error says the bound was
// met), and the status save is written.
TEST(SaveFaultsGame, OpeningMoreSoundsThanTheBoundLeavesDescriptorsForTheStatusSave) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("opensounds", game, true);
  test::WriteFileBytes(game + "/long.wav", SilentWave(10));
  const test::CommandResult r = PlayWith("ulimit -n 1024", game, "--trace -");
  ASSERT_EQ(r.exit_code, 0) << r.output.substr(0, 4000);
  const std::string refused = "sound long.wav: cannot be opened: " + std::to_string(kMaxOpenMediaFiles) +
                              " sounds and movies are open\n";
  EXPECT_EQ(CountOf(r.output, refused), 1100 - kMaxOpenMediaFiles);
  EXPECT_EQ(CountOf(r.output, "orba: "), 1U);
  EXPECT_EQ(CountOf(r.output, "orba: sounds and movies refused: " + std::to_string(kMaxOpenMediaFiles) +
                                  " are open, the most the player holds at once\n"),
            1U);
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var opened int = 1100"});
}

}  // namespace
}  // namespace orba
