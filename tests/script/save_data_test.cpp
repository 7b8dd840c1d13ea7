#include "script/save/save_data.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "core/files/vr_file.h"
#include "core/system/heap_watch.h"
#include "core/streams/stream_encoding.h"
#include "dialog_env.h"
#include "save_player.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::TempDir;
using test::ToHex;

// A player's saved pieces: a variable store and the empty forms.
using Player = test::SavePlayer;

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::string Z(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "00 00 00 00 ";
  return out;
}

// An empty screen root of 640 x 480 named byte 0x01 + "BASE" + digit.
std::string RootHex(const char* digit) {
  return std::string("06 00 00 00 01 42 41 53 45 ") + digit + Z(3) + "00 00 00 00 00 00 00 00 80 02 00 00 e0 01 00 00" +
         Z(2) + "00" + Z(8) + "00 01" + Z(3) + "01 00 00 00 01 00 00 00 00" + Z(10) + "00" + Z(5) + Z(1);
}

// The status entry and a game slot of an empty player, worked out by hand.
TEST(SaveData, EmptyPlayerBytesByHand) {
  TempDir dir;
  Player p(dir / "save.dat");
  TKsMemoryStream status;
  p.file.WriteStatusData(status);
  EXPECT_EQ(ToHex(status.Bytes()), ToHex(FromHex("53 74 61 74 75 73 31 30 33" + Z(1) + Z(5) + "00" +
                                                 "64 00 00 00 00 00 00 00")));
  TKsMemoryStream slot;
  p.file.WriteGameData(slot, "", 0, "c");
  const std::string scene = "80 02 00 00 e0 01 00 00" + Z(1) + RootHex("30") + RootHex("31") + Z(3);
  const std::string backlog = "01 00 00 00" + Z(1) + Z(6) + Z(1) + Z(1) + Z(4) + Z(1) + Z(7) + Z(2) + Z(1) + Z(1);
  const std::string run_state = Z(2) + "00 00" + Z(3) + Z(2) + "00 00" + Z(4) + "00" + Z(1) + "02 00 00 00";
  const std::string vars = Z(1) + "32 00 00 00" + Z(5);
  const std::string tables = "64 00 00 00" + Z(2);
  EXPECT_EQ(ToHex(slot.Bytes()), ToHex(FromHex("8d 00 00 00 01 00 00 00 63" + Z(2) + scene + backlog + run_state +
                                               vars + tables)));
  // What the empty writers wrote, their readers take back.
  slot.SetPosition(0);
  p.file.ReadGameData(slot);
  EXPECT_EQ(slot.GetPosition(), slot.GetSize());
}

struct FixtureFiles {
  TempDir dir;
  FixtureFiles() {
    EXPECT_EQ(test::RunPython("fixtures/savedat_fixture.py", {"make", dir.path()}).exit_code, 0);
  }
};

