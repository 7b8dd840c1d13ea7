// The whole-player fuzzer's sandbox sees what it must: each deliberate read
// of a canary and write outside the game's folders is a finding, what a
// game may do in its own folders is none, and after a finding the sandbox
// is whole again.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/streams/big_stream.h"
#include "game_fuzz_sandbox.h"
#include "script/project/project_settings.h"

namespace orba::fuzz {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Written as the player writes a file: a temporary beside it, renamed over it.
void WriteByRename(const fs::path& path, const std::string& text) {
  const fs::path temporary = path.string() + ".new-1";
  Write(temporary, text);
  fs::rename(temporary, path);
}

// A folder "/tmp/orba-sandboxcheck-*", removed with what it holds when the
// check that made it ends, however it ends.
class TScratchFolder {
 public:
  TScratchFolder() {
    char pattern[] = "/tmp/orba-sandboxcheck-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) throw std::runtime_error(std::string("no scratch folder: ") + std::strerror(errno));
    path_ = pattern;
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  ~TScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The folder of a death test. Its child runs the test again up to the
// statement, in a process of its own, and dies there, past every guard: it
// takes the folder its parent made, named to it in the environment, and
// the parent, which lives on, removes it.
class TDeathTestFolder {
 public:
  TDeathTestFolder() {
    if (const char* parents = std::getenv(kVariable)) {
      path_ = parents;
      return;
    }
    made_.emplace();
    path_ = made_->Path();
    ::setenv(kVariable, path_.c_str(), 1);
  }
  TDeathTestFolder(const TDeathTestFolder&) = delete;
  TDeathTestFolder& operator=(const TDeathTestFolder&) = delete;
  ~TDeathTestFolder() {
    if (made_) ::unsetenv(kVariable);
  }
  const fs::path& Path() const { return path_; }

 private:
  static constexpr char kVariable[] = "ORBA_SANDBOXCHECK_DEATH_FOLDER";
  std::optional<TScratchFolder> made_;
  fs::path path_;
};

// Everything planted but HOME without its desktop and documents, which a
// case on them plants itself.
// The huge files and inflating entries are planted only by the cases about
// them: a check that reads a planted file whole would read 1.5 GB. The
// large pictures, huge directories and screens and nested texts cost
// minutes to make under the sanitizers and are planted by none.
constexpr uint64_t kPlantHeavy = kPlantHugeFiles | kPlantHugeSaveData | kPlantInflatingEntries;
constexpr uint64_t kPlantCostly = kPlantHeavy | kPlantLargePngs | kPlantLargeJpegAndBrix | kPlantHugeDirectory |
                                  kPlantHugeScreen | kPlantNestedTexts;
constexpr uint64_t kPlantWithUserFolders = kPlantAll & ~kPlantNoUserFolders & ~kPlantCostly;

class GameSandboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSandbox();
    PlayOnce();
  }
  void MakeSandbox() {
    char pattern[] = "/tmp/orba-sandboxcheck-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    sandbox_ = std::make_unique<TGameSandbox>(root_);
  }
  void TearDown() override {
    sandbox_.reset();
    fs::remove_all(root_);
  }
  // A built game with what the sandbox plants, watched from now on.
  void PlayOnce(uint64_t plants = kPlantWithUserFolders) {
    fs::remove_all(sandbox_->Game());
    fs::create_directories(sandbox_->Game());
    Write(sandbox_->Game() / "pic.bmp", "BM");
    Write(sandbox_->Game() / "own.bmp", "BM");
    Write(sandbox_->Game() / "game.dat", "a package");
    TProjectSetting settings;
    settings.StartPage = "main.osb";
    TKsMemoryStream out;
    settings.SaveToStream(out);
    out.SaveToFile((sandbox_->Game() / "orba.opb").string());
    sandbox_->Plant(plants);
    sandbox_->StartWatching();
  }

