// orbatool save: shows what "save.dat" holds: its entries, the status entry
// and each game slot with its version, caption, variables and tables.
#include <cstdio>
#include <string>
#include <vector>

#include "core/files/vr_file.h"
#include "core/strings/sjis_case.h"
#include "orbatool.h"
#include "platform/text_convert.h"
#include "script/functions/dbs.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"

namespace {

using namespace orba;

const char* const kUsage = "usage: orbatool save dump SAVEDAT\n";

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

int Dump(const std::string& path) {
  TVrFileCollection c;
  c.Open(path, true);
  if (c.Count() == 0 && !c.Archive) return orbatool::Fail("no such file: " + U(path));
  // Every entry is shown, readable or not; any that is damaged fails the
  // dump.
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
    pieces.GameTables = &game_tables;
    pieces.StatusTables = &status_tables;
    TSaveDataFile reader(path, pieces);
    int32_t slot = 0;
    try {
      if (name == kStatusEntryName) {
        entry.SetPosition(0);
        std::printf("  status version %d\n", ReadStatusHeader(entry));
        entry.SetPosition(0);
        reader.ReadStatusData(entry);
        PrintVars(vars);
        PrintTables(db);
      } else if (ParseGameSlotEntryName(name, slot)) {
        entry.SetPosition(0);
        const TGameSlotHead head = ReadGameSlotHead(entry);
        std::printf("  slot %d version %d caption \"%s\" onload \"%s\" target %d\n", slot, head.Version,
                    U(head.Caption).c_str(), U(head.OnLoadPage).c_str(), head.OnLoadTarget);
        entry.SetPosition(0);
        reader.ReadGameData(entry);
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
  if (unreadable > 0) return orbatool::Fail(std::to_string(unreadable) + " entries of " + U(path) + " are damaged");
  return 0;
}

int SaveCommand(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "dump") return Dump(Utf8ToSjis(args[1]));
  std::fputs(kUsage, stderr);
  return 2;
}

const orbatool::OrbaToolCommand kSave("save", "show the entries, slots and variables of \"save.dat\"", SaveCommand);

}  // namespace