TEST(SaveData, ReadsTheIndependentWritersFile) {
  FixtureFiles f;
  test::TBoxScope boxes;
  Player p(f.dir / "save.dat");
  TVrFileCollection memory;
  p.file.OpenAtStart(&memory);
  ASSERT_FALSE(p.file.Damaged()) << p.file.Warning();
  // Status: persistent variables and the dithering flag.
  ASSERT_NE(p.vars.Find("clears"), nullptr);
  EXPECT_EQ(std::make_tuple(p.vars.Find("clears")->GetAsInt(), int(p.vars.Find("clears")->Persistent),
                            p.vars.Find("\x96\xbc\x91\x4f")->GetAsStr(), int(p.sections.ImageCache.Dither)),
            std::make_tuple(2, 1, std::string("\x83\x6e\x83\x69\x83\x52"), 1));  // 名前 = ハナコ
  // The script's files are in the memory collection.
  ASSERT_NE(memory.Find("SAVE:thumb.bin"), nullptr);
  EXPECT_EQ(memory.Find("SAVE:thumb.bin")->Data->GetSize(), 200);
  // Captions of every slot entry, in entry order; "GAMESAVEDATAx" is none.
  std::vector<std::pair<int32_t, std::string>> captions;
  for (const TSaveCaption& c : p.file.Captions()) captions.emplace_back(c.Slot, c.Caption);
  EXPECT_EQ(captions, (std::vector<std::pair<int32_t, std::string>>{
                          {3, "cap"}, {12, "\x8c\xc3\x82\xa2\x94\xc5"}, {1, "v110"}, {5, "old"}, {8, "v107"},
                          {7, "cut"}}));

  EXPECT_EQ(p.file.LoadGame(3), TSaveDataFile::TLoadResult::Loaded);
  EXPECT_EQ(std::make_tuple(p.vars.Find("score")->GetAsInt(), p.vars.Find("rate")->GetFloatItem(1),
                            p.vars.Find("\x8c\xa9\x82\xbd")->GetAsFlag(), p.vars.Find("\x91\xe4\x8e\x8c")->GetStrItem(0),
                            p.vars.SelStr, p.vars.SelIndex),
            std::make_tuple(42, -2.0L, true, std::string("\x82\xcd\x82\xa2"), std::string("\x91\x49\x91\xf0"), 2));
  EXPECT_EQ(std::make_tuple(p.sections.RunState.OnLoadPage, p.sections.RunState.OnLoadTarget),
            std::make_tuple(std::string("onload.osb"), 4));
  // Status variables survive a game load.
  EXPECT_EQ(p.vars.Find("clears")->GetAsInt(), 2);

  for (int32_t slot : {12, 1, 8}) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(p.file.LoadGame(slot), TSaveDataFile::TLoadResult::Loaded);
    EXPECT_EQ(std::make_tuple(p.vars.Find("rate"), p.vars.Find("score")->GetAsInt()), std::make_tuple(nullptr, 42));
  }
  EXPECT_TRUE(boxes.Boxes->Shown.empty());
  // Too old, and cut short: the unusable box; a slot that is not there:
  // nothing at all.
  using L = TSaveDataFile::TLoadResult;
  EXPECT_EQ((std::vector<L>{p.file.LoadGame(5), p.file.LoadGame(7), p.file.LoadGame(9)}),
            (std::vector<L>{L::Unusable, L::Unusable, L::NoSlot}));
  EXPECT_EQ(boxes.Boxes->Texts(), (std::vector<std::string>{kMsgSaveDataUnusable, kMsgSaveDataUnusable}));

  EXPECT_EQ(std::string(kMsgSaveDataUnusable),
            "\x82\xb1\x82\xcc\x83Z\x81[\x83u\x83" "f\x81[\x83^\x82\xcd\x8eg\x97p\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
            "\r\n\x8fI\x97\xb9\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2");

  // A status entry without the header is version 0: variables only.
  Player old(f.dir / "status_only.dat");
  old.file.OpenAtStart(nullptr);
  EXPECT_FALSE(old.file.Damaged()) << old.file.Warning();
  EXPECT_EQ(std::make_tuple(old.vars.Find("clears")->GetAsInt(), int(old.sections.ImageCache.Dither)), std::make_tuple(2, 0));
}

// A slot older than the oldest that loads (106) is refused before any of it
// is read: the unusable box, and the game, the captions and the file on disk
// stay as they were.
TEST(SaveData, SlotOlderThanTheOldestThatLoadsIsUnusableAndLosesNothing) {
  FixtureFiles f;
  test::TBoxScope boxes;
  Player p(f.dir / "save.dat");
  p.file.OpenAtStart(nullptr);
  ASSERT_EQ(p.file.LoadGame(3), TSaveDataFile::TLoadResult::Loaded);
  const auto game_vars = [&p] {
    TKsMemoryStream s;
    p.vars.SaveGameVars(s);
    return s.TakeBytes();
  };
  const std::vector<uint8_t> vars_before = game_vars();
  const std::vector<uint8_t> file_before = test::ReadFileBytes(f.dir / "save.dat");
  const size_t captions_before = p.file.Captions().size();

  EXPECT_EQ(p.file.LoadGame(5), TSaveDataFile::TLoadResult::Unusable);
  EXPECT_EQ(p.file.LastError, "save data: game slot version 106");
  EXPECT_EQ(boxes.Boxes->Texts(), std::vector<std::string>{kMsgSaveDataUnusable});
  EXPECT_EQ(ToHex(game_vars()), ToHex(vars_before));
  EXPECT_EQ(p.file.Captions().size(), captions_before);
  EXPECT_EQ(test::ReadFileBytes(f.dir / "save.dat"), file_before);
  EXPECT_FALSE(p.file.Damaged());
}