  fs::path root_;
  std::unique_ptr<TGameSandbox> sandbox_;
};

// What a case does and which finding it must give (empty: none), with what
// planted.
struct TCase {
  const char* Name;
  std::function<void(const TGameSandbox&)> Act;
  const char* Finding;
  uint64_t Plants = kPlantWithUserFolders;
};

std::ostream& operator<<(std::ostream& out, const TCase& c) { return out << c.Name; }

class GameSandboxFindingTest : public GameSandboxTest, public ::testing::WithParamInterface<TCase> {
 protected:
  void SetUp() override {
    MakeSandbox();
    PlayOnce(GetParam().Plants);
  }
};

TEST_P(GameSandboxFindingTest, ReportsExactlyWhatLeftTheGame) {
  GetParam().Act(*sandbox_);
  const std::vector<std::string> findings = sandbox_->Findings();
  const std::string wanted = GetParam().Finding;
  if (wanted.empty()) {
    EXPECT_TRUE(findings.empty()) << findings.front();
    return;
  }
  ASSERT_FALSE(findings.empty());
  bool found = false;
  for (const std::string& finding : findings) found = found || finding.find(wanted) != std::string::npos;
  EXPECT_TRUE(found) << "wanted \"" << wanted << "\", first finding: " << findings.front();
}

const TCase kCases[] = {
    {"read_through_a_file_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "link.txt"); },
     "canary/secret.txt (opened"},
    {"read_through_a_folder_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "linkdir/inner.txt"); },
     "canary/folder/inner.txt (opened"},
    {"listing_through_a_folder_link",
     [](const TGameSandbox& s) { (void)fs::begin(fs::directory_iterator(s.Game() / "linkdir")); }, "canary/folder ("},
    {"read_of_a_hidden_home_file", [](const TGameSandbox& s) { ReadAll(s.Game() / "ssh/id_rsa"); }, ".ssh/id_rsa"},
    {"read_of_a_home_dotfile", [](const TGameSandbox& s) { ReadAll(s.Home() / ".bashrc"); },
     "a canary outside the game was read"},
    {"write_through_the_planted_save_temporary", [](const TGameSandbox& s) { Write(s.Game() / "save.dat.~tmp", "x"); },
     "canary/secret.txt (opened, written"},
    {"truncation_through_the_planted_probe",
     [](const TGameSandbox& s) { std::ofstream(s.Game() / "save.dat.$$$", std::ios::trunc); }, "canary/secret.txt"},
    {"creation_through_a_dangling_temporary", [](const TGameSandbox& s) { Write(s.Game() / "shot.brx.~tmp", "x"); },
     "canary/absent.brx ("},
    {"creation_in_autostart_through_an_extract_temporary",
     [](const TGameSandbox& s) { Write(s.Game() / "dl/pic.bmp.~tmp", "x"); }, ".config/autostart/evil.desktop ("},
    {"read_through_the_next_volume_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "game.001"); },
     "canary/volume.001 (opened"},
    {"write_through_the_saves_next_volume_link", [](const TGameSandbox& s) { Write(s.Game() / "save.001", "x"); },
     "canary/volume.001 (opened, written"},
    {"a_heap_peak_above_the_limit",
     [](const TGameSandbox&) {
       // A megabyte over: the sandbox itself frees a few blocks after the start.
       std::unique_ptr<char[]> block(new char[kMaxPlayHeapGrowth + (1u << 20)]);
       block[0] = 1;
       asm volatile("" : : "r"(block.get()) : "memory");  // the block is made, not optimised away
     },
     "the heap peaked"},
    {"a_heap_peak_within_the_limit",
     [](const TGameSandbox&) {
       std::unique_ptr<char[]> block(new char[kMaxPlayHeapGrowth / 2]);
       block[0] = 1;
       asm volatile("" : : "r"(block.get()) : "memory");
     },
     ""},
    {"huge_files_cost_no_disk_and_the_entries_unpack_far_beyond_their_size",
     [](const TGameSandbox& s) {
       for (const char* name : {"huge.osb", "huge.brx", "huge.mid", "huge.cur", "huge.txt", "save.dat", "install.dat"}) {
         EXPECT_EQ(fs::file_size(s.Game() / name), kHugeFileBytes) << name;
         struct stat st {};
         EXPECT_EQ(::stat((s.Game() / name).c_str(), &st), 0);
         EXPECT_LT(st.st_blocks, 64) << name;
       }
       EXPECT_LT(fs::file_size(s.Game() / "game.dat"), kInflatedEntryBytes / 100);
     },
     "", (kPlantWithUserFolders & ~kPlantDownloadedPackage) | kPlantHeavy},
    {"read_through_the_save_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "save.dat"); },
     "canary/save.dat (opened"},
    {"truncation_through_the_save_link",
     [](const TGameSandbox& s) { std::ofstream(s.Game() / "save.dat", std::ios::trunc); }, "canary/save.dat"},
    {"read_through_a_font_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "fonts/out.ttf"); },
     "canary/font.ttf (opened"},
    {"scan_through_a_font_folder_link",
     [](const TGameSandbox& s) { (void)fs::begin(fs::directory_iterator(s.Game() / "fonts/outdir")); },
     "canary/folder ("},
    {"read_of_home_through_a_font_folder_link",
     [](const TGameSandbox& s) { ReadAll(s.Game() / "fonts/home/.bashrc"); }, "a canary outside the game was read"},
    {"desktop_made_anew_in_a_home_without_it",
     [](const TGameSandbox& s) { fs::create_directories(s.Home() / "Desktop/manual"); }, "home/Desktop (created",
     kPlantAll & ~kPlantCostly},
    {"documents_made_anew_in_a_home_without_them",
     [](const TGameSandbox& s) { Write(s.Home() / "Documents", "x"); }, "home/Documents (opened, written, closed after writing, created)",
     kPlantAll & ~kPlantCostly},
    {"read_through_the_settings_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "orba.opb"); },
     ".ssh/id_rsa (opened"},
    {"read_through_the_original_settings_link",
     [](const TGameSandbox& s) { ReadAll(s.Game() / "original_orba.opb"); }, ".ssh/id_rsa (opened"},
    {"read_through_the_start_page_link", [](const TGameSandbox& s) { ReadAll(s.Game() / "main.osb"); },
     ".ssh/id_rsa (opened"},
    {"read_of_the_climbing_exit_page",
     [](const TGameSandbox& s) {
       std::string page = kClimbingPage;
       std::replace(page.begin(), page.end(), '\\', '/');
       ReadAll(s.Game() / page);
     },
     "canary/secret.txt (opened", kPlantClimbingPage},
    {"read_beside_the_downloaded_package",
     [](const TGameSandbox& s) { ReadAll(s.Home() / "Downloads/bank-statement.txt"); },
     "a canary outside the game was read: "},
    {"save_beside_the_downloaded_package",
     [](const TGameSandbox& s) { WriteByRename(s.Home() / "Downloads/save.dat", "x"); },
     "home/Downloads/save.dat (moved in"},
    {"file_extracted_beside_the_downloaded_package",
     [](const TGameSandbox& s) { Write(s.Home() / "Downloads/pic.bmp", "x"); }, "home/Downloads/pic.bmp (opened, written"},
    {"read_of_the_downloaded_package_itself", [](const TGameSandbox& s) { ReadAll(s.Downloaded()); }, ""},
    {"write_beside_the_game", [](const TGameSandbox& s) { Write(s.Root() / "escaped.txt", "x"); }, "escaped.txt"},
    {"write_of_a_home_dotfile",
     [](const TGameSandbox& s) { std::ofstream(s.Home() / ".bashrc", std::ios::app) << "x"; },
     ".bashrc (opened, written"},
    {"write_of_another_titles_save",
     [](const TGameSandbox& s) { WriteByRename(s.Home() / ".local/share/orba/another title/save.dat", "x"); },
     "another title/save.dat (moved in"},
    {"save_in_the_data_folders_themselves",
     [](const TGameSandbox& s) { WriteByRename(s.Home() / ".local/share/orba/save.dat", "x"); },
     "orba/save.dat (moved in"},
    {"write_into_the_game_folder",
     [](const TGameSandbox& s) {
       WriteByRename(s.Game() / "save.dat", "x");
       Write(s.Game() / "new.txt", "x");
       fs::create_directories(s.Game() / "folder/below");
     },
     ""},
    {"rename_over_planted_links_replaces_them",
     [](const TGameSandbox& s) {
       WriteByRename(s.Game() / "shot.brx", "x");
       WriteByRename(s.Game() / "save.dat.~tmp", "x");
     },
     ""},
    {"read_and_write_through_links_that_stay_inside",
     [](const TGameSandbox& s) {
       ReadAll(s.Game() / "inlink/inside.txt");
       ReadAll(s.Game() / "inlink.txt");
       Write(s.Game() / "inlink/more.txt", "x");
     },
     ""},
    {"save_in_the_games_own_data_folder",
     [](const TGameSandbox& s) {
       fs::create_directories(s.Home() / ".local/share/orba/fuzz");
       WriteByRename(s.Home() / ".local/share/orba/fuzz/save.dat", "x");
     },
     ""},
    {"reads_in_the_games_font_folder_and_of_the_long_names",
     [](const TGameSandbox& s) {
       fs::create_directories(s.Game() / "fonts/sub");
       Write(s.Game() / "fonts/own.ttf", "x");
       ReadAll(s.Game() / "fonts/own.ttf");
       ReadAll(s.Game() / kLongName);
       ReadAll(s.Game() / kLongNameC);
       (void)fs::begin(fs::directory_iterator(s.Game() / "fonts"));
     },
     ""},
    {"wallpaper_in_the_data_folders",
     [](const TGameSandbox& s) { WriteByRename(s.Home() / ".local/share/orba/orbawall.bmp", "BM"); }, ""},
    {"files_in_the_temporary_folder", [](const TGameSandbox& s) { Write(s.Root() / "tmp/scratch", "x"); }, ""},
    {"folder_made_on_the_desktop",
     [](const TGameSandbox& s) { fs::create_directories(s.Home() / "Desktop/manual"); }, "home/Desktop/manual (created"},
    {"file_written_into_documents", [](const TGameSandbox& s) { Write(s.Home() / "Documents/shot.brx", "x"); },
     "home/Documents/shot.brx (opened, written"},
};

INSTANTIATE_TEST_SUITE_P(Acts, GameSandboxFindingTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TCase>& info) { return std::string(info.param.Name); });

