#include "core/files/vr_file_manager.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "core/streams/big_file_stream.h"

#include "core/files/install_record.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "platform/dialogs.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/text_convert.h"
#include "support/fixed_host.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

std::string Text(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// Writes a package of memory entries (name, content).
void WritePackage(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files) {
  TVrFileCollection c;
  for (const auto& [name, data] : files) c.AddEntry(name)->Data->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  TKsMemoryStream out;
  ASSERT_TRUE(c.SaveToBigStream(out));
  out.SaveToFile(path);
}

void WriteText(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  test::WriteFileBytes(path, test::Bytes(text));
}

// An "install.dat" naming Title and Disc (from 0) in Folder.
void WriteDiscRecord(const std::string& folder, const std::string& title, int32_t disc) {
  std::filesystem::create_directories(folder);
  TOrbaInstallSet install;
  install.TitleId = title;
  install.DiscNumber = disc;
  install.SaveToFile(folder + "/install.dat");
}

// Collection 0 for memory files, archives a.dat and b.dat, an override
// folder and a search folder "cd".
class VrManager : public testing::Test {
 protected:
  void SetUp() override {
    WritePackage(dir / "a.dat", {{"page.txt", "archive A page"}, {"both.txt", "archive A"}, {"bg\\one.png", "1"}});
    WritePackage(dir / "b.dat", {{"both.txt", "archive B"}, {"onlyb.txt", "only B"}, {"bg\\two.png", "2"}});
    WriteText(dir / "over/page.txt", "override page");
    WriteText(dir / "over/data/bg/title.png", "title picture");
    WriteText(dir / "over/\xe3\x82\xbd\xe3\x83\xbc\xe3\x82\xb9/\xe8\xa1\xa8\xe7\xa4\xba.txt", "utf-8 named");  // ソース/表示.txt
    WriteText(dir / "over/bg/three.png", "3");
    WriteText(dir / "cd/cd.txt", "on the disc");
    WriteText(dir / "cd/both.txt", "disc copy");
    WriteDiscRecord(dir / "cd", "T", 0);
    ::setenv("ORBA_SEARCH_FOLDERS", (dir / "cd").c_str(), 1);
    manager = std::make_unique<TVrFileManager>();
    ::unsetenv("ORBA_SEARCH_FOLDERS");
    // "cd" is a disc of the game's title "T".
    manager->TakeDiscsOfTitle("T");
    manager->AddCollection(std::make_unique<TVrFileCollection>());
    ASSERT_EQ(manager->AddArchive(dir / "a.dat"), 1);
    ASSERT_EQ(manager->AddArchive(dir / "b.dat"), 2);
    manager->SetOverrideFolder(dir / "over");
  }
  std::string Load(const std::string& name) {
    TKsMemoryStream s;
    manager->LoadToStream(s, name);
    return Text(s.Bytes());
  }
  std::string Window(const std::string& name) {
    std::unique_ptr<TRangeStream> s = manager->OpenRangeStream(name);
    std::string out(static_cast<size_t>(s->GetSize()), '\0');
    s->ReadBuffer(out.data(), s->GetSize());
    return out;
  }

  test::TempDir dir;
  std::unique_ptr<TVrFileManager> manager;
};

TEST_F(VrManager, LoadsInLookupOrder) {
  EXPECT_EQ(manager->OverrideFolder, dir.path() + "/over\\");
  // The override folder before the archives, the first mounted archive
  // first, the search folders last.
  EXPECT_EQ((std::vector<std::string>{Load("page.txt"), Load("BOTH.TXT"), Load("onlyb.txt"), Load("cd.txt")}),
            (std::vector<std::string>{"override page", "archive A", "only B", "on the disc"}));
  EXPECT_THROW(Load("nowhere.txt"), EOrbaError);
  for (const char* name : {"page.txt", "ONLYB.TXT", "cd.txt", "Data\\BG\\Title.PNG"}) EXPECT_TRUE(manager->Exists(name)) << name;
  EXPECT_FALSE(manager->Exists("") || manager->Exists("nowhere.txt"));
  // Range streams follow the same order; an archive window holds the
  // stored (here packed) bytes.
  EXPECT_EQ(Window("page.txt") + "|" + Window("cd.txt"), "override page|on the disc");
  EXPECT_EQ(manager->OpenRangeStream("onlyb.txt")->GetSize(), manager->FindEntry("onlyb.txt")->Size);
  EXPECT_THROW(manager->OpenRangeStream("nowhere.txt"), EOrbaError);
  // Memory files live in collection 0.
  TVrFile* entry = manager->GetCollection(0)->AddEntry("mem:pic");
  entry->Data->WriteBuffer("memory", 6);
  EXPECT_TRUE(manager->Exists("MEM:PIC") && manager->FindEntry("mem:pic") == entry);
  EXPECT_EQ(Load("mem:pic"), "memory");
}

// Holds the process at its limit of descriptors while it lives: the next
// open fails with EMFILE, as when a game holds too many files open.
class TAtFileLimit {
 public:
  TAtFileLimit() {
    ::getrlimit(RLIMIT_NOFILE, &old_);
    const int lowest_free = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(lowest_free);
    rlimit at = old_;
    at.rlim_cur = static_cast<rlim_t>(lowest_free);
    ::setrlimit(RLIMIT_NOFILE, &at);
  }
  ~TAtFileLimit() { ::setrlimit(RLIMIT_NOFILE, &old_); }
  TAtFileLimit(const TAtFileLimit&) = delete;
  TAtFileLimit& operator=(const TAtFileLimit&) = delete;

 private:
  rlimit old_{};
};

// A file the system does not open for a reason of its own (here no
// descriptor left) is no missing file: each way in says the path as the
// system spells it and the reason, a packed entry its package's path.
TEST_F(VrManager, AFileTheSystemDoesNotOpenSaysWhyNotNoFile) {
  const std::string page = dir / "over/page.txt";
  const struct {
    const char* way;
    std::function<void()> open;
    std::string shown;
  } ways[] = {
      {"disk name", [&] { TDiskFileName{page}; }, page},
      {"file stream", [&] { TKsBigFileStream(page, fmOpenRead); }, page},
      {"whole file", [&] { TKsMemoryStream().LoadFromFile(page); }, page},
      {"loose file", [&] { Load("cd.txt"); }, dir / "over/cd.txt"},
      {"packed entry", [&] { Window("onlyb.txt"); }, dir / "b.dat"},
  };
  for (const auto& w : ways) {
    try {
      const TAtFileLimit limit;
      w.open();
      ADD_FAILURE() << w.way << " opened";
    } catch (const EFOpenError& e) {
      EXPECT_EQ(e.SystemError(), EMFILE) << w.way;
      EXPECT_EQ(std::string(e.what()), w.shown + ": Too many open files") << w.way;
    }
  }
  // With descriptors to spare a missing name is no file, as ever.
  try {
    Load("nowhere.txt");
    ADD_FAILURE() << "nowhere.txt was read";
  } catch (const EOrbaError& e) {
    EXPECT_EQ(std::string(e.what()), NoFileMessage("nowhere.txt"));
    EXPECT_EQ(dynamic_cast<const EFOpenError*>(&e), nullptr);
  }
}

// A whole file is read into the bytes handed back when it holds at most the
// limit; one byte more raises, from every source.
TEST_F(VrManager, LoadBytesTakesFilesUpToTheLimit) {
  WritePackage(dir / "big.dat", {{"lines.txt", std::string(4 << 20, '\n')}});
  ASSERT_EQ(manager->AddArchive(dir / "big.dat"), 3);
  ASSERT_FALSE(manager->FindEntry("lines.txt")->Raw);
  manager->GetCollection(0)->AddEntry("mem:pic")->Data->WriteBuffer("memory", 6);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"page.txt", "override page"}, {"onlyb.txt", "only B"}, {"cd.txt", "on the disc"},
      {"mem:pic", "memory"}, {"lines.txt", std::string(4 << 20, '\n')}};
  for (const auto& [name, content] : files) {
    const auto size = static_cast<int64_t>(content.size());
    EXPECT_EQ(Text(manager->LoadBytes(name, size)), content) << name;
    try {
      manager->LoadBytes(name, size - 1);
      ADD_FAILURE() << name << " was read";
    } catch (const EFileTooLarge& e) {
      EXPECT_EQ(e.Limit(), size - 1) << name;
    }
  }
  EXPECT_THROW(manager->LoadBytes("nowhere.txt", 100), EOrbaError);
}