std::vector<std::string> DumpLines(const std::string& path) {
  const test::CommandResult r = test::RunPython("fixtures/savedat_fixture.py", {"dump", path});
  EXPECT_EQ(r.exit_code, 0);
  std::vector<std::string> lines;
  std::stringstream in(r.output);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void AddVar(TParamCollection& vars, uint8_t type, const std::string& name, const std::string& value,
            bool persistent = false) {
  TParamCollectionItem* item = vars.AddVar(type);
  item->SetName(name);
  item->SetAsStr(value);
  item->Persistent = persistent ? 1 : 0;
}

// Our writer read by the independent reader; saving again to one slot keeps
// one entry with the new caption and the other entries as they were.
TEST(SaveData, WrittenFileReadByTheIndependentReader) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  {
    Player p(path);
    AddVar(p.vars, PT_INT, "count", "7");
    AddVar(p.vars, PT_STR, "who", "ab");
    AddVar(p.vars, PT_INT, "runs", "3", true);
    p.sections.ImageCache.Dither = 1;
    p.vars.SelStr = "s";
    p.vars.SelIndex = 5;
    ASSERT_TRUE(p.file.SaveGame(0, "", 0, "first", true)) << p.file.LastError;
    ASSERT_TRUE(p.file.SaveGame(3, "load.osb", 2, "cap", true)) << p.file.LastError;
    ASSERT_TRUE(p.file.SaveGame(0, "", 0, "again", true)) << p.file.LastError;
    EXPECT_EQ(p.file.GetSaveCaption(0) + "|" + p.file.GetSaveCaption(3) + "|" + p.file.GetSaveCaption(4), "again|cap|");
  }
  std::vector<std::string> lines = DumpLines(path);
  std::sort(lines.begin(), lines.end());
  const std::vector<std::string> want = {
      "dither\t1", "entry\t47414d45534156454441544130", "entry\t47414d45534156454441544133",
      "entry\t5354415455535341564544415441", "gextra\t0\t50\t\t73\t5", "gextra\t3\t50\t\t73\t5",
      "gvar\t0\t636f756e74\t1\t:7", "gvar\t0\t77686f\t4\t:6162", "gvar\t3\t636f756e74\t1\t:7",
      "gvar\t3\t77686f\t4\t:6162", "slot\t0\t141\t616761696e\t\t0", "slot\t3\t141\t636170\t6c6f61642e6f7362\t2",
      "status\t103", "svar\t72756e73\t1\t:3"};
  EXPECT_EQ(lines, want);

  // A new run reads it back.
  Player q(path);
  q.file.OpenAtStart(nullptr);
  EXPECT_EQ(std::make_tuple(q.vars.Find("runs")->GetAsInt(), q.file.GetSaveCaption(0)), std::make_tuple(3, std::string("again")));
  EXPECT_EQ(q.file.LoadGame(3), TSaveDataFile::TLoadResult::Loaded);
  EXPECT_EQ(q.vars.Find("who")->GetAsStr() + "|" + q.sections.RunState.OnLoadPage, "ab|load.osb");
  // The dump tool lists the entries, slots and variables, texts in UTF-8.
  AddVar(q.vars, PT_STR, "place", "\x8b\xb3\x8e\xba");  // 教室
  ASSERT_TRUE(q.file.SaveGame(3, "", 0, "\x8b\xb3", true));
  const test::CommandResult r = test::RunOrbaTool({"save", "dump", path});
  EXPECT_EQ(r.exit_code, 0);
  for (const char* line : {"entry STATUSSAVEDATA (", "  status version 103\n", "  var runs int = 3\n",
                           "  slot 3 version 141 caption \"\xe6\x95\x99\" onload \"\" target 0\n",
                           "  var place str = \"\xe6\x95\x99\xe5\xae\xa4\"\n"}) {
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
  }
}