TEST_F(GameSandboxTest, AfterAFindingTheCanariesAreWholeAndTheNextRunIsClean) {
  Write(sandbox_->Game() / "save.dat.~tmp", "overwritten");
  Write(sandbox_->Root() / "escaped.txt", "x");
  ASSERT_FALSE(sandbox_->Findings().empty());
  fs::remove_all(sandbox_->Game());
  sandbox_->Reset();
  EXPECT_EQ(ReadAll(sandbox_->Canary() / "secret.txt"), "a file outside every game\n");
  EXPECT_FALSE(fs::exists(sandbox_->Root() / "escaped.txt"));
  PlayOnce();
  EXPECT_TRUE(sandbox_->Findings().empty());
  ReadAll(sandbox_->Game() / "link.txt");
  EXPECT_FALSE(sandbox_->Findings().empty()) << "the watch holds after the reset";
}

TEST_F(GameSandboxTest, AHomeWithoutUserFoldersGetsThemBackBetweenRuns) {
  fs::create_directories(sandbox_->Home() / "Desktop/kept");
  PlayOnce(kPlantAll & ~kPlantCostly);
  EXPECT_FALSE(fs::exists(sandbox_->Home() / "Desktop"));
  EXPECT_FALSE(fs::exists(sandbox_->Home() / "Documents"));
  EXPECT_TRUE(sandbox_->Findings().empty()) << "the sandbox's own removal is no finding";
  sandbox_->Reset();
  EXPECT_TRUE(fs::is_directory(sandbox_->Home() / "Desktop"));
  EXPECT_TRUE(fs::is_directory(sandbox_->Home() / "Documents"));
  PlayOnce();
  EXPECT_TRUE(sandbox_->Findings().empty());
  Write(sandbox_->Home() / "Desktop/after.txt", "x");
  EXPECT_FALSE(sandbox_->Findings().empty()) << "the desktop made anew is watched";
}