// Collects what is written to it, as a file would: no memory stream, so the
// file layer streams into it.
class TCollected : public TKsBigStream {
 public:
  int64_t GetSize() override { return content.GetSize(); }
  int64_t GetPosition() override { return content.GetPosition(); }
  void SetPosition(int64_t position) override { content.SetPosition(position); }
  int64_t Write(const void* buffer, int64_t count) override { return content.Write(buffer, count); }
  int64_t Read(void* buffer, int64_t count) override { return content.Read(buffer, count); }
  TKsMemoryStream content;
};

// The limit LoadToStream is given holds from every source, into memory and
// into a stream alike: the file at the limit is read, one byte less is
// refused (with a trace line) and nothing past the limit is held.
TEST_F(VrManager, LoadToStreamRefusesWhatPassesItsLimit) {
  // Packed: 4 MiB of line breaks; stored as is (5 MiB or more): 6 MiB.
  WritePackage(dir / "big.dat", {{"lines.txt", std::string(4 << 20, '\n')}, {"raw.bin", std::string(6 << 20, 'r')}});
  ASSERT_EQ(manager->AddArchive(dir / "big.dat"), 3);
  ASSERT_FALSE(manager->FindEntry("lines.txt")->Raw);
  ASSERT_TRUE(manager->FindEntry("raw.bin")->Raw);
  manager->GetCollection(0)->AddEntry("mem:pic")->Data->WriteBuffer("memory", 6);
  std::vector<std::string> traced;
  SetTraceSink([&](const std::string& line) { traced.push_back(line); });
  const std::vector<std::pair<std::string, std::string>> files = {
      {"page.txt", "override page"}, {"onlyb.txt", "only B"}, {"cd.txt", "on the disc"},
      {"mem:pic", "memory"}, {"lines.txt", std::string(4 << 20, '\n')}, {"raw.bin", std::string(6 << 20, 'r')}};
  for (const auto& [name, content] : files) {
    const auto size = static_cast<int64_t>(content.size());
    TKsMemoryStream memory;
    TCollected streamed;
    manager->LoadToStream(memory, name, size);
    manager->LoadToStream(streamed, name, size);
    EXPECT_EQ(Text(memory.Bytes()), content) << name;
    EXPECT_EQ(Text(streamed.content.Bytes()), content) << name;
    for (TKsBigStream* dest : {static_cast<TKsBigStream*>(&memory), static_cast<TKsBigStream*>(&streamed)}) {
      streamed.content.Clear();
      try {
        manager->LoadToStream(*dest, name, size - 1);
        ADD_FAILURE() << name << " was read";
      } catch (const EFileTooLarge& e) {
        EXPECT_EQ(e.Limit(), size - 1) << name;
      }
      // Unpacking notices the limit at its first byte beyond.
      EXPECT_LE(streamed.content.GetSize(), size) << name;
    }
  }
  SetTraceSink(nullptr);
  EXPECT_EQ(traced.front(), "file refused: page.txt: more than 12 bytes");
  // A sparse file of 3 GB is refused by its size, before anything is read.
  WriteText(dir / "over/huge.bin", "");
  ASSERT_EQ(::truncate((dir / "over/huge.bin").c_str(), int64_t{3} << 30), 0);
  TKsMemoryStream memory;
  EXPECT_THROW(manager->LoadToStream(memory, "huge.bin"), EFileTooLarge);
  EXPECT_EQ(memory.Bytes().capacity(), 0u);
}

