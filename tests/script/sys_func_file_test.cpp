// The file functions run from compiled script statements: in-memory files,
// text files, extraction into a folder with the overwrite question, the
// file and folder dialogs from scripted answers, and opening addresses.
#include "script/functions/sys_func_file.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <tuple>

#include "core/files/file_access.h"
#include "core/files/vr_file_manager.h"
#include "platform/file_dialogs.h"
#include "script/dialog_env.h"
#include "script/expr_test_env.h"
#include "script/functions/folder_chooser.h"
#include "script/save/save_data.h"
#include "support/test_support.h"

namespace orba {
namespace {

class FakeSaveStore : public TSaveFileStore {
 public:
  bool fail = false;
  std::map<std::string, std::vector<uint8_t>> written;
  bool WriteSaveFile(const std::string& name, const std::vector<uint8_t>& data) override {
    if (fail) return false;
    written[name] = data;
    return true;
  }
};

class QueueDialogs : public TFileDialogService {
 public:
  std::deque<std::optional<std::string>> answers;
  std::vector<TFileDialogRequest> shown;
  std::optional<std::string> Show(const TFileDialogRequest& r) override {
    shown.push_back(r);
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
};

std::string Content(TVrFileManager& vf, const std::string& name) {
  TKsMemoryStream s;
  vf.LoadToStream(s, name);
  return std::string(s.Bytes().begin(), s.Bytes().end());
}

void AddMemoryFile(TVrFileManager& vf, const std::string& name, const std::string& text) {
  TVrFile* f = vf.GetCollection(0)->AddEntry(name);
  f->Data->Write(text.data(), static_cast<int64_t>(text.size()));
}

struct FileEnv : test::TExprEnv {
  FileEnv() {
    vf.AddCollection(std::make_unique<TVrFileCollection>());
    funcs.SetFileService(&service);
    service.ShellOpen = [this](const std::string& target) { opened.push_back(target); };
    previous_dialogs = SetFileDialogService(dialogs);
    boxes.Otherwise = TDialogResult{TDialogAnswer::Custom, 1};
  }
  ~FileEnv() { SetFileDialogService(previous_dialogs); }
  TVrFileManager vf;
  test::TMemoryGameFiles game;
  FakeSaveStore save;
  TFileFuncService service{vf, game, &save};
  std::vector<std::string> opened;
  std::shared_ptr<QueueDialogs> dialogs = std::make_shared<QueueDialogs>();
  test::TBoxScope box_scope;
  test::TTestBoxes& boxes = *box_scope.Boxes;
  std::shared_ptr<TFileDialogService> previous_dialogs;
};

TEST(FileFunctions, MemoryFilesAndCopy) {
  FileEnv env;
  AddMemoryFile(env.vf, "mem:a.txt", "hello");
  env.Expect({{"FileExists(\"\")", "FALSE"}, {"FileExists(\"MEM:A.TXT\")", "TRUE"},
              {"CopyFile(\"mem:a.txt\", \"save:s1.txt\")", "TRUE"}, {"FileExists(\"save:s1.txt\")", "TRUE"},
              {"CopyFile(\"mem:a.txt\", \"mem:a.txt\")", "TRUE"}, {"CopyFile(\"save:s1.txt\", \"SAVE:S1.TXT\")", "TRUE"},
              {"CopyFile(\"a.txt\", \"mem:b.txt\")", "FALSE"}, {"CopyFile(\"mem:none\", \"mem:b.txt\")", "FALSE"},
              {"CopyFile(\"mem:a.txt\", \"plain.txt\")", "TRUE"}});
  // Copying a file onto itself keeps its bytes, in memory and in save.dat.
  EXPECT_EQ(Content(env.vf, "mem:a.txt") + Content(env.vf, "save:s1.txt") + Content(env.vf, "plain.txt"),
            "hellohellohello");
  ASSERT_EQ(env.save.written.size(), 2u);  // written under the names given
  for (const auto& [name, data] : env.save.written) EXPECT_EQ(std::string(data.begin(), data.end()), "hello");
  // When save.dat cannot be written the copy answers false.
  env.save.fail = true;
  env.Expect({{"CopyFile(\"mem:a.txt\", \"save:s2.txt\")", "FALSE"}});
}

// Through save.dat: a "save:" copy reaches it and the captions come from
// it; a save.dat that could not be read at start-up is left alone, and a
// copy into it answers false.
TEST(FileFunctions, SaveFilesAndCaptionsThroughSaveData) {
  test::TempDir dir;
  const std::string path = dir / "save.dat";
  FileEnv env;
  TEmptySaveSections sections(env.store, 640, 480);
  TSaveDataFile save(path, sections.Sections());
  save.OpenAtStart(env.vf.GetCollection(0));
  ASSERT_TRUE(save.SaveGame(2, "", 0, "slot two", true));
  TSaveDataSlots slots(save);
  TFileFuncService service(env.vf, env.game, &slots);
  service.SaveSlots = &slots;
  env.funcs.SetFileService(&service);
  AddMemoryFile(env.vf, "mem:a.txt", "hello");
  env.Expect({{"CopyFile(\"mem:a.txt\", \"save:s1.txt\")", "TRUE"}, {"CopyFile(\"save:s1.txt\", \"save:s1.txt\")", "TRUE"},
              {"GetSaveCaption(2)", "slot two"}, {"ListSaveCaption()", "1"}});
  const test::CommandResult listed = test::RunPython("fixtures/vf_fixture.py", {"list", path});
  EXPECT_NE(listed.output.find("save:s1.txt\t"), std::string::npos) << listed.output;
  test::WriteFileBytes(path, test::Bytes("not a package"));
  TSaveDataFile damaged(path, sections.Sections());
  damaged.OpenAtStart(nullptr);
  ASSERT_TRUE(damaged.Damaged());
  TSaveDataSlots damaged_slots(damaged);
  EXPECT_FALSE(damaged_slots.WriteSaveFile("save:x", {1, 2}));
  EXPECT_EQ(test::ReadFileBytes(path), test::Bytes("not a package"));
}

class FakeSlots : public TSaveSlotSource {
 public:
  std::vector<std::pair<std::string, int32_t>> captions;
  std::string GetSaveCaption(int32_t slot) override {
    for (const auto& [caption, s] : captions) {
      if (s == slot) return caption;
    }
    return std::string();
  }
  std::vector<std::pair<std::string, int32_t>> SaveCaptions() override { return captions; }
};

TEST(FileFunctions, SaveCaptions) {
  FileEnv env;
  env.Expect({{"GetSaveCaption(1)", ""}, {"caps = \"x\"", "<nil>"}, {"slots = 9", "<nil>"},
              {"ListSaveCaption(caps, slots)", "0"}});
  FakeSlots slots;
  env.service.SaveSlots = &slots;
  // No slot: the arrays stay as they were.
  env.Expect({{"ListSaveCaption(caps, slots)", "0"}, {"GetArraySize(caps) ++ caps ++ slots", "1x9"}});
  slots.captions = {{"first", 3}, {"\x91\xe6\x93\xf1", 0}};  // 第二
  env.Expect({{"GetSaveCaption(0)", "\x91\xe6\x93\xf1"}, {"GetSaveCaption(5)", ""}, {"ListSaveCaption(caps, slots)", "2"},
              {"GetArraySize(caps) ++ GetArraySize(slots) ++ caps[1] ++ slots[0]", "22\x91\xe6\x93\xf1" "3"},
              {"ListSaveCaption()", "2"}});
}

TEST(FileFunctions, LoadTextFile) {
  FileEnv env;
  env.game.files["t.txt"] = "one\r\ntwo\rthree\n";
  env.game.files["empty.txt"] = "";
  env.game.files["zero.txt"] = std::string("\0abc", 4);
  env.Expect({{"lines = \"x\"", "<nil>"}, {"LoadTextFile(lines, \"missing.txt\")", "FALSE"},
              {"LoadTextFile(lines, \"empty.txt\")", "FALSE"}, {"LoadTextFile(lines, \"zero.txt\")", "FALSE"},
              {"GetArraySize(lines)", "1"}, {"LoadTextFile(lines, \"t.txt\")", "TRUE"},
              {"GetArraySize(lines) ++ lines[2]", "3three"}});
}

// A text file of more bytes or lines than a script may hold answers as a
// missing one, the array unchanged; one at the limits is read.
TEST(FileFunctions, LoadTextFileRefusesWhatCannotBeHeld) {
  FileEnv env;
  env.game.files["bytes.txt"] = std::string(static_cast<size_t>(kMaxGameTextBytes), 'x');
  env.game.files["toobig.txt"] = std::string(static_cast<size_t>(kMaxGameTextBytes) + 1, 'x');
  env.game.files["lines.txt"] = std::string(kMaxGameTextLines, '\n');
  env.game.files["toomany.txt"] = std::string(kMaxGameTextLines, '\n') + "x";
  env.game.files["crlf.txt"] = std::string(kMaxGameTextLines * 2, '\r');
  env.Expect({{"lines = \"x\"", "<nil>"}, {"LoadTextFile(lines, \"toobig.txt\")", "FALSE"},
              {"LoadTextFile(lines, \"toomany.txt\")", "FALSE"}, {"LoadTextFile(lines, \"crlf.txt\")", "FALSE"},
              {"GetArraySize(lines) ++ lines[0]", "1x"}, {"LoadTextFile(lines, \"lines.txt\")", "TRUE"},
              {"GetArraySize(lines)", std::to_string(kMaxGameTextLines)},
              {"LoadTextFile(lines, \"bytes.txt\")", "TRUE"}, {"GetArraySize(lines)", "1"}});
}

TEST(FileFunctions, SplitTextLineViewsStopsOneLinePastTheLimit) {
  const std::string text = "a\r\nb\rc\nd";
  const std::vector<std::vector<std::string_view>> expected = {
      {"a"}, {"a", "b"}, {"a", "b", "c"}, {"a", "b", "c", "d"}, {"a", "b", "c", "d"}};
  for (size_t max = 0; max < expected.size(); ++max) EXPECT_EQ(SplitTextLineViews(text, max), expected[max]) << max;
  EXPECT_EQ(SplitTextLines(std::string("x\n\0y\n", 5)), std::vector<std::string>{"x"});
}

TEST(FileFunctions, DialogsFromScriptedAnswers) {
  FileEnv env;
  env.dialogs->answers = {std::string("/home/p/a.txt"), std::nullopt, std::string("/home/p/out.dat"),
                          std::string("/home/p/folder"), std::nullopt};
  env.Expect({{"f = \"keep\"", "<nil>"}, {"SelectOpenFile(f, \"Text (*.txt)|*.txt;*.log\")", "TRUE"},
              {"f", "/home/p/a.txt"}, {"SelectOpenFile(f)", "FALSE"}, {"f", "/home/p/a.txt"},
              {"SelectSaveFile(f)", "TRUE"}, {"f", "/home/p/out.dat"}, {"d = \"keep\"", "<nil>"},
              {"SelectDirectory(d)", "TRUE"}, {"d", "/home/p/folder\\"}, {"SelectDirectory(d)", "FALSE"}});
  ASSERT_EQ(env.dialogs->shown.size(), 5u);
  const auto& shown = env.dialogs->shown;
  EXPECT_EQ(std::make_tuple(shown[0].Kind, shown[0].FileMustExist, shown[0].Filter, shown[2].Kind,
                            shown[2].OverwritePrompt, shown[3].Kind),
            std::make_tuple(TFileDialogKind::Open, true, std::string("Text (*.txt)|*.txt;*.log"), TFileDialogKind::Save,
                            true, TFileDialogKind::Folder));
}

TEST(FileFunctions, OpenUrl) {
  FileEnv env;
  test::TempDir dir;
  env.Declare("folder", PT_STR)->SetAsStr(dir.path());
  env.Run({"OpenUrl(\"http://example.com/\")", "OpenUrl(\"HTTP://example.com/\")", "OpenUrl(\"ftp.example.com\")",
           "OpenUrl(\"mailto:x\")", "OpenUrl(folder)", "OpenUrl(\"\")", "OpenUrl(\"mailto:me@example.com\")",
           "OpenUrl(\"ftp://example.com/pub\")", "OpenUrl(folder ++ \"/missing\")"});
  // Web addresses and existing folders (by their real paths) reach the
  // desktop; mail addresses and other schemes do not.
  EXPECT_EQ(env.opened, (std::vector<std::string>{"http://example.com/", std::filesystem::canonical(dir.path()).string(),
                                                  "ftp://example.com/pub"}));
}

// An address with Japanese words and blanks in its path and query reaches
// the desktop percent-encoded in UTF-8; Japanese words in its host alike,
// a blank there not at all.
TEST(FileFunctions, OpenUrlOfJapaneseAddressesSendsThemPercentEncoded) {
  FileEnv env;
  // "http://example.jp/日本 語?q=あ", then the words as the host, then a
  // blank between them there.
  env.Declare("path", PT_STR)->SetAsStr("http://example.jp/\x93\xfa\x96\x7b \x8c\xea?q=\x82\xa0");
  env.Declare("host", PT_STR)->SetAsStr("http://\x93\xfa\x96\x7b.jp/");
  env.Declare("blank", PT_STR)->SetAsStr("http://\x93\xfa \x96\x7b.jp/");
  env.Run({"OpenUrl(path)", "OpenUrl(host)", "OpenUrl(blank)"});
  EXPECT_EQ(env.opened, (std::vector<std::string>{"http://example.jp/%E6%97%A5%E6%9C%AC%20%E8%AA%9E?q=%E3%81%82",
                                                  "http://%E6%97%A5%E6%9C%AC.jp/"}));
}

TEST(FileFunctions, ExtractIntoFolderOnly) {
  FileEnv env;
  test::TempDir dir;
  const std::string dest = dir / "out";
  for (const char* name : {"music\\a.ogg", "music\\b.ogg", "music\\c.txt", "music\\d.OGG", "x\\..\\..\\up.txt",
                           "..", "a/../../slash.txt"}) {
    AddMemoryFile(env.vf, name, std::string("data of ") + name);
  }
  std::filesystem::create_directories(dest);
  test::WriteFileBytes(dest + "/b.ogg", test::Bytes("old"));
  test::WriteFileBytes(dest + "/c.txt", test::Bytes("old"));
  env.Declare("dest", PT_STR)->SetAsStr(dest + "/new");
  env.Declare("dest2", PT_STR)->SetAsStr(dest);
  TParamCollectionItem* names = env.Declare("names", PT_STR);
  const std::vector<std::string> list = {"music\\*.ogg", "x\\..\\..\\up.txt", "..", "a/../../slash.txt",
                                         "music\\c.txt"};
  names->SetDims({5});
  for (int32_t i = 0; i < 5; ++i) names->SetStrItem(i, list[static_cast<size_t>(i)]);
  env.Expect({{"ExtractFile(names, TRUE, dest)", "TRUE"}});
  for (const auto& [file, from] : {std::pair{"a.ogg", "music\\a.ogg"}, {"d.OGG", "music\\d.OGG"},
                                   {"up.txt", "x\\..\\..\\up.txt"}, {"slash.txt", "a/../../slash.txt"},
                                   {"c.txt", "music\\c.txt"}}) {
    EXPECT_EQ(test::ReadFileBytes(dest + "/new/" + file), test::Bytes(std::string("data of ") + from)) << file;
  }
  for (const std::string& outside : {dir / "up.txt", dir / "slash.txt", dest + "/up.txt"}) {
    EXPECT_FALSE(std::filesystem::exists(outside)) << outside;
  }
  EXPECT_TRUE(env.boxes.Shown.empty());  // nothing existed in the new folder

  // Into the folder with the old files: the question for b.ogg (answered
  // No) and for c.txt (the box closed: No).
  env.boxes.Answers = {{TDialogAnswer::Custom, 1}};
  env.Expect({{"ExtractFile(names, TRUE, dest2)", "TRUE"}});
  ASSERT_EQ(env.boxes.Shown.size(), 2u);
  EXPECT_EQ(std::make_tuple(env.boxes.Shown[0].Labels.size(), env.boxes.Shown[0].Title),
            std::make_tuple(size_t{5}, std::string("\x8am\x94" "F")));  // 確認
  for (const auto& [file, content] : {std::pair{"b.ogg", "old"}, {"c.txt", "old"}, {"a.ogg", "data of music\\a.ogg"}}) {
    EXPECT_EQ(test::ReadFileBytes(dest + "/" + file), test::Bytes(content)) << file;
  }
}

TEST(FileFunctions, ExtractAnswersAndChooser) {
  FileEnv env;
  test::TempDir dir;
  AddMemoryFile(env.vf, "one.txt", "new one");
  AddMemoryFile(env.vf, "two.txt", "new two");
  test::WriteFileBytes(dir / "one.txt", test::Bytes("old"));
  test::WriteFileBytes(dir / "two.txt", test::Bytes("old"));
  env.Declare("names", PT_STR);
  env.Declare("dir", PT_STR)->SetAsStr(dir.path());
  env.Run({"SetArray(names, 2)", "names[0] = \"one.txt\"", "names[1] = \"two.txt\""});
  // No to all: nothing written, one question; without Confirm: overwritten
  // without a question.
  env.boxes.Answers = {{TDialogAnswer::Custom, 3}};
  env.Expect({{"ExtractFile(names, TRUE, dir)", "FALSE"}});
  EXPECT_EQ(test::ReadFileBytes(dir / "one.txt"), test::Bytes("old"));
  env.Expect({{"ExtractFile(names, FALSE, dir)", "TRUE"}});
  EXPECT_EQ(env.boxes.Shown.size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(dir / "two.txt"), test::Bytes("new two"));
  // Without a folder the chooser asks; cancelled, nothing happens.
  env.Expect({{"ExtractFile(names)", "FALSE"}});
  env.dialogs->answers = {dir / "chosen"};
  env.Expect({{"ExtractFile(names, FALSE)", "TRUE"}});
  EXPECT_EQ(test::ReadFileBytes(dir / "chosen/one.txt"), test::Bytes("new one"));
}

// While a game's file access is restricted, a folder opens to it once the
// user chose it in the chooser; a relative folder lies in the game's folder.
TEST(FileFunctions, ExtractIntoAFolderOnceTheUserChoseIt) {
  FileEnv env;
  test::TempDir dir;
  std::filesystem::create_directories(dir / "game");
  env.vf.SetOverrideFolder(dir / "game");
  AddMemoryFile(env.vf, "one.txt", "new one");
  env.Declare("names", PT_STR)->SetAsStr("one.txt");
  env.Declare("dir", PT_STR)->SetAsStr(dir / "mine");
  env.Declare("folder", PT_STR);
  RestrictFileAccess();
  AllowFileRoot(dir / "game/", TAccessRoot::Game);
  env.Expect({{"ExtractFile(names, FALSE, dir)", "FALSE"}, {"ExtractFile(names, FALSE, \"manual\")", "TRUE"}});
  EXPECT_FALSE(std::filesystem::exists(dir / "mine"));
  EXPECT_EQ(test::ReadFileBytes(dir / "game/manual/one.txt"), test::Bytes("new one"));
  env.dialogs->answers = {dir / "mine"};
  env.Expect({{"SelectDirectory(folder)", "TRUE"}, {"ExtractFile(names, FALSE, dir)", "TRUE"}});
  ReleaseFileAccess();
  EXPECT_EQ(test::ReadFileBytes(dir / "mine/one.txt"), test::Bytes("new one"));
}

TEST(FileFunctions, FolderChooser) {
  FileEnv env;
  test::TempDir dir;
  env.dialogs->answers = {std::nullopt, dir / "Games/", std::string("/"), dir.path()};
  TSHBrowseForFolderEx chooser;
  chooser.Caption = "pick";
  chooser.FolderName = "stale";
  auto run = [&] {
    const bool chosen = chooser.Execute();
    return std::make_tuple(chosen, chooser.FolderName, chooser.DisplayName);
  };
  using R = std::tuple<bool, std::string, std::string>;
  EXPECT_EQ(run(), R(false, "", ""));
  EXPECT_EQ(run(), R(true, dir / "Games/", "Games"));
  EXPECT_TRUE(chooser.Execute());
  EXPECT_EQ(chooser.DisplayName, "/");
  // A manual initial folder counts only when it is a folder.
  chooser.SelectFolder = sfManual;
  chooser.SelectFolderName = dir / "missing";
  EXPECT_TRUE(chooser.Execute());
  chooser.SelectFolderName = dir.path();
  EXPECT_FALSE(chooser.Execute());
  ASSERT_EQ(env.dialogs->shown.size(), 5u);
  const auto& shown = env.dialogs->shown;
  EXPECT_EQ(std::make_tuple(shown[0].Title, shown[0].Kind, shown[3].InitialFolder, shown[4].InitialFolder),
            std::make_tuple(std::string("pick"), TFileDialogKind::Folder, std::string(), dir.path()));
}

TEST(FileFunctions, MasksAndPrefixes) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  } cases[] = {{"a.ogg", "*.ogg", true},        {"A.OGG", "*.ogg", true},   {"a.ogg.txt", "*.ogg", false},
               {"ab.ogg", "?.ogg", false},      {"b.ogg", "?.ogg", true},   {"c1.wav", "[a-c]?.wav", true},
               {"d1.wav", "[a-c]?.wav", false}, {"d1.wav", "[!a-c]*", true}, {"x", "[x", false},
               {"\x95\x5c.txt", "?.txt", true},  // 表 is one character
               {"", "*", true},                 {"abc", "a*c*", true},      {"abc", "*b", false}};
  for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " " << c.mask;
  EXPECT_TRUE(IsMemoryFileName("MEM:x") && IsMemoryFileName("Save:x") && !IsMemoryFileName("me:x"));

}

}  // namespace
}  // namespace orba