TEST(SaveData, FailedWriteKeepsTheOldFileAndCaptions) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  Player p(path);
  ASSERT_TRUE(p.file.SaveGame(1, "", 0, "old", true));
  const std::vector<uint8_t> before = test::ReadFileBytes(path);
  // Writing the temporary fails: no file may grow past 16 bytes (with
  // SIGXFSZ ignored, the write reports EFBIG).
  const bool saved = test::WithFileSizeLimit(16, [&p] { return p.file.SaveGame(1, "", 0, "new", true); });
  EXPECT_FALSE(saved);
  EXPECT_FALSE(p.file.LastError.empty());
  EXPECT_EQ(p.file.GetSaveCaption(1), "old");
  EXPECT_EQ(test::ReadFileBytes(path), before);
  // The temporary went with the failure.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"save.dat"});
}

// What the player writes it reads back: a file near the limit opens, its
// large entry (stored as it is) is kept byte for byte when another entry
// is saved, and a save that would make the file or one entry pass the
// limit fails, says why and leaves the file as it was.
TEST(SaveData, SaveDataPastTheLimitIsNotWrittenAndTheLargestWrittenIsRead) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  const auto filled = [](int64_t size, char seed) {
    return [size, seed](TKsBigStream& s) {
      std::vector<uint8_t> bytes(static_cast<size_t>(size));
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 12));
      s.WriteBuffer(bytes.data(), size);
    };
  };
  const int64_t big = kMaxSaveFileBytes - (int64_t{4} << 20);
  Player p(path);
  ASSERT_TRUE(p.file.UpdateEntry("save:big.bin", filled(big, 1), false)) << p.file.LastError;
  const std::vector<uint8_t> written = test::ReadFileBytes(path);
  EXPECT_LE(static_cast<int64_t>(written.size()), kMaxSaveFileBytes);

  const std::string refused = path + ": the save data would hold more than " + std::to_string(kMaxSaveFileBytes) + " bytes";
  for (const auto& [name, size] : {std::pair<std::string, int64_t>{"save:more.bin", int64_t{5} << 20},
                                   std::pair<std::string, int64_t>{"save:one.bin", kMaxSaveFileBytes + 1}}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(p.file.UpdateEntry(name, filled(size, 2), false));
    EXPECT_EQ(p.file.LastError, refused);
    EXPECT_TRUE(test::ReadFileBytes(path) == written);
  }
  ASSERT_TRUE(p.file.UpdateEntry("save:small.bin", filled(100, 3), false)) << p.file.LastError;

  Player again(path);
  TVrFileCollection memory;
  again.file.OpenAtStart(&memory);
  ASSERT_FALSE(again.file.Damaged()) << again.file.Warning();
  ASSERT_NE(memory.Find("save:big.bin"), nullptr);
  ASSERT_NE(memory.Find("save:small.bin"), nullptr);
  TKsMemoryStream expected;
  filled(big, 1)(expected);
  EXPECT_TRUE(memory.Find("save:big.bin")->Data->Bytes() == expected.Bytes());
  EXPECT_EQ(memory.Find("save:small.bin")->Data->GetSize(), 100);
}

