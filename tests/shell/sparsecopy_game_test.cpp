// The "sparsecopy" game extracts a sparse 1 GiB file six times under new
// names: each copy keeps the source's holes (a few blocks on disk, not a
// gigabyte), and once 4 GiB are written in the run the next copies fail as
// a failed write does, with a trace line, leaving no file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kGiB = uintmax_t{1} << 30;

TEST(SparseCopyGame, CopiesKeepTheirHolesAndEndAtTheRunsWriteBound) {
  const test::TempDir dir;
  const std::string game = fs::canonical(dir.path()).string() + "/game";
  test::BuildGame("sparsecopy", game, true);
  {
    // 1 GiB of holes with a few bytes of data at its start and end.
    std::ofstream big(game + "/big.bin", std::ios::binary);
    big << "head";
    big.seekp(static_cast<std::streamoff>(kGiB - 4));
    big << "tail";
  }
  const test::CommandResult r = test::PlayGame(game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"copies TRUE TRUE TRUE TRUE end\""});
  for (const char* out : {"out1", "out2", "out3", "out4"}) {
    const std::string copy = game + "/" + out + "/big.bin";
    ASSERT_TRUE(fs::exists(copy)) << copy;
    EXPECT_EQ(fs::file_size(copy), kGiB) << copy;
    struct stat st {};
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    // Two blocks of data and the file system's own; a written copy would
    // take 2,097,152 blocks of 512 bytes.
    EXPECT_LT(st.st_blocks, 1024) << copy;
    std::ifstream in(copy, std::ios::binary);
    char head[5] = {}, tail[5] = {};
    in.read(head, 4);
    in.seekg(static_cast<std::streamoff>(kGiB - 4));
    in.read(tail, 4);
    EXPECT_EQ(std::string(head) + std::string(tail), "headtail") << copy;
  }
  for (const char* out : {"out5", "out6"}) {
    EXPECT_FALSE(fs::exists(game + "/" + out + "/big.bin")) << out;
    test::ExpectContains(r.output, {"file write refused: " + game + "/" + out +
                                    "/big.bin: past the 4294967296 bytes a game may write in one run\n"});
  }
}

}  // namespace
}  // namespace orba
