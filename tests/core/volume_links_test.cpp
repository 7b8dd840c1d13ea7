// A file stream's further volumes and a package's side file, planted beside
// the first file as links, FIFOs and devices: read only where they lead
// inside the first file's folder (or, while a game runs, its folders); a
// file outside is never even opened.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "core/errors.h"
#include "core/files/file_access.h"
#include "core/files/vr_file.h"
#include "core/streams/big_file_stream.h"
#include "support/open_watch.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kVolume = 10;

std::vector<uint8_t> Counting(size_t n, int first = 0) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + static_cast<int>(i));
  return out;
}

// A game folder holding the full first volume "x.dat" (Counting(10)), a
// file "sub/real.001" (Counting(5, 10)), and beside it an outside folder
// with the user's "canary" and a folder "data" (another open folder).
struct Planting {
  explicit Planting(const test::TempDir& dir)
      : game(dir / "game"), outside(dir / "outside"), data(dir / "data"), canary(outside + "/canary") {
    fs::create_directories(game + "/sub");
    fs::create_directories(outside);
    fs::create_directories(data);
    test::WriteFileBytes(game + "/x.dat", Counting(kVolume));
    test::WriteFileBytes(game + "/sub/real.001", Counting(5, 10));
    test::WriteFileBytes(data + "/real.001", Counting(5, 10));
    test::WriteFileBytes(canary, test::Bytes("CANARY-KEY"));
  }
  std::string game, outside, data, canary;
};

struct VolumeCase {
  const char* name;
  // Plants "x.001" (and what it needs) beside the first volume.
  std::function<void(const Planting&)> plant;
  size_t bytes_read;  // of Counting(15)
  int volumes;
};

void PrintTo(const VolumeCase& c, std::ostream* os) { *os << c.name; }

void Link(const std::string& target, const std::string& at) { fs::create_symlink(target, at); }

class PlantedVolume : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(PlantedVolume, IsReadOnlyWhenItStaysInTheFirstVolumesFolder) {
  const test::TempDir dir;
  const Planting p(dir);
  GetParam().plant(p);
  const test::OpenWatch watch(p.canary);
  ASSERT_TRUE(watch.Armed());
  TKsBigFileStream s(p.game + "/x.dat", fmOpenRead | fmShareDenyWrite, kVolume);
  std::vector<uint8_t> got(20);
  got.resize(static_cast<size_t>(s.Read(got.data(), 20)));
  EXPECT_EQ(got, Counting(GetParam().bytes_read));
  EXPECT_EQ(s.VolumeCount(), GetParam().volumes);
  EXPECT_FALSE(watch.Touched());
}

// A volume that may not be read counts as a full one that cannot be opened:
// the file stays as long as the package says, nothing of it is read.
INSTANTIATE_TEST_SUITE_P(
    Volumes, PlantedVolume,
    ::testing::Values(
        VolumeCase{"RegularFile", [](const Planting& p) { test::WriteFileBytes(p.game + "/x.001", Counting(5, 10)); },
                   15, 2},
        VolumeCase{"LinkInside", [](const Planting& p) { Link("sub/real.001", p.game + "/x.001"); }, 15, 2},
        VolumeCase{"LinkOut", [](const Planting& p) { Link("../outside/canary", p.game + "/x.001"); }, 10, 2},
        VolumeCase{"AbsoluteLinkOut", [](const Planting& p) { Link(p.canary, p.game + "/x.001"); }, 10, 2},
        VolumeCase{"LinkInsideThenOut",
                   [](const Planting& p) {
                     Link("../../outside/canary", p.game + "/sub/hop");
                     Link("sub/hop", p.game + "/x.001");
                   },
                   10, 2},
        VolumeCase{"LinkOutAndBackIn",
                   [](const Planting& p) {
                     Link("../game/sub/real.001", p.outside + "/back");
                     Link("../outside/back", p.game + "/x.001");
                   },
                   10, 2},
        VolumeCase{"FolderLinkOut", [](const Planting& p) { Link("../outside", p.game + "/x.001"); }, 10, 2},
        VolumeCase{"Fifo", [](const Planting& p) { ASSERT_EQ(::mkfifo((p.game + "/x.001").c_str(), 0644), 0); }, 10,
                   2},
        VolumeCase{"Device", [](const Planting& p) { Link("/dev/zero", p.game + "/x.001"); }, 10, 2},
        VolumeCase{"DanglingLinkInside", [](const Planting& p) { Link("sub/none.001", p.game + "/x.001"); }, 10, 1},
        VolumeCase{"NoneThere", [](const Planting&) {}, 10, 1},
        // A folder of the volume's name is no volume file: the volumes end.
        VolumeCase{"Folder", [](const Planting& p) { fs::create_directory(p.game + "/x.001"); }, 10, 1},
        VolumeCase{"LinkToAFolderInside", [](const Planting& p) { Link("sub", p.game + "/x.001"); }, 10, 1}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return std::string(info.param.name); });

