// The player's record of the folders chosen for each game: its text read
// strictly, its caps, and its file in the player's own folder, read and
// written without going through anything planted under its name.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/system/chosen_folders.h"
#include "core/system/save_location.h"
#include "support/fixed_host.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = std::string(kChosenFoldersHeader) + "\n";

std::string FileText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}
void WriteText(const std::string& path, const std::string& text) { test::WriteFileBytes(path, test::Bytes(text)); }

// A record of the older form, where every game was kept under its folder,
// is read as it stands and written in the current form.
TEST(ChosenFolders, TheOlderFormIsReadAndWrittenAnew) {
  const std::string old = std::string(kChosenFoldersHeaderFolders) + "\n/games\t/f\n";
  const std::optional<std::vector<TChosenFolder>> read = ParseChosenFolders(old);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, (std::vector<TChosenFolder>{{"/games", "/f"}}));
  std::vector<TChosenFolder> choices = *read;
  ASSERT_TRUE(AddChosenFolder(choices, TChosenFolder{"/games/good.dat", "/f"}));
  EXPECT_EQ(FormatChosenFolders(choices), kHeader + "/games\t/f\n/games/good.dat\t/f\n");
  EXPECT_EQ(ParseChosenFolders(std::string(kChosenFoldersHeaderFolders) + "\n/g\t/f"), std::nullopt);
}

TEST(ChosenFolders, OnlyAWholeRecordIsRead) {
  const struct {
    std::string text;
    std::optional<std::vector<TChosenFolder>> read;
  } cases[] = {
      {kHeader, std::vector<TChosenFolder>{}},
      {kHeader + "/g\t/f\n/g\t/f2\n/h\t/f\n",
       std::vector<TChosenFolder>{{"/g", "/f"}, {"/g", "/f2"}, {"/h", "/f"}}},
      {kHeader + "/g \t/a b\xe3\x81\x82\n", std::vector<TChosenFolder>{{"/g ", "/a b\xe3\x81\x82"}}},
      {"", std::nullopt},
      {std::string(kChosenFoldersHeader), std::nullopt},                // the header without its end
      {"orba chosen folders 3\n", std::nullopt},                        // a later version
      {"orba chosen folders\n", std::nullopt},                          // no version
      {kHeader + "/g\t/f", std::nullopt},                               // a line without its end
      {kHeader + "\n", std::nullopt},                                   // an empty line
      {kHeader + "/g/f\n", std::nullopt},                               // no tab
      {kHeader + "/g\t/f\t/e\n", std::nullopt},                         // a tab in the folder
      {kHeader + "g\t/f\n", std::nullopt},                              // a relative game
      {kHeader + "/g\tf\n", std::nullopt},                              // a relative folder
      {kHeader + "/g\t\n", std::nullopt},                               // no folder
      {kHeader + "/g\t/f\r\n", std::nullopt},                           // a carriage return
      {kHeader + std::string("/g\t/f\0/x\n", 8), std::nullopt},         // a zero byte
      {kHeader + "/g\t/" + std::string(kMaxChosenFoldersFileSize, 'f') + "\n", std::nullopt},  // too large
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ParseChosenFolders(cases[i].text), cases[i].read) << i;
    if (cases[i].read) {
      EXPECT_EQ(FormatChosenFolders(*cases[i].read), cases[i].text) << i;
    }
  }
}