// The exit page the plant names leads from the game folder to a canary; a
// loose game's settings carry it, the rest of them as they were.
TEST_F(GameSandboxTest, TheClimbingPagePlantNamesACanaryAsTheExitPage) {
  PlayOnce(kPlantClimbingPage);
  TKsMemoryStream in;
  in.LoadFromFile((sandbox_->Game() / "orba.opb").string());
  TProjectSetting settings;
  settings.LoadFromStream(in);
  EXPECT_EQ(settings.ExitPage, kClimbingPage);
  EXPECT_EQ(settings.StartPage, "main.osb");
  std::string page = kClimbingPage;
  std::replace(page.begin(), page.end(), '\\', '/');
  EXPECT_EQ(fs::weakly_canonical(sandbox_->Game() / page), fs::weakly_canonical(sandbox_->Canary() / "secret.txt"));
}

// The downloaded package is what the player is given, in the downloads
// folder; it goes between runs, the canary beside it stays.
TEST_F(GameSandboxTest, TheDownloadedPackageIsPlayedFromTheDownloadsFolder) {
  EXPECT_EQ(sandbox_->GameToPlay(kPlantDownloadedPackage), sandbox_->Downloaded());
  EXPECT_EQ(sandbox_->GameToPlay(kPlantAll & ~kPlantDownloadedPackage), sandbox_->Game());
  EXPECT_EQ(ReadAll(sandbox_->Downloaded()), "a package");
  EXPECT_FALSE(fs::exists(sandbox_->Game() / "game.dat"));
  EXPECT_TRUE(sandbox_->Findings().empty());
  sandbox_->Reset();
  EXPECT_FALSE(fs::exists(sandbox_->Downloaded()));
  EXPECT_TRUE(fs::exists(sandbox_->Home() / "Downloads/bank-statement.txt"));
}