// Volumes are opened for as long as the next volume file exists: one that
// may not be read still counts as full, and the one after it is looked up
// and judged on its own.
struct NextVolumeCase {
  const char* name;
  std::function<void(const Planting&)> plant;  // plants x.002, x.003 as needed
  int volumes;
  size_t third_bytes;  // read at 20, the start of x.002
};

void PrintTo(const NextVolumeCase& c, std::ostream* os) { *os << c.name; }

class AfterARefusedVolume : public ::testing::TestWithParam<NextVolumeCase> {};

TEST_P(AfterARefusedVolume, TheNextIsStillJudgedOnItsOwn) {
  const test::TempDir dir;
  const Planting p(dir);
  Link("../outside/canary", p.game + "/x.001");
  GetParam().plant(p);
  const test::OpenWatch watch(p.canary);
  ASSERT_TRUE(watch.Armed());
  TKsBigFileStream s(p.game + "/x.dat", fmOpenRead | fmShareDenyWrite, kVolume);
  EXPECT_EQ(s.VolumeCount(), GetParam().volumes);
  std::vector<uint8_t> got(20);
  got.resize(static_cast<size_t>(s.Read(got.data(), 20)));
  EXPECT_EQ(got, Counting(10));  // the refused volume gives nothing
  s.SetPosition(2 * kVolume);
  got.assign(20, 0);
  got.resize(static_cast<size_t>(s.Read(got.data(), 20)));
  EXPECT_EQ(got, Counting(GetParam().third_bytes, 20));
  EXPECT_FALSE(watch.Touched());
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, AfterARefusedVolume,
    ::testing::Values(
        NextVolumeCase{"RegularFile", [](const Planting& p) { test::WriteFileBytes(p.game + "/x.002", Counting(5, 20)); },
                       3, 5},
        NextVolumeCase{"AnotherRefusedThenAFile",
                       [](const Planting& p) {
                         Link(p.canary, p.game + "/x.002");
                         test::WriteFileBytes(p.game + "/x.003", Counting(5, 30));
                       },
                       4, 0},
        NextVolumeCase{"Folder", [](const Planting& p) { fs::create_directory(p.game + "/x.002"); }, 2, 0},
        NextVolumeCase{"None", [](const Planting&) {}, 2, 0}),
    [](const ::testing::TestParamInfo<NextVolumeCase>& info) { return std::string(info.param.name); });

// While a game runs, a volume may lead to another folder open to it, still
// never outside them.
TEST(PlantedVolumeOfAGame, LeadsIntoTheGamesOtherFoldersButNoFurther) {
  const test::TempDir dir;
  const Planting p(dir);
  const test::OpenWatch watch(p.canary);
  RestrictFileAccess();
  AllowFileRoot(p.game, TAccessRoot::Game);
  AllowFileRoot(p.data, TAccessRoot::Data);
  Link("../data/real.001", p.game + "/x.001");
  Link("../outside/canary", p.game + "/y.001");
  test::WriteFileBytes(p.game + "/y.dat", Counting(kVolume));
  TKsBigFileStream into_data(p.game + "/x.dat", fmOpenRead, kVolume);
  TKsBigFileStream out(p.game + "/y.dat", fmOpenRead, kVolume);
  ReleaseFileAccess();
  EXPECT_EQ(into_data.GetSize(), 15);
  std::vector<uint8_t> got(20);
  out.SetPosition(kVolume);
  EXPECT_EQ(out.Read(got.data(), 5), 0);
  EXPECT_FALSE(watch.Touched());
}