// A game keeps its latest choices; a choice made again is the latest; the
// record keeps its newest lines within its size; a path that no line could
// hold is refused and changes nothing.
TEST(ChosenFolders, AddingKeepsTheLatestChoicesWithinTheCaps) {
  std::vector<TChosenFolder> choices{{"/other", "/o"}};
  for (size_t i = 0; i <= kMaxChosenFoldersPerGame; ++i)
    ASSERT_TRUE(AddChosenFolder(choices, {"/g", "/f" + std::to_string(i)}));
  ASSERT_EQ(choices.size(), kMaxChosenFoldersPerGame + 1);
  EXPECT_EQ(choices[0], (TChosenFolder{"/other", "/o"}));
  EXPECT_EQ(choices[1], (TChosenFolder{"/g", "/f1"}));  // "/f0" went
  ASSERT_TRUE(AddChosenFolder(choices, {"/g", "/f1"}));
  EXPECT_EQ(choices.back(), (TChosenFolder{"/g", "/f1"}));
  EXPECT_EQ(choices[1], (TChosenFolder{"/g", "/f2"}));
  const std::vector<TChosenFolder> before = choices;
  for (const TChosenFolder& bad : {TChosenFolder{"/g", "f"}, TChosenFolder{"", "/f"}, TChosenFolder{"/g", "/a\nb"},
                                   TChosenFolder{"/g\t", "/f"}, TChosenFolder{"/g", std::string("/\0", 2)}})
    EXPECT_FALSE(AddChosenFolder(choices, bad)) << bad.Folder;
  EXPECT_EQ(choices, before);
  // Long paths of many games: the oldest lines go, the newest stays.
  const std::string long_folder = "/" + std::string(4000, 'x');
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(AddChosenFolder(choices, {"/g" + std::to_string(i), long_folder}));
  EXPECT_LE(FormatChosenFolders(choices).size(), kMaxChosenFoldersFileSize);
  EXPECT_EQ(choices.back().Game, "/g39");
  EXPECT_TRUE(ParseChosenFolders(FormatChosenFolders(choices)).has_value());
}

// Installs a fixed host whose own folder lies in a temporary folder.
struct RecordScope {
  RecordScope() { host->System = dir / "data/orba"; }
  ~RecordScope() { SetHostServices(old); }
  test::TempDir dir;
  std::shared_ptr<test::TFixedHost> host = std::make_shared<test::TFixedHost>();
  std::shared_ptr<THostServices> old = SetHostServices(host);
};

TEST(ChosenFolders, RememberedForTheirGameInThePlayersOwnFolder) {
  RecordScope scope;
  const std::string record = scope.dir / "data/orba/chosen:folders";
  EXPECT_EQ(ChosenFoldersFile(), record);
  // No title names a data folder at the record's place.
  EXPECT_NE(TitleFolderName(kChosenFoldersFileName), kChosenFoldersFileName);
  EXPECT_TRUE(RememberedFolders("/games/a").empty());
  EXPECT_TRUE(RememberChosenFolder("/games/a", "/home/u/Downloads"));
  EXPECT_TRUE(RememberChosenFolder("/games/b", "/home/u/Music"));
  EXPECT_TRUE(RememberChosenFolder("/games/a", "/mnt/usb"));
  EXPECT_EQ(RememberedFolders("/games/a"), (std::vector<std::string>{"/home/u/Downloads", "/mnt/usb"}));
  EXPECT_EQ(RememberedFolders("/games/b"), (std::vector<std::string>{"/home/u/Music"}));
  EXPECT_TRUE(RememberedFolders("/games").empty());
  EXPECT_EQ(FileText(record),
            kHeader + "/games/a\t/home/u/Downloads\n/games/b\t/home/u/Music\n/games/a\t/mnt/usb\n");
  EXPECT_FALSE(RememberChosenFolder("/games/a", "/a\tb"));
}

// A damaged record, one grown too large and a link planted in its place are
// read as no record; the next choice replaces them, never writing through
// the link, and takes away what a killed write left.
TEST(ChosenFolders, ADamagedOrPlantedRecordIsReadAsNoneAndReplaced) {
  RecordScope scope;
  const std::string record = scope.dir / "data/orba/chosen:folders", target = scope.dir / "target";
  fs::create_directories(scope.dir / "data/orba");
  const std::string planted = kHeader + "/games/a\t/\n";
  WriteText(target, planted);
  const std::vector<std::string> damaged = {kHeader + "/games/a\t/x", kHeader + std::string(70000, '/'),
                                            "/games/a\t/x\n"};
  for (const std::string& text : damaged) {
    WriteText(record, text);
    EXPECT_TRUE(RememberedFolders("/games/a").empty()) << text.substr(0, 40);
  }
  fs::remove(record);
  WriteText(record + ".~tmpAbc123", "a killed write");
  fs::create_symlink(target, record);
  EXPECT_TRUE(RememberedFolders("/games/a").empty());
  EXPECT_TRUE(RememberChosenFolder("/games/a", "/f"));
  EXPECT_EQ(FileText(target), planted);
  EXPECT_FALSE(fs::is_symlink(record));
  EXPECT_FALSE(fs::exists(record + ".~tmpAbc123"));
  EXPECT_EQ(RememberedFolders("/games/a"), (std::vector<std::string>{"/f"}));
}

}  // namespace
}  // namespace orba