TEST_F(GameSandboxTest, TheGamesDataFolderGoesBetweenRuns) {
  fs::create_directories(sandbox_->Home() / ".local/share/orba/fuzz");
  Write(sandbox_->Home() / ".local/share/orba/fuzz/save.dat", "x");
  EXPECT_TRUE(sandbox_->Findings().empty());
  sandbox_->Reset();
  EXPECT_FALSE(fs::exists(sandbox_->Home() / ".local/share/orba/fuzz"));
  EXPECT_TRUE(fs::exists(sandbox_->Home() / ".local/share/orba/another title/save.dat"));
}

// A folder the desktop is asked to open, and whether the game may ask.
struct TOpenCase {
  const char* Name;
  std::function<std::string(const TGameSandbox&)> Target;
  bool Openable;
};

std::ostream& operator<<(std::ostream& out, const TOpenCase& c) { return out << c.Name; }

class GameSandboxOpenTest : public GameSandboxTest, public ::testing::WithParamInterface<TOpenCase> {};

TEST_P(GameSandboxOpenTest, OpensOnlyTheGamesOwnFolders) {
  fs::create_directories(sandbox_->Home() / ".local/share/orba/fuzz");
  EXPECT_EQ(sandbox_->MayOpenFolder(GetParam().Target(*sandbox_)), GetParam().Openable);
}