// Near the heap ceiling a save of many megabytes is not made: it would
// hold its archive on top of the entry it made. The save fails, the file
// on disk stays, and the ceiling counts as passed, so the game ends the way
// the ceiling ends it rather than passing it by the save's size.
TEST(SaveData, ASaveThatWouldPassTheHeapCeilingIsNotMadeAndTheCeilingCountsAsPassed) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  Player p(path);
  ASSERT_TRUE(p.file.UpdateEntry("save:small.bin", [](TKsBigStream& s) { s.WriteBuffer("abc", 3); }, false));
  const std::vector<uint8_t> written = test::ReadFileBytes(path);
  ResetHeapCeiling();
  SetHeapCeiling(HeapInUse() + (int64_t{48} << 20));
  const bool saved = p.file.UpdateEntry("save:big.bin", [](TKsBigStream& s) {
    const std::vector<uint8_t> bytes(size_t{40} << 20, 7);
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }, false);
  const bool passed = HeapCeilingPassed();
  SetHeapCeiling(0);
  ResetHeapCeiling();
  EXPECT_FALSE(saved);
  EXPECT_EQ(p.file.LastError, path + ": the save data would pass the memory ceiling");
  EXPECT_TRUE(passed);
  EXPECT_TRUE(test::ReadFileBytes(path) == written);
}

// A slot whose packed bytes were damaged on disk: saving another slot
// keeps it byte for byte (no box, nothing lost), and saving its own slot
// replaces it; the other slots stay loadable throughout.
TEST(SaveData, ADamagedSlotBlocksNoSaveAndIsReplacedByItsOwn) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  test::TBoxScope boxes;
  {
    Player p(path);
    AddVar(p.vars, PT_INT, "n", "1");
    for (int32_t slot : {1, 2, 3}) ASSERT_TRUE(p.file.SaveGame(slot, "", 0, "s" + std::to_string(slot), true));
  }
  ASSERT_TRUE(test::DamageStoredEntry(path, GameSlotEntryName(2)));
  const std::vector<uint8_t> damaged = test::StoredEntryBytes(path, GameSlotEntryName(2));

  Player p(path);
  p.file.OpenAtStart(nullptr);
  ASSERT_FALSE(p.file.Damaged());
  AddVar(p.vars, PT_INT, "n", "5");
  ASSERT_TRUE(p.file.SaveGame(1, "", 0, "again", true)) << p.file.LastError;
  ASSERT_TRUE(p.file.SaveGame(4, "", 0, "new", true)) << p.file.LastError;
  EXPECT_EQ(test::StoredEntryBytes(path, GameSlotEntryName(2)), damaged);
  EXPECT_TRUE(boxes.Boxes->Shown.empty());

  Player q(path);
  q.file.OpenAtStart(nullptr);
  EXPECT_EQ(q.file.GetSaveCaption(1) + "|" + q.file.GetSaveCaption(3) + "|" + q.file.GetSaveCaption(4), "again|s3|new");
  EXPECT_EQ(q.file.LoadGame(1), TSaveDataFile::TLoadResult::Loaded);
  EXPECT_EQ(q.vars.Find("n")->GetAsInt(), 5);
  ASSERT_TRUE(q.file.SaveGame(2, "", 0, "mended", true)) << q.file.LastError;
  EXPECT_NE(test::StoredEntryBytes(path, GameSlotEntryName(2)), damaged);
  Player r(path);
  r.file.OpenAtStart(nullptr);
  for (int32_t slot : {1, 2, 3, 4}) EXPECT_EQ(r.file.LoadGame(slot), TSaveDataFile::TLoadResult::Loaded) << slot;
  EXPECT_EQ(r.file.GetSaveCaption(2), "mended");
  EXPECT_TRUE(boxes.Boxes->Shown.empty());
}

const std::vector<uint8_t> kJunk = FromHex("76 66 66 00 00 00 ff ff ff 7f 01 02");