TEST_F(VrManager, ResolvesNamesOnDiskCaseInsensitivelyAndFromShiftJis) {
  EXPECT_EQ(Load("DATA\\BG\\Title.PNG"), "title picture");
  EXPECT_EQ(Load("\x83\x5c\x81[\x83X\\\x95\x5c\x8e\xa6.txt"), "utf-8 named");  // ソース\表示.txt
  // A folder copied without converting its names keeps raw Shift-JIS bytes.
  WriteText(dir / "over/raw/\x95\x5c.txt", "raw bytes");  // 表.txt
  EXPECT_EQ(Load("RAW\\\x95\x5c.TXT") + "|" + Window("raw\\\x95\x5c.txt"), "raw bytes|raw bytes");
  // Without an override folder a name is a path, but does not exist.
  manager->SetOverrideFolder("");
  EXPECT_EQ(Load(dir / "over/page.txt") + "|" + Load("page.txt"), "override page|archive A page");
  EXPECT_FALSE(manager->Exists(dir / "over/page.txt"));
}

TEST_F(VrManager, RealFileNameExtractsOnceAndKeepsTheRecord) {
  EXPECT_EQ(manager->RealFileName("page.txt"), dir.path() + "/over/page.txt");
  const std::string first = manager->RealFileName("both.txt");
  EXPECT_EQ(first, manager->TempFolder + "~ob00000000.txt");
  EXPECT_EQ(Text(test::ReadFileBytes(first)), "archive A");
  EXPECT_EQ(manager->RealFileName("both.txt"), first);
  EXPECT_EQ(manager->LockList.Items[0]->UseCount, 2);
  // Another letter case is another record and another file.
  EXPECT_EQ(manager->RealFileName("BOTH.TXT"), manager->TempFolder + "~ob00000001.TXT");
  EXPECT_EQ(manager->RealFileName("cd.txt"), dir.path() + "/cd/cd.txt");
  EXPECT_EQ(manager->RealFileName("nowhere.txt"), "nowhere.txt");
  const std::string folder = manager->TempFolder;
  manager.reset();
  EXPECT_FALSE(fs::exists(first) || fs::exists(folder));
}