const TOpenCase kOpenCases[] = {
    {"game_subfolder", [](const TGameSandbox& s) { return (s.Game() / "sub").string(); }, true},
    {"file_address_of_the_game", [](const TGameSandbox& s) { return "file://" + s.Game().string(); }, true},
    {"link_inside_the_game", [](const TGameSandbox& s) { return (s.Game() / "inlink").string(); }, true},
    {"own_data_folder", [](const TGameSandbox& s) { return (s.Home() / ".local/share/orba/fuzz").string(); }, true},
    {"desktop", [](const TGameSandbox& s) { return (s.Home() / "Desktop").string(); }, false},
    {"relative_name", [](const TGameSandbox&) { return std::string("sub"); }, false},
    {"link_to_the_canary_folder", [](const TGameSandbox& s) { return (s.Game() / "linkdir").string(); }, false},
    {"climb_out_of_the_game", [](const TGameSandbox& s) { return (s.Game() / "../canary").string(); }, false},
    {"the_players_data_folder", [](const TGameSandbox& s) { return (s.Home() / ".local/share/orba").string(); }, false},
    {"another_titles_folder",
     [](const TGameSandbox& s) { return (s.Home() / ".local/share/orba/another title").string(); }, false},
    {"a_file_of_the_game", [](const TGameSandbox& s) { return (s.Game() / "pic.bmp").string(); }, false},
};

INSTANTIATE_TEST_SUITE_P(Targets, GameSandboxOpenTest, ::testing::ValuesIn(kOpenCases),
                         [](const ::testing::TestParamInfo<TOpenCase>& info) { return std::string(info.param.Name); });

class GameSandboxDeathTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GameSandboxDeathTest, AGameWaitingOnAPlantedFifoEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const TDeathTestFolder root;
  EXPECT_DEATH(
      {
        TGameSandbox sandbox(root.Path(), std::chrono::milliseconds(100));
        fs::create_directories(sandbox.Game());
        sandbox.Plant(kPlantFifo | kPlantFontFolder);
        sandbox.StartWatching();
        ReadAll(sandbox.Game() / GetParam());
      },
      std::string("waited on the planted FIFO .*") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Fifos, GameSandboxDeathTest, ::testing::ValuesIn(kPlantedFifos),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// A sandbox folder whose process is gone (killed for its memory, stopped
// at a finding) goes when the next run makes its own; a live process's
// folder stays, and so does whatever is not exactly a sandbox folder this
// user's run made: another user's, a copy, a name of another form.
struct TLeftoverCase {
  const char* Name;
  // Makes it beside Dead, the folder the run Gone left, and answers its path.
  std::function<fs::path(const fs::path& dead, pid_t gone)> Make;
  bool Removed;
  bool OtherUser = false;  // made another user's, which only root can
};

std::ostream& operator<<(std::ostream& out, const TLeftoverCase& c) { return out << c.Name; }

std::string SandboxName(pid_t pid, const std::string& unique) {
  return kSandboxPrefix + std::to_string(pid) + "-" + unique;
}

// A folder named Name beside Dead and stamped with it: only its name tells
// it from a sandbox.
fs::path Stamped(const fs::path& dead, const std::string& name) {
  const fs::path folder = dead.parent_path() / name;
  fs::create_directory(folder);
  Write(folder / kSandboxStamp, name);
  return folder;
}

constexpr uid_t kOtherUid = 65534;  // "nobody"

const TLeftoverCase kLeftovers[] = {
    {"the_folder_of_a_run_that_is_gone", [](const fs::path& dead, pid_t) { return dead; }, true},
    {"the_folder_of_a_live_run",
     [](const fs::path& dead, pid_t) { return Stamped(dead, SandboxName(::getpid(), "Qw12er")); }, false},
    {"another_users_folder_of_a_run_that_is_gone",
     [](const fs::path& dead, pid_t) {
       EXPECT_EQ(::lchown(dead.c_str(), kOtherUid, kOtherUid), 0) << std::strerror(errno);
       return dead;
     },
     false, true},
    {"a_backup_copy_of_the_folder_of_a_run_that_is_gone",
     [](const fs::path& dead, pid_t gone) {
       const fs::path copy = dead.parent_path() / SandboxName(gone, "backup");
       fs::copy(dead, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
       return copy;
     },
     false},
    {"a_sandbox_name_without_the_stamp",
     [](const fs::path& dead, pid_t gone) {
       const fs::path folder = dead.parent_path() / SandboxName(gone, "backup");
       fs::create_directory(folder);
       return folder;
     },
     false},
    {"no_process_id", [](const fs::path& dead, pid_t) { return Stamped(dead, kSandboxPrefix + std::string("Qw12er")); },
     false},
    {"an_id_with_a_leading_zero",
     [](const fs::path& dead, pid_t gone) { return Stamped(dead, kSandboxPrefix + ("0" + std::to_string(gone)) + "-aB3xYz"); },
     false},
    {"another_prefix",
     [](const fs::path& dead, pid_t gone) { return Stamped(dead, "other-" + std::to_string(gone) + "-aB3xYz"); }, false},
    {"seven_unique_characters", [](const fs::path& dead, pid_t gone) { return Stamped(dead, SandboxName(gone, "longer1")); },
     false},
    {"five_unique_characters", [](const fs::path& dead, pid_t gone) { return Stamped(dead, SandboxName(gone, "short")); },
     false},
    {"unique_characters_mkdtemp_never_makes",
     [](const fs::path& dead, pid_t gone) { return Stamped(dead, SandboxName(gone, "a.c-de")); }, false},
    {"a_file_named_like_a_sandbox",
     [](const fs::path& dead, pid_t gone) {
       const fs::path file = dead.parent_path() / SandboxName(gone, "file00");
       Write(file, "a file named like a sandbox");
       return file;
     },
     false},
    {"a_link_named_like_a_sandbox",
     [](const fs::path& dead, pid_t gone) {
       const fs::path link = dead.parent_path() / SandboxName(gone, "link00");
       fs::create_directory_symlink(Stamped(dead, "elsewhere"), link);
       return link;
     },
     false},
};

class SandboxLeftovers : public ::testing::TestWithParam<TLeftoverCase> {};

TEST_P(SandboxLeftovers, OnlyTheFoldersOfRunsThatAreGoneAreRemoved) {
  if (GetParam().OtherUser && ::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
  const TScratchFolder parent;
  // A run that made its sandbox and ended without its exit handlers.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      const fs::path made = MakeSandboxRoot(parent.Path());
      fs::create_directories(made / "game");
      Write(made / "game" / "main.osb", "a page");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "the run that is gone made no sandbox: %s\n", e.what());
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);  // its id names no process now
  ASSERT_EQ(status, 0);
  const fs::path dead = *fs::directory_iterator(parent.Path());
  const fs::path leftover = GetParam().Make(dead, child);

  const fs::path made = MakeSandboxRoot(parent.Path());
  std::error_code ec;
  EXPECT_EQ(fs::exists(fs::symlink_status(leftover, ec)), !GetParam().Removed) << leftover;
  EXPECT_TRUE(fs::is_directory(made));
  EXPECT_EQ(made.parent_path(), parent.Path());
  EXPECT_EQ(made.filename().string().rfind(SandboxName(::getpid(), ""), 0), 0u) << made;
  EXPECT_TRUE(RemoveDeadSandboxes(parent.Path()).empty()) << "the folder made is this live process's";
}

INSTANTIATE_TEST_SUITE_P(Leftovers, SandboxLeftovers, ::testing::ValuesIn(kLeftovers),
                         [](const ::testing::TestParamInfo<TLeftoverCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace orba::fuzz