// A write that may not replace the unreadable file reports that it wrote
// nothing.
TEST(SaveData, UpdateThatMayNotReplaceTheUnreadableFileFails) {
  TempDir dir;
  const std::string path = dir / "save.dat";
  test::WriteFileBytes(path, kJunk);
  Player p(path);
  p.file.OpenAtStart(nullptr);
  ASSERT_TRUE(p.file.Damaged());
  bool filled = false;
  EXPECT_FALSE(p.file.UpdateEntry("save:a", [&filled](TKsBigStream&) { filled = true; }, false));
  EXPECT_FALSE(p.file.LastError.empty() || filled);
  EXPECT_TRUE(p.file.Damaged());
  EXPECT_EQ(test::ReadFileBytes(path), kJunk);
  EXPECT_FALSE(FileExists(path + ".bak"));
  // One that may replace it does.
  EXPECT_TRUE(p.file.UpdateEntry("save:a", [](TKsBigStream& s) { s.WriteBuffer("x", 1); }, true)) << p.file.LastError;
  EXPECT_TRUE(p.file.LastError.empty());
  EXPECT_EQ(test::ReadFileBytes(path + ".bak"), kJunk);
}

// The unreadable file is kept from the bytes read at start-up: a link put
// in its place meanwhile is never read into the backup.
TEST(SaveData, TheBackupOfAnUnreadableFileIsMadeFromTheBytesReadAtStartUp) {
  TempDir dir;
  std::filesystem::create_directories(dir / "game");
  const std::string path = dir / "game/save.dat", canary = dir / "canary";
  test::WriteFileBytes(path, kJunk);
  test::WriteFileBytes(canary, test::Bytes("the user's own file\n"));
  Player p(path);
  p.file.OpenAtStart(nullptr);
  ASSERT_TRUE(p.file.Damaged());
  ::unlink(path.c_str());
  ASSERT_EQ(::symlink(canary.c_str(), path.c_str()), 0);
  ASSERT_TRUE(p.file.SaveGame(1, "", 0, "one", true)) << p.file.LastError;
  EXPECT_EQ(test::ReadFileBytes(path + ".bak"), kJunk);
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
  EXPECT_EQ(test::ReadFileBytes(canary), test::Bytes("the user's own file\n"));
}

// "save.dat" as a link: read while it leads to another file of its folder,
// no save data (and no backup) when it leads out; the first save puts a
// file of its own in the link's place and leaves what it led to alone.
TEST(SaveData, ASaveDatLinkIsFollowedOnlyInsideItsFolder) {
  const struct {
    const char* what;
    const char* target;  // relative to the game folder
    bool inside;
  } cases[] = {
      {"to a save of the folder", "saves/real.dat", true},
      {"to a save outside", "../outside/real.dat", false},
      {"to junk outside", "../outside/junk.dat", false},
      {"in, then out", "hop.dat", false},
      {"out, then back in", "../outside/back.dat", false},
      {"dangling", "none.dat", false},
      {"to a folder", "saves", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string game = dir / "game", outside = dir / "outside";
    for (const std::string& folder : {game + "/saves", outside}) std::filesystem::create_directories(folder);
    {
      Player writer(game + "/saves/real.dat");
      ASSERT_TRUE(writer.file.SaveGame(1, "", 0, "one", true)) << writer.file.LastError;
    }
    std::filesystem::copy_file(game + "/saves/real.dat", outside + "/real.dat");
    test::WriteFileBytes(outside + "/junk.dat", kJunk);
    std::filesystem::create_symlink("../outside/real.dat", game + "/hop.dat");
    std::filesystem::create_symlink("../game/saves/real.dat", outside + "/back.dat");
    std::filesystem::create_symlink(c.target, game + "/save.dat");
    const std::vector<uint8_t> outside_real = test::ReadFileBytes(outside + "/real.dat");
    Player p(game + "/save.dat");
    p.file.OpenAtStart(nullptr);
    EXPECT_FALSE(p.file.Damaged());
    EXPECT_EQ(p.file.GetSaveCaption(1), c.inside ? "one" : "");
    EXPECT_EQ(p.file.LoadGame(1), c.inside ? TSaveDataFile::TLoadResult::Loaded : TSaveDataFile::TLoadResult::NoSlot);
    ASSERT_TRUE(p.file.SaveGame(2, "", 0, "two", true)) << p.file.LastError;
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(game + "/save.dat")));
    EXPECT_FALSE(FileExists(game + "/save.dat.bak"));
    EXPECT_EQ(test::ReadFileBytes(outside + "/real.dat"), outside_real);
    EXPECT_EQ(test::ReadFileBytes(outside + "/junk.dat"), kJunk);
    Player q(game + "/save.dat");
    q.file.OpenAtStart(nullptr);
    EXPECT_EQ(q.file.GetSaveCaption(1), c.inside ? "one" : "");
    EXPECT_EQ(q.file.GetSaveCaption(2), "two");
  }
}