// A symlink standing where an entry is to be extracted (the temporary
// folder is the player's own, but nothing is taken on trust) is replaced,
// never written through.
TEST_F(VrManager, ExtractionReplacesALinkUnderItsNameAndLeavesWhatItLeadsTo) {
  WriteText(dir / "canary", "the user's own file");
  const std::string next = SjisToUtf8(manager->TempFolder) + "~ob00000000.txt";
  fs::create_symlink(dir / "canary", next);
  EXPECT_EQ(manager->RealFileName("both.txt"), manager->TempFolder + "~ob00000000.txt");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(next)));
  EXPECT_EQ(Text(test::ReadFileBytes(next)), "archive A");
  EXPECT_EQ(Text(test::ReadFileBytes(dir / "canary")), "the user's own file");
}

TEST_F(VrManager, AFailedExtractionLeavesNoRecordAndNoFile) {
  // A packed entry whose zlib stream is damaged.
  WritePackage(dir / "bad.dat", {{"broken.ogg", std::string(1000, 'q')}});
  std::vector<uint8_t> bytes = test::ReadFileBytes(dir / "bad.dat");
  bytes[bytes.size() - 10] ^= 0xFF;
  bytes[bytes.size() - 12] ^= 0xFF;
  test::WriteFileBytes(dir / "bad.dat", bytes);
  ASSERT_GE(manager->AddArchive(dir / "bad.dat"), 0);
  EXPECT_THROW(manager->RealFileName("broken.ogg"), EOrbaError);
  EXPECT_TRUE(manager->LockList.Items.empty());
  EXPECT_TRUE(fs::is_empty(SjisToUtf8(manager->TempFolder)));
}

TEST_F(VrManager, MountsAFolderOnceAndRefusesDamagedPackages) {
  EXPECT_GE(manager->AddArchive(dir / "cd\\"), 0);
  EXPECT_EQ(manager->AddArchive(dir / "cd\\"), -1);
  const int count = manager->CollectionCount();
  test::WriteFileBytes(dir / "damaged.dat", test::FromHex("76 66 66 00 00 00 ff ff ff 7f"));
  EXPECT_THROW(manager->AddArchive(dir / "damaged.dat"), EVrDamagedError);
  EXPECT_EQ(manager->CollectionCount(), count);
  std::vector<std::string> list;
  manager->ListFiles("bg\\", list);  // archive files, then disk files
  EXPECT_EQ(list, (std::vector<std::string>{"bg\\one.png", "bg\\two.png", "bg\\three.png"}));
}

