// orbatool save: shows what "save.dat" holds: its entries, the status entry
// and each game slot with its version, caption, scene objects, run state
// (the page run, its program counter and arguments, and each call frame),
// variables and tables. A running command's own state is read by that
// command of its page; pages and pictures come from the game named with
// --game, as the player takes it, or else from the game beside "save.dat"
// (a player keeps "save.dat" in its data folder when the game's folder is
// not writable, and nothing in the file names the game). The objects load
// with the services the player installs: glyphs over FreeType, the text
// controls' characters, the HTTP client and a silent sound output.
// Anything that cannot be read is named, and the command then ends with
// status 1.
#include <cstdio>
#include <string>
#include <vector>

#include "core/files/disk_path.h"
#include "core/files/vr_file.h"
#include "core/files/vr_file_manager.h"
#include "core/strings/sjis_case.h"
#include "items/base_list.h"
#include "items/base_list_scene.h"
#include "items/message_window.h"
#include "items/object_tree.h"
#include "items/orba_globals.h"
#include "media/media_system.h"
#include "net/http_cli.h"
#include "orbatool.h"
#include "platform/fonts.h"
#include "platform/headless/memory_audio.h"
#include "platform/linux/freetype_fonts.h"
#include "platform/text_controls.h"
#include "platform/text_convert.h"
#include "script/functions/dbs.h"
#include "script/interp/call_man.h"
#include "script/interp/run_loop_events.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"
#include "shell/game_client.h"
#include "text/control_glyphs.h"

namespace {

using namespace orba;

const char* const kUsage =
    "usage: orbatool save dump [--game GAME] [--tree] SAVEDAT\n"
    "GAME is the game that wrote SAVEDAT as the player takes it (its folder, package\n"
    "or program); without it the game beside SAVEDAT is read. --tree also prints\n"
    "each slot's object tree and every object's properties.\n";

std::string U(const std::string& sjis) { return SjisToUtf8(sjis); }

const char* TypeName(uint8_t type) {
  switch (type) {
    case PT_INT: return "int";
    case PT_FLOAT: return "float";
    case PT_BOOL: return "bool";
    case PT_STR: return "str";
    default: return "ref";
  }
}

// The script variables of a store (no system variables), one line each.
// The read marks: per key its (command, page) pairs, and the pending mark.
void PrintReadMarks(const TOrbaReadList& marks) {
  for (int32_t i = 0; i < marks.Count(); ++i) {
    const TOrbaRead& item = marks.Item(i);
    std::string pairs;
    for (size_t k = 0; k < item.A.size(); ++k)
      pairs += " (" + std::to_string(item.A[k]) + "," + std::to_string(item.B[k]) + ")";
    std::printf("  read \"%s\"%s\n", U(item.Name).c_str(), pairs.c_str());
  }
  if (!marks.PendingKey.empty())
    std::printf("  read pending \"%s\" (%d,%d) in \"%s\"\n", U(marks.PendingKey).c_str(), marks.PendingA,
                marks.PendingB, U(marks.PendingContext).c_str());
}

// Each backlog format: its parameters, limit and size, then its sheets'
// rows (layout mode) or its records (record mode).
void PrintBacklog(const TOrbaHistoryFormatManager& formats) {
  for (int32_t i = 0; i < formats.Count(); ++i) {
    const TOrbaHistoryFormat& f = formats.Item(i);
    const TOrbaNewHistory& h = f.History;
    std::string params;
    for (int32_t p : f.Params) params += " " + std::to_string(p);
    std::printf("  backlog \"%s\" params%s limit %d size %d\n", U(f.Name).c_str(), params.c_str(), h.Limit,
                h.GetSize());
    for (size_t k = 0; k < h.Sheets.size(); ++k) {
      std::printf("    sheet %zu height %d\n", k, h.Sheets[k].TotalHeight);
      for (const THistRow& r : h.Sheets[k].Rows)
        std::printf("      row \"%s\" %d text %d..%d height %d\n", U(r.PageName).c_str(), r.CommandIndex, r.First,
                    r.Last, r.Height);
    }
    for (const THistMessage& m : h.Records.Items)
      std::printf("    record \"%s\" %d page %d size %dx%d\n", U(m.PageName).c_str(), m.CommandIndex, m.PageIndex,
                  m.Width, m.Height);
  }
}

void PrintVars(const TParamCollection& vars) {
  for (int32_t i = 0; i < vars.Count(); ++i) {
    const TParamCollectionItem* v = vars.GetItem(i);
    if (v == nullptr || v->IsSystem()) continue;
    std::string value;
    const int32_t n = v->GetCount();
    for (int32_t k = 0; k < n; ++k) {
      if (k > 0) value += ", ";
      const std::string text = v->GetStrItem(k);
      value += v->GetParamType() == PT_STR ? "\"" + U(text) + "\"" : U(text);
    }
    std::printf("  var %s %s%s = %s\n", U(v->Name()).c_str(), TypeName(v->GetParamType()),
                n == 1 ? "" : ("[" + std::to_string(n) + "]").c_str(), value.c_str());
  }
}

std::string QuotedList(const TArrayString& items) {
  std::string out;
  for (const std::string& item : items.Items()) out += (out.empty() ? "\"" : ", \"") + U(item) + "\"";
  return "[" + out + "]";
}

// Mounts the game that wrote "save.dat" as the player does: Game, or the
// folder of "save.dat" when Game is empty.
void MountSavingGame(const std::string& game, const std::string& save_path) {
  const std::string beside = SjisExtractFilePath(save_path).empty() ? std::string("./") : SjisExtractFilePath(save_path);
  InitVrFiles();
  MountGame(LocateGame(game.empty() ? beside : game), *VrFileManager());
}

// The player's services that objects use while they load: buttons and menus
// measure their captions with the font engine.
void InstallPlayerServices() {
  SetFontEngine(std::make_shared<TFreeTypeFonts>());
  SetControlGlyphs(std::make_shared<TCachedControlGlyphs>());
  InstallCurlHttpClient();
}

// Pages come from the mounted game.
class TGamePages : public TPageHost {
 public:
  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override {
    VrFileManager()->LoadToStream(stream, name);
  }
};

// The run state of a slot, read for showing.
class TShownRunState : public TRunStateSection {
 public:
  void SaveToStream(TKsBigStream&) override {}
  void CallOnLoadPage(const std::string&, int32_t) override {}
  void LoadFromStream(TKsBigStream& stream, int32_t version) override {
    TStandaloneObjects objects;
    record_.LoadFromStream(stream, version, objects);
    state_bytes_ = 0;
    if (record_.Started == 0 || record_.PageName.empty()) return;
    // Pages come through the dump's page host (TGamePages).
    TPage page;
    page.LoadFromFile(record_.PageName);
    const int64_t at = stream.GetPosition();
    if (record_.PC >= 0 && record_.PC < page.Commands.Count()) page.Commands.GetItem(record_.PC)->RestoreState(stream);
    state_bytes_ = stream.GetPosition() - at;
  }
  void Print() const {
    std::printf("  run page \"%s\" pc %d started %d continue %d state %d sender \"%s\" args %s next level %d\n",
                U(record_.PageName).c_str(), record_.PC, record_.Started, record_.Continue, record_.State,
                U(record_.Sender).c_str(), QuotedList(record_.Args).c_str(), record_.NextLevel);
    if (state_bytes_ > 0) std::printf("  running command state %lld bytes\n", static_cast<long long>(state_bytes_));
    for (size_t i = 0; i < record_.Frames.size(); ++i) {
      const TStack& f = record_.Frames[i];
      std::printf("  frame %zu: page \"%s\" pc %d started %d result var \"%s\" args %s\n", i, U(f.PageName).c_str(),
                  f.PC, f.Started, U(f.ResultVar).c_str(), QuotedList(f.Args).c_str());
    }
  }