TEST(SaveData, SaveFileNameFromTheCommandLineOrTheProgram) {
  TempDir dir;
  for (const auto& [folder, program] : {std::pair{dir.path(), dir / "bin/player"}, {dir.path() + "/", ""},
                                        {"", dir / "player"}, {"/CONFIG", dir / "player"}}) {
    EXPECT_EQ(GetSaveFileName(folder, program, "T"), dir / "save.dat") << folder << " " << program;
  }
}

TEST(SaveData, EntryNamesAndStatusHeaders) {
  const std::pair<const char*, int32_t> names[] = {  // the slot, or -1 when refused
      {"GAMESAVEDATA3", 3},   {"GAMESAVEDATA0", 0},   {"GAMESAVEDATA2147483647", INT32_MAX}, {"GAMESAVEDATAx", -1},
      {"GAMESAVEDATA", -1},   {"gamesavedata3", -1},  {"GAMESAVEDATA-1", -1},                {"GAMESAVEDATA2147483648", -1}};
  for (const auto& [name, slot] : names) {
    int32_t got = -7;
    const bool ok = ParseGameSlotEntryName(name, got);
    EXPECT_EQ(ok ? got : -1, slot) << name;
  }
  EXPECT_EQ(GameSlotEntryName(12), "GAMESAVEDATA12");
  EXPECT_TRUE(IsSaveFileName("SAVE:a") && !IsSaveFileName("save"));
  const std::tuple<const char*, int32_t, int64_t> headers[] = {
      {"Status103xx", 103, 9}, {"Status1x3xx", 0, 9}, {"Stat", 0, 0}, {"XStatus103", 0, 0}};
  for (const auto& [bytes, version, position] : headers) {
    TKsMemoryStream s(test::Bytes(bytes));
    const int32_t got = ReadStatusHeader(s);
    EXPECT_EQ(std::make_tuple(got, s.GetPosition()), std::make_tuple(version, position)) << bytes;
  }
}

// The empty forms refuse content they cannot hold instead of dropping it.
TEST(SaveData, EmptyFormsRefuseContent) {
  TParamCollection vars;
  TEmptySaveSections e(vars, 8, 8);
  struct Case {
    TSaveSection* section;
    int64_t count_offset;  // where a count of the written form stands
  };
  // Scene: the child count that ends root 0 (the scene is a 12-byte head,
  // two roots of one size and 12 bytes of counts and focus); the read
  // marks' item count; the tables' count.
  TKsMemoryStream scene;
  e.Scene.SaveToStream(scene);
  const int64_t root_size = (scene.GetSize() - 24) / 2;
  const Case cases[] = {{&e.Scene, 12 + root_size - 4},
                        {&e.ReadMarks, 0},
                        {&e.GameTables, 4},
                        {&e.StatusTables, 4}};
  for (const Case& c : cases) {
    TKsMemoryStream s;
    c.section->SaveToStream(s);
    WriteStreamInt64(s, 0);  // room for what a count of 1 announces
    s.SetPosition(c.count_offset);
    EXPECT_EQ(ReadStreamInt(s), 0);
    s.SetPosition(c.count_offset);
    WriteStreamInt(s, 1);
    s.SetPosition(0);
    EXPECT_THROW(c.section->LoadFromStream(s, kGameStateVersion), ESaveSectionNotEmpty);
  }
  TKsMemoryStream run;
  WriteStreamString(run, "main.osb");
  run.SetPosition(0);
  EXPECT_THROW(e.RunState.LoadFromStream(run, kGameStateVersion), ESaveSectionNotEmpty);
}

}  // namespace
}  // namespace orba