TEST_F(VrManager, DiscRequestAsksUntilTheDiscIsThere) {
  // Disc 2 of title "T" sits in the search folder.
  WritePackage(dir / "cd/game.dat", {{"disc2.txt", "second disc"}});
  TOrbaInstallSet install;
  install.TitleId = "T";
  install.DiscNumber = 1;
  install.SaveToFile(dir / "cd/install.dat");
  ASSERT_GE(manager->AddArchive(dir / "cd/game.dat"), 0);
  bool quit = false;
  manager->DiscSettings = TVrDiscSettings{"T", "disc %d, please", "quit?", [&quit] { quit = true; }};
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  // Cancel the disc request, cancel the quit question (ask again), then OK.
  for (TDialogAnswer a : {TDialogAnswer::Cancel, TDialogAnswer::Cancel, TDialogAnswer::Ok}) boxes->Push(a);
  const int before = manager->CollectionCount();
  EXPECT_TRUE(manager->RequestDisk(2));
  ASSERT_EQ(boxes->Shown().size(), 3u);
  EXPECT_EQ(boxes->Shown()[0].Text + "|" + boxes->Shown()[1].Text + "|" + boxes->Shown()[2].Text,
            "disc 2, please|quit?|disc 2, please");
  EXPECT_EQ(boxes->Shown()[0].Buttons, TDialogButtons::OkCancel);
  // The search folder's package was unmounted first and mounted again.
  EXPECT_EQ(manager->CollectionCount(), before);
  EXPECT_EQ(Load("disc2.txt"), "second disc");
  EXPECT_FALSE(quit);

  boxes->Push(TDialogAnswer::Cancel);
  boxes->Push(TDialogAnswer::Ok);
  EXPECT_FALSE(manager->RequestDisk(3));
  EXPECT_TRUE(quit);
  SetMessageBoxService(previous);
}