 private:
  TRunStateRecord record_;
  int64_t state_bytes_ = 0;
};

// The tables of a store, one line each with their columns and rows, then
// one line per row.
void PrintTables(TDBManager& db) {
  for (int32_t t = 0; t < db.Count(); ++t) {
    TDBTable* table = db.GetTable(t);
    std::string columns;
    for (int32_t c = 0; c < table->Fields.Count(); ++c) {
      const TDBField& f = table->Fields[c];
      columns += " " + U(f.Name) + ":" + TypeName(f.Type);
    }
    std::printf("  table %s %s rows %d columns%s\n", U(table->Name).c_str(),
                table->Category == kDBStatusCategory ? "status" : "game", table->GetRecordCount(), columns.c_str());
    for (int32_t r = 0; r < table->GetRecordCount(); ++r) {
      std::string cells;
      for (int32_t c = 0; c < table->Fields.Count(); ++c) {
        if (c > 0) cells += ", ";
        switch (table->Fields[c].Type) {
          case PT_INT: {
            int32_t v = 0;
            table->GetInt(r, c, v);
            cells += std::to_string(v);
            break;
          }
          case PT_FLOAT: {
            long double v = 0;
            table->GetFloat(r, c, v);
            char buf[64];
            std::snprintf(buf, sizeof buf, "%Lg", v);
            cells += buf;
            break;
          }
          case PT_BOOL: {
            bool v = false;
            table->GetBool(r, c, v);
            cells += v ? "TRUE" : "FALSE";
            break;
          }
          default: {
            std::string v;
            table->GetStr(r, c, v);
            cells += "\"" + U(v) + "\"";
            break;
          }
        }
      }
      std::printf("    row %d: %s\n", r, cells.c_str());
    }
  }
}

int Dump(const std::string& path, const std::string& game, bool tree) {
  if (!game.empty() && !DiskFileExists(game) && !DiskFolderExists(game))
    return orbatool::Fail("no such game: " + U(game));
  TVrFileCollection c;
  c.Open(path, true);
  if (c.Count() == 0 && !c.Archive) return orbatool::Fail("no such file: " + U(path));
  // The objects of a slot's scene and its running command are made from
  // the game's pictures and pages. Every entry is shown, readable or not;
  // any that is damaged fails the dump.
  InstallPlayerServices();
  MountSavingGame(game, path);
  TGamePages pages;
  SetPageHost(&pages);
  InitOrbaGlobals();
  // Sound items of a scene open their files through the media managers,
  // which play into silence here.
  InitMediaGlobals(VrFileManager(), std::make_shared<TMemoryAudio>());
  int unreadable = 0;
  for (int i = 0; i < c.Count(); ++i) {
    const std::string name = c.GetEntry(i)->Name();
    if (SjisSameText(name, kVrEofName)) continue;
    TKsMemoryStream entry;
    try {
      c.ReadEntry(entry, name);
    } catch (const std::exception& e) {
      std::printf("entry %s: unreadable: %s\n", U(name).c_str(), U(e.what()).c_str());
      ++unreadable;
      continue;
    }
    std::printf("entry %s (%lld bytes)\n", U(name).c_str(), static_cast<long long>(entry.GetSize()));
    TParamCollection vars;
    TEmptySaveSections sections(vars, 0, 0);
    TDBManager db;
    TDBTablesSection game_tables(db, kDBGameCategory), status_tables(db, kDBStatusCategory);
    TSaveSections pieces = sections.Sections();
    TBaseListScene scene(*Bases);
    TShownRunState run_state;
    pieces.Scene = &scene;
    pieces.RunState = &run_state;
    pieces.GameTables = &game_tables;
    pieces.StatusTables = &status_tables;
    TBacklogFormatsSection backlog;
    TReadMarksSection read_marks;
    pieces.Backlog = &backlog;
    pieces.ReadMarks = &read_marks;
    TextHistoryFormats->Clear();
    TextRead->Clear();
    TSaveDataFile reader(path, pieces);
    int32_t slot = 0;
    try {
      if (name == kStatusEntryName) {
        entry.SetPosition(0);
        std::printf("  status version %d\n", ReadStatusHeader(entry));
        entry.SetPosition(0);
        reader.ReadStatusData(entry);
        PrintVars(vars);
        PrintReadMarks(*TextRead);
        PrintTables(db);
      } else if (ParseGameSlotEntryName(name, slot)) {
        entry.SetPosition(0);
        const TGameSlotHead head = ReadGameSlotHead(entry);
        std::printf("  slot %d version %d caption \"%s\" onload \"%s\" target %d\n", slot, head.Version,
                    U(head.Caption).c_str(), U(head.OnLoadPage).c_str(), head.OnLoadTarget);
        entry.SetPosition(0);
        reader.ReadGameData(entry);
        std::string objects;
        for (int32_t k = 0; k < Bases->GetObjectCount(); ++k) objects += " " + U(Bases->GetObject(k)->GetName());
        std::printf("  scene %d objects%s\n", Bases->GetObjectCount(), objects.c_str());
        for (int32_t k = 0; k < Bases->GetObjectCount(); ++k)
          if (const TOrbaMes* w = AsMessageWindow(Bases->GetObject(k)))
            std::printf("  message \"%s\" mode %d page %d of %d text \"%s\"\n", U(w->GetName()).c_str(), w->RecordMode,
                        w->PageIndex, w->PageCount(), U(w->GetText()).c_str());
        // The object tree and each object's property list.
        if (tree) std::printf("%s", U(ObjectTreeText(*Bases)).c_str());
        run_state.Print();
        PrintBacklog(*TextHistoryFormats);
        PrintVars(vars);
        PrintTables(db);
      }
    } catch (const ESaveSectionNotEmpty& e) {
      // Whole, but holding state that only a running game restores.
      std::printf("  unreadable: %s\n", U(e.what()).c_str());
    } catch (const std::exception& e) {
      std::printf("  unreadable: %s\n", U(e.what()).c_str());
      ++unreadable;
    }
  }
  // The scene's sound items go before the managers they play through.
  DoneOrbaGlobals();
  DoneMediaGlobals();
  SetPageHost(nullptr);
  FinalVrFiles();
  if (unreadable > 0) return orbatool::Fail(std::to_string(unreadable) + " entries of " + U(path) + " are damaged");
  return 0;
}

int SaveCommand(const std::vector<std::string>& args) {
  std::string game;
  bool tree = false;
  size_t i = 1;
  for (; args.size() > 1 && args[0] == "dump" && i + 1 < args.size(); ++i) {
    if (args[i] == "--tree") {
      tree = true;
    } else if (args[i] == "--game" && i + 2 < args.size()) {
      game = Utf8ToSjis(args[++i]);
    } else {
      break;
    }
  }
  if (args.size() > 1 && args[0] == "dump" && i + 1 == args.size()) return Dump(Utf8ToSjis(args[i]), game, tree);
  orbatool::BadUsage();
}

const orbatool::OrbaToolCommand kSave("save", "show the entries, slots and variables of \"save.dat\"", kUsage,
                                     SaveCommand);

}  // namespace