// A file the player opens itself outside the game's folders (the package
// appended to its program) keeps its volumes while the game runs.
TEST(PlantedVolumeOfAGame, BesideAFileOutsideItsFoldersIsStillRead) {
  const test::TempDir dir;
  const Planting p(dir);
  test::WriteFileBytes(p.game + "/x.001", Counting(5, 10));
  RestrictFileAccess();
  AllowFileRoot(p.data, TAccessRoot::Data);
  TKsBigFileStream s(p.game + "/x.dat", fmOpenRead, kVolume);
  ReleaseFileAccess();
  std::vector<uint8_t> got(20);
  got.resize(static_cast<size_t>(s.Read(got.data(), 20)));
  EXPECT_EQ(got, Counting(15));
}

// The volumes of a file named through a link are those of the file it
// leads to, beside it.
TEST(PlantedVolumeOfALink, AreLookedUpBesideTheFileTheNameLeadsTo) {
  const test::TempDir dir;
  const Planting p(dir);
  fs::rename(p.game + "/x.dat", p.game + "/sub/real.dat");
  Link("sub/real.dat", p.game + "/x.dat");
  test::WriteFileBytes(p.game + "/x.001", test::Bytes("wrong"));
  TKsBigFileStream s(p.game + "/x.dat", fmOpenRead, kVolume);
  std::vector<uint8_t> got(20);
  got.resize(static_cast<size_t>(s.Read(got.data(), 20)));
  EXPECT_EQ(got, Counting(15));
  EXPECT_EQ(s.FirstEntry(), "real.dat");
}

// A package whose directory lies in a side file "p.ext": the side file is
// looked up beside the package as its volumes are.
class PlantedSideFile : public ::testing::Test {
 protected:
  void SetUp() override {
    TVrFileCollection c;
    c.AddEntry("a.txt")->Data->WriteBuffer("hello", 5);
    TKsMemoryStream archive;
    ASSERT_TRUE(c.SaveToBigStream(archive));
    // The whole archive serves as both: its directory starts at byte 0 and
    // its offsets count from there.
    archive.SaveToFile(p.game + "/p.dat");
    archive.SaveToFile(p.game + "/sub/p.ext");
    archive.SaveToFile(p.outside + "/p.ext");
  }
  const test::TempDir dir;
  const Planting p{dir};
};

TEST_F(PlantedSideFile, LeadingOutIsRefusedUnread) {
  Link("../outside/p.ext", p.game + "/p.ext");
  const test::OpenWatch watch(p.outside + "/p.ext");
  TVrFileCollection c;
  EXPECT_THROW(c.OpenPath(p.game + "/p.dat"), EFOpenError);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_FALSE(watch.Touched());
}

// A folder of the side file's name is no side file: the package's own
// directory is read.
TEST_F(PlantedSideFile, AFolderOfItsNameIsNone) {
  for (const bool link : {false, true}) {
    fs::remove_all(p.game + "/p.ext");
    if (link) {
      Link("sub", p.game + "/p.ext");
    } else {
      fs::create_directory(p.game + "/p.ext");
    }
    TVrFileCollection c;
    c.OpenPath(p.game + "/p.dat");
    TKsMemoryStream out;
    c.ReadEntry(out, "a.txt");
    EXPECT_EQ(out.Bytes(), test::Bytes("hello")) << link;
  }
}

TEST_F(PlantedSideFile, LeadingInsideIsRead) {
  Link("sub/p.ext", p.game + "/p.ext");
  TVrFileCollection c;
  c.OpenPath(p.game + "/p.dat");
  TKsMemoryStream out;
  c.ReadEntry(out, "a.txt");
  EXPECT_EQ(out.Bytes(), test::Bytes("hello"));
}

}  // namespace
}  // namespace orba