// A quit signal while the disc request or its quit question is open (each
// then answered Cancel, as Escape answers it) gives up at once instead of
// asking the two in turn. In a child process: the quit request stays set.
TEST_F(VrManager, AQuitSignalGivesTheDiscRequestUp) {
  bool quit = false;
  manager->DiscSettings = TVrDiscSettings{"T", "disc %d, please", "quit?", [&quit] { quit = true; }};
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  EXPECT_EXIT(
      {
        RequestQuit();
        for (int i = 0; i < 4; ++i) boxes->Push(TDialogAnswer::Cancel);
        const bool mounted = manager->RequestDisk(2);
        std::exit(!mounted && quit && boxes->Shown().size() == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  SetMessageBoxService(previous);
}

TEST(VrFiles, FinalDeletesExtractedFilesAndTheFolder) {
  test::TempDir dir;
  WritePackage(dir / "a.dat", {{"x.ogg", "sound"}});
  InitVrFiles();
  ASSERT_NE(VrFileManager(), nullptr);
  VrFileManager()->AddArchive(dir / "a.dat");
  const std::string path = VrFileManager()->RealFileName("x.ogg");
  const std::string folder = VrFileManager()->TempFolder;
  EXPECT_EQ(Text(test::ReadFileBytes(path)), "sound");
  // A released record runs out after its time and its file is deleted.
  TVrLockList& locks = VrFileManager()->LockList;
  locks.Released.push_back(std::move(locks.Items[0]));
  locks.Items.clear();
  locks.Released[0]->Remaining = 30;
  locks.ReleaseExpired(15);
  EXPECT_EQ(locks.Released.size(), 1u);
  locks.ReleaseExpired(15);
  EXPECT_TRUE(locks.Released.empty());
  EXPECT_TRUE(fs::exists(path));  // queued, deleted by the next tick
  DeleteVrTempFiles();
  EXPECT_FALSE(fs::exists(path));
  VrFileManager()->RealFileName("x.ogg");
  FinalVrFiles();
  EXPECT_EQ(VrFileManager(), nullptr);
  EXPECT_FALSE(fs::exists(folder));
}

TEST(VrFiles, SmallRoutines) {
  // 表.png: the trail byte is no separator.
  for (auto [path, folder] : std::vector<std::pair<const char*, const char*>>{
           {"", ""}, {"bg\\title.png", "bg\\"}, {"title.png", ""}, {"\x95\x5c.png", ""}})
    EXPECT_EQ(TVrFileManager::ExtractFolder(path), folder) << path;
  EXPECT_EQ(FormatDiscNumber("Disc %d %% %s", 3) + "|" + FormatDiscNumber("\x83\x66%d", 1), "Disc 3 % %s|\x83\x66" "1");
  EXPECT_EQ(CdromMountFolders("/dev/sr0 /media/cd\\040rom iso9660 ro 0 0\n"
                              "/dev/sda1 / ext4 rw 0 0\n/dev/sr1 /mnt/dvd udf ro 0 0\n"),
            (std::vector<std::string>{"/media/cd rom\\", "/mnt/dvd\\"}));
}

// The disc folders come from the host's mount table; without host services
// (the fuzz programs) the manager searches no disc.
TEST(VrFiles, DiscFoldersComeFromTheHostsMountTable) {
  auto host = std::make_shared<test::TFixedHost>();
  host->Mounts = "/dev/sr0 /media/cdrom iso9660 ro 0 0\n/dev/sda1 / ext4 rw 0 0\n";
  std::shared_ptr<THostServices> old = SetHostServices(host);
  const TVrFileManager with_host;
  SetHostServices(nullptr);
  const std::vector<std::string> without = TVrFileManager().DiscFolders;
  SetHostServices(old);
  EXPECT_EQ(with_host.DiscFolders, std::vector<std::string>{"/media/cdrom\\"});
  // None is searched before the game's title takes it.
  EXPECT_TRUE(with_host.SearchFolders.empty());
  EXPECT_TRUE(without.empty());
}

// Only a disc whose "install.dat" carries the game's title id is searched
// (and opened to the game): a disc of the user's own, one of another title,
// one whose record is damaged or a link are never read; a game without a
// title takes no disc.
TEST(VrFiles, OnlyDiscsOfTheGamesTitleAreSearched) {
  const test::TempDir dir;
  WriteDiscRecord(dir / "game1", "T", 0);
  WriteDiscRecord(dir / "game2", "T", 1);
  WriteDiscRecord(dir / "other", "U", 0);
  WriteDiscRecord(dir / "untitled", "", 0);
  WriteText(dir / "photos/holiday.txt", "the user's own");
  WriteText(dir / "damaged/install.dat", "is108");
  std::filesystem::create_directories(dir / "linked");
  std::filesystem::create_symlink(dir / "game1/install.dat", dir / "linked/install.dat");
  std::string all;
  for (const char* folder : {"game1", "other", "photos", "game2", "damaged", "linked", "untitled"})
    all += (all.empty() ? "" : ":") + (dir / folder);
  ::setenv("ORBA_SEARCH_FOLDERS", all.c_str(), 1);
  TVrFileManager files;
  ::unsetenv("ORBA_SEARCH_FOLDERS");
  ASSERT_EQ(files.DiscFolders.size(), 7U);
  struct {
    const char* title;
    std::vector<std::string> taken;
  } const cases[] = {
      {"T", {dir / "game1\\", dir / "game2\\"}},
      {"U", {dir / "other\\"}},
      {"V", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    files.TakeDiscsOfTitle(c.title);
    EXPECT_EQ(files.SearchFolders, c.taken) << c.title;
    EXPECT_EQ(files.DiscSettings.TitleId, c.title);
  }
  files.TakeDiscsOfTitle("U");
  EXPECT_FALSE(files.Exists("holiday.txt"));
}

}  // namespace
}  // namespace orba
