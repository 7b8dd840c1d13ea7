#include "script/functions/sys_func_db.h"

#include "core/vocab/vocab.h"
#include "script/functions/dbs.h"
#include "script/functions/sys_func_args.h"
#include "script/functions/sys_func_file.h"

namespace orba {

namespace {

// An optional array argument: null when the call does not give it.
const TCustomParam* Optional(const TFuncArgReader& a, size_t i) { return a.Has(i) ? &a.At(i) : nullptr; }

// The table an optional name argument names, or the active table.
TDBTable* NamedOrActive(TDBManager& db, const TFuncArgReader& a, size_t i) {
  return a.Has(i) ? db.GetTable(db.IndexOfTable(a.Str(i))) : db.GetActiveTable();
}

// The rows of Table that the search arguments from Index on select (every
// row without keys): Keys, Values, IgnoreCase, Partial.
TIntList SelectRows(TDBTable& table, const TFuncArgReader& a, size_t i) {
  TIntList rows;
  table.Select(rows, Optional(a, i), a.FlagOr(i + 3, false), a.FlagOr(i + 2, false), Optional(a, i + 1));
  return rows;
}

}  // namespace

void TDBFuncService::CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {
  const TFuncArgReader a(args);
  TDBTable* active = db_.GetActiveTable();
  const bool has_row = active != nullptr && active->GetRecNo() >= 0;

  // Direct access: Table, Keys, Values, IgnoreCase, Partial, Column, Default
  // or Value.
  auto direct = [&](auto call) {
    return call(a.Str(0), Optional(a, 1), Optional(a, 2), a.Str(5), a.Flag(4), a.Flag(3));
  };

  switch (id) {
    case FN_DBCreateTable:
      result.SetAsFlag(db_.AddTable(a.Str(0), a.Flag(1) ? kDBStatusCategory : kDBGameCategory) >= 0);
      break;
    case FN_DBSetActive:
      result.SetAsFlag(db_.SelectTable(a.Str(0)));
      break;
    case FN_DBGetActive:
      result.SetAsStr(active != nullptr ? active->Name : std::string());
      break;
    case FN_DBDeleteTable:
      if (a.Has(0)) {
        result.SetAsFlag(db_.DeleteTable(a.Str(0)));
      } else {
        result.SetAsFlag(active != nullptr && db_.DeleteTable(active->Name));
      }
      break;
    case FN_DBClearTable:
      db_.Clear();
      break;
    case FN_DBClearRecord: {
      TDBTable* t = NamedOrActive(db_, a, 0);
      if (t != nullptr) t->ClearRecords();
      result.SetAsFlag(t != nullptr);
      break;
    }
    case FN_DBRecordCount: {
      const TDBTable* t = NamedOrActive(db_, a, 0);
      result.SetAsInt(t != nullptr ? t->GetRecordCount() : -1);
      break;
    }
    case FN_DBAddField: {
      if (active == nullptr) break;
      const int32_t type = a.Int(1);
      // A type outside the byte range must not wrap into a valid one.
      const bool valid = type >= PT_INT && type <= PT_STR;
      result.SetAsFlag(valid && active->Fields.AddField(a.Str(0), static_cast<uint8_t>(type),
                                                        a.Has(2) ? a.Int(2) : 0) >= 0);
      break;
    }
    case FN_DBLoadTsvFile: {
      if (active == nullptr || files_ == nullptr) break;
      TGameText text;
      if (text.Load(*files_, a.Str(0))) {
        result.SetAsFlag(active->LoadFromTsv(text.Lines()));
      } else if (text.Refused()) {
        // A file too large to read is refused as the import refuses a table
        // too large: the table is left empty, not holding what it held.
        active->Clear();
      }
      break;
    }

    case FN_DBInsert: {
      const int32_t rec_no = active != nullptr ? active->GetRecNo() : -1;
      if (active == nullptr || !active->Append()) break;
      const int32_t row = active->GetRecNo();
      // Inside the new row a setter fails only past the tables' budget:
      // the row then goes again and the insert fails.
      bool set = true;
      for (size_t i = 0; i < a.Count() && i < static_cast<size_t>(active->Fields.Count()) && set; ++i) {
        const TCustomParam& v = a.At(i);
        const int32_t c = static_cast<int32_t>(i);
        switch (v.GetParamType()) {
          case PT_INT: set = active->SetInt(row, c, v.GetAsInt()); break;
          case PT_FLOAT: set = active->SetFloat(row, c, v.GetAsFloat()); break;
          case PT_BOOL: set = active->SetBool(row, c, v.GetAsFlag()); break;
          case PT_STR: set = active->SetStr(row, c, v.GetAsStr()); break;
          default: break;  // a value without a type is left out
        }
      }
      if (!set) active->DropRowsFrom(row, rec_no);
      result.SetAsFlag(set);
      break;
    }
    case FN_DBDelete:
      if (has_row) result.SetAsFlag(active->Delete());
      break;
    case FN_DBSetRecNo:
      if (active != nullptr) result.SetAsFlag(active->SetRecNo(a.Int(0)));
      break;
    case FN_DBGetRecNo:
      result.SetAsInt(active != nullptr ? active->GetRecNo() : -1);
      break;
    case FN_DBFindFirst:
      if (active != nullptr) result.SetAsFlag(active->First());
      break;
    case FN_DBFindLast:
      if (active != nullptr) result.SetAsFlag(active->Last());
      break;
    case FN_DBFindNext:
      if (active != nullptr) result.SetAsFlag(active->Next());
      break;
    case FN_DBFindPrior:
      if (active != nullptr) result.SetAsFlag(active->Prior());
      break;
    case FN_DBLocate: {
      if (active == nullptr) break;
      const TIntList rows = SelectRows(*active, a, 0);
      if (rows.Count() > 0) result.SetAsFlag(active->SetRecNo(rows.Get(0)));
      break;
    }
    case FN_DBSort:
      if (active == nullptr) break;
      active->Sort(a.At(0), a.At(1));
      result.SetAsFlag(true);
      break;

    case FN_DBGetInt: {
      int32_t v = 0;
      if (active != nullptr && active->GetIntByName(a.Str(0), v)) result.SetAsInt(v);
      break;
    }
    case FN_DBGetFloat: {
      long double v = 0;
      if (active != nullptr && active->GetFloatByName(a.Str(0), v)) result.SetAsFloat(v);
      break;
    }
    case FN_DBGetBool: {
      bool v = false;
      if (active != nullptr && active->GetBoolByName(a.Str(0), v)) result.SetAsFlag(v);
      break;
    }
    case FN_DBGetStr: {
      std::string v;
      if (active != nullptr && active->GetStrByName(a.Str(0), v)) result.SetAsStr(v);
      break;
    }
    case FN_DBSetInt:
      if (has_row) result.SetAsFlag(active->SetIntByName(a.Str(0), a.Int(1)));
      break;
    case FN_DBSetFloat:
      if (has_row) result.SetAsFlag(active->SetFloatByName(a.Str(0), a.Float(1)));
      break;
    case FN_DBSetBool:
      if (has_row) result.SetAsFlag(active->SetBoolByName(a.Str(0), a.Flag(1)));
      break;
    case FN_DBSetStr:
      if (has_row) result.SetAsFlag(active->SetStrByName(a.Str(0), a.Str(1)));
      break;

    case FN_DBDirectGetInt:
      result.SetAsInt(direct([&](auto... p) { return db_.DirectGetInt(p..., a.Int(6)); }));
      break;
    case FN_DBDirectSetInt:
      result.SetAsFlag(direct([&](auto... p) { return db_.DirectSetInt(p..., a.Int(6)); }));
      break;
    case FN_DBDirectGetFloat:
      result.SetAsFloat(direct([&](auto... p) { return db_.DirectGetFloat(p..., a.Float(6)); }));
      break;
    case FN_DBDirectSetFloat:
      result.SetAsFlag(direct([&](auto... p) { return db_.DirectSetFloat(p..., a.Float(6)); }));
      break;
    case FN_DBDirectGetBool:
      result.SetAsFlag(direct([&](auto... p) { return db_.DirectGetBool(p..., a.Flag(6)); }));
      break;
    case FN_DBDirectSetBool:
      result.SetAsFlag(direct([&](auto... p) { return db_.DirectSetBool(p..., a.Flag(6)); }));
      break;
    case FN_DBDirectGetStr:
      result.SetAsStr(direct([&](auto... p) { return db_.DirectGetStr(p..., a.Str(6)); }));
      break;
    case FN_DBDirectSetStr:
      result.SetAsFlag(direct([&](auto... p) { return db_.DirectSetStr(p..., a.Str(6)); }));
      break;

    case FN_DBCopy: {
      if (!has_row) break;
      TDBTable* target = db_.GetTable(db_.IndexOfTable(a.Str(0)));
      if (target == nullptr || !target->Fields.SameFields(active->Fields)) break;
      result.SetAsFlag(target->AppendCopy(active->GetCurrentRecord()));
      break;
    }
    case FN_DBCopyTable:
      if (active != nullptr) result.SetAsFlag(db_.CopyTable(a.Str(0), SelectRows(*active, a, 1)));
      break;
    case FN_DBInsertTable: {
      if (active == nullptr) break;
      TDBTable* source = db_.GetTable(db_.IndexOfTable(a.Str(0)));
      if (source != nullptr) result.SetAsFlag(db_.InsertTable(a.Str(0), SelectRows(*source, a, 1)));
      break;
    }
    default:
      break;
  }
}

}  // namespace orba
