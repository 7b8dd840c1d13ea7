// The DB functions run from compiled script statements over a table store:
// a whole session with known results, the defaults of missing tables, rows
// and columns, and reading tab-separated files through the file source.
// Each call with an effect is a statement of its own: the order in which one
// expression calls its functions is the compiler's.
#include "script/functions/sys_func_db.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "script/expr_test_env.h"
#include "script/functions/dbs.h"
#include "script/functions/sys_func_file.h"

namespace orba {
namespace {

struct DBEnv : test::TExprEnv {
  DBEnv() { funcs.SetTableService(&service); }
  TDBManager db;
  test::TMemoryGameFiles files;
  TDBFuncService service{db, &files};
};

TEST(DBFunctions, ScriptSession) {
  DBEnv env;
  env.Expect({{"DBCreateTable(\"Items\", FALSE)", "TRUE"}, {"DBCreateTable(\"items\", TRUE)", "FALSE"},
              {"DBAddField(\"id\", 1)", "TRUE"}, {"DBAddField(\"name\", 4, 8)", "TRUE"},
              {"DBAddField(\"price\", 2)", "TRUE"}, {"DBAddField(\"bad\", 257)", "FALSE"},
              {"DBInsert(3, \"Apple\", 1.5)", "TRUE"}, {"DBInsert(1, \"banana\", 0.25)", "TRUE"},
              {"DBInsert(2, \"Cherry pie\", 3, \"ignored\")", "TRUE"}, {"DBRecordCount()", "3"}});
  EXPECT_EQ(env.db.GetActiveTable()->Fields.Count(), 3);
  // Locate: IgnoreCase, then Partial (the cell within the value); a failed
  // search keeps the cursor.
  env.Expect({{"keys = \"name\"", "<nil>"}, {"DBLocate(keys, \"APPLE\", TRUE)", "TRUE"}, {"DBGetRecNo()", "0"},
              {"DBLocate(keys, \"a banana split\", FALSE, TRUE)", "TRUE"}, {"DBGetRecNo()", "1"},
              {"DBLocate(keys, \"zzz\")", "FALSE"}, {"DBGetRecNo()", "1"}, {"DBGetFloat(\"PRICE\")", "0.25"}});
  // Sort descending by id; the cursor keeps its number.
  env.Expect({{"sk = \"id\"", "<nil>"}, {"sd = TRUE", "<nil>"}, {"DBSort(sk, sd)", "TRUE"}, {"DBGetRecNo()", "1"},
              {"DBFindFirst()", "TRUE"}, {"DBGetInt(\"id\") ++ DBGetStr(\"name\")", "3Apple"}, {"DBFindNext()", "TRUE"},
              {"DBFindNext()", "TRUE"}, {"DBFindNext()", "FALSE"}, {"DBGetStr(\"name\")", "banana"},
              {"DBFindPrior()", "TRUE"}, {"DBSetStr(\"name\", \"Blueberry!\")", "TRUE"}, {"DBSetInt(\"id\", 20)", "TRUE"},
              {"DBGetStr(\"name\") ++ DBGetInt(\"id\")", "Blueberr20"}});
  // Copy the rows found into a new table, append rows of another table, and
  // duplicate the current row.
  env.Expect({{"DBCreateTable(\"Copy\", FALSE)", "TRUE"}, {"DBSetActive(\"items\")", "TRUE"},
              {"DBCopyTable(\"Copy\", keys, \"my blueberry pie\", TRUE, TRUE)", "TRUE"}, {"DBSetActive(\"Copy\")", "TRUE"},
              {"DBRecordCount() ++ DBGetRecNo() ++ DBGetStr(\"name\")", "10Blueberr"},
              {"DBInsertTable(\"Items\", sk, 1)", "TRUE"}, {"DBRecordCount() ++ DBGetStr(\"name\")", "2banana"},
              {"DBCopy(\"Copy\")", "TRUE"}, {"DBRecordCount(\"copy\") ++ DBGetRecNo()", "32"},
              {"DBCopy(\"Items\")", "TRUE"}, {"DBDelete()", "TRUE"}, {"DBRecordCount() ++ DBGetRecNo()", "21"}});
  // Copy has Items' columns, so its current row could be copied back.
  EXPECT_EQ(env.db.GetTable(0)->GetRecordCount(), 4);
  // Direct access by key on any table.
  env.Expect({{"DBDirectGetFloat(\"Items\", keys, \"Apple\", FALSE, FALSE, \"price\", 99.5)", "1.5"},
              {"DBDirectSetInt(\"Items\", keys, \"BANANA\", TRUE, FALSE, \"id\", 10)", "TRUE"},
              {"DBDirectGetInt(\"items\", keys, \"banana\", FALSE, FALSE, \"id\", -1)", "10"},
              {"DBDirectGetStr(\"Nope\", keys, \"x\", FALSE, FALSE, \"name\", \"def\")", "def"},
              {"DBDirectGetBool(\"Items\", keys, \"nothing\", FALSE, FALSE, \"id\", TRUE)", "TRUE"},
              {"DBDirectSetStr(\"Items\", keys, \"Apple\", FALSE, FALSE, \"missing\", \"v\")", "FALSE"},
              {"DBDirectSetBool(\"Items\", keys, \"ppl\", FALSE, TRUE, \"price\", TRUE)", "FALSE"},
              {"DBDirectGetStr(\"Items\", keys, \"Apple\", FALSE, FALSE, \"price\", \"\")", "1.5"}});
  // A status table survives a game reset; deleting the active table leaves
  // none active and every function answers its default.
  env.Expect({{"DBCreateTable(\"Status\", TRUE)", "TRUE"}, {"DBAddField(\"v\", 1)", "TRUE"}, {"DBInsert(7)", "TRUE"},
              {"DBSetActive(\"Nope\")", "FALSE"}, {"DBGetActive()", "Status"}});
  env.db.ClearGameTables();
  env.Expect({{"DBGetInt(\"v\")", "7"}, {"DBDeleteTable()", "TRUE"}, {"DBDeleteTable()", "FALSE"},
              {"DBGetInt(\"v\")", "0"}, {"DBGetStr(\"v\")", ""}, {"DBGetBool(\"v\")", "FALSE"}, {"DBGetFloat(\"v\")", "0"},
              {"DBGetRecNo(\"whatever\")", "-1"}, {"DBRecordCount(\"Nope\")", "-1"}, {"DBClearRecord()", "FALSE"},
              {"DBSetInt(\"v\", 1)", "FALSE"}, {"DBInsert(1)", "FALSE"}, {"DBFindFirst()", "FALSE"},
              {"DBGetActive()", ""}});
  EXPECT_EQ(env.db.Count(), 0);
}

TEST(DBFunctions, RowAndTableDefaults) {
  DBEnv env;
  env.Expect({{"DBCreateTable(\"A\", TRUE)", "TRUE"}, {"DBAddField(\"s\", 4)", "TRUE"},
              {"DBGetInt(\"s\")", "0"}, {"DBSetInt(\"s\", 1)", "FALSE"}, {"DBDelete()", "FALSE"},  // no current row
              {"DBInsert(\"too long\")", "TRUE"},  // width 0 keeps only ""
              {"DBGetStr(\"s\") ++ \"|\" ++ DBGetRecNo()", "|0"}, {"DBSetRecNo(5)", "FALSE"}, {"DBGetRecNo()", "0"},
              {"DBSetRecNo(0 - 3)", "TRUE"}, {"DBGetRecNo()", "-1"}, {"DBClearRecord(\"a\")", "TRUE"},
              {"DBRecordCount()", "0"}, {"DBClearTable()", "FALSE"}, {"DBGetActive() ++ DBRecordCount(\"A\")", "-1"}});
}

TEST(DBFunctions, LoadTsvThroughFileSource) {
  DBEnv env;
  // 名前 as a column name; CR LF and LF line ends; an escaped line break.
  env.files.files["data.tsv"] = "id int\t\x96\xbc\x91\x4f str 10\r\n5\tab\\ncd\n\n7\tx\n";
  env.files.files["empty.tsv"] = "";
  env.files.files["bad.tsv"] = "a int\tb str -1\n1\t2\n";
  env.Expect({{"DBLoadTsvFile(\"data.tsv\")", "FALSE"},  // no active table
              {"DBCreateTable(\"T\", FALSE)", "TRUE"}, {"DBLoadTsvFile(\"missing.tsv\")", "FALSE"},
              {"DBLoadTsvFile(\"empty.tsv\")", "FALSE"}, {"DBLoadTsvFile(\"data.tsv\")", "TRUE"},
              {"DBRecordCount() ++ DBGetRecNo()", "21"}, {"DBFindFirst()", "TRUE"}});
  std::string s;
  ASSERT_TRUE(env.db.GetActiveTable()->GetStrByName("\x96\xbc\x91\x4f", s));
  EXPECT_EQ(s, "ab\r\ncd");
  // A bad header leaves the table empty.
  env.Expect({{"DBLoadTsvFile(\"bad.tsv\")", "FALSE"}, {"DBRecordCount()", "0"}});
  // So does a file too large to read, refused before the import; a missing
  // one leaves the table as it was.
  env.files.files["manylines.tsv"] = std::string(kMaxGameTextLines + 1, '\n');
  env.Expect({{"DBLoadTsvFile(\"data.tsv\")", "TRUE"}, {"DBLoadTsvFile(\"missing.tsv\")", "FALSE"},
              {"DBRecordCount()", "2"}, {"DBLoadTsvFile(\"manylines.tsv\")", "FALSE"}, {"DBRecordCount()", "0"}});
  EXPECT_EQ(env.db.GetActiveTable()->Fields.Count(), 0);
}

// An import of more columns than a table takes is refused whole; one at
// the limit is read. Rows hold the bytes their cells use, not the columns'
// declared widths: 100,000 rows of ten default text columns (8.9 MB, 81 MB
// of records) load, and so do 100,000 rows in columns declared a mebibyte
// wide, each holding a few bytes.
TEST(DBFunctions, LoadTsvHoldsWhatTheCellsUse) {
  DBEnv env;
  std::string columns;
  for (int32_t i = 0; i < kMaxDBImportColumns; ++i) columns += "c" + std::to_string(i) + " bool\t";
  env.files.files["columns.tsv"] = columns + "\n1\n";
  env.files.files["toomanycolumns.tsv"] = columns + "x bool\n1\n";
  std::string ten = "c0\tc1\tc2\tc3\tc4\tc5\tc6\tc7\tc8\tc9\n";
  for (int i = 0; i < 100000; ++i) {
    const std::string cell = "r" + std::to_string(1000000 + i);  // 8 bytes
    for (int c = 0; c < 10; ++c) ten += cell + (c < 9 ? "\t" : "\n");
  }
  ASSERT_GT(ten.size(), 8900000u);
  env.files.files["ten.tsv"] = ten;
  std::string wide = "a str 1048576\tb int\tc str 1048576\n";
  for (int i = 0; i < 100000; ++i) wide += "x\t" + std::to_string(i) + "\n";
  env.files.files["wide.tsv"] = wide;
  env.Expect({{"DBCreateTable(\"T\", FALSE)", "TRUE"}, {"DBLoadTsvFile(\"toomanycolumns.tsv\")", "FALSE"},
              {"DBRecordCount()", "0"}, {"DBLoadTsvFile(\"columns.tsv\")", "TRUE"},
              {"DBRecordCount()", "1"}, {"DBLoadTsvFile(\"ten.tsv\")", "TRUE"},
              {"DBRecordCount()", "100000"}, {"DBSetRecNo(99999)", "TRUE"},
              {"DBGetStr(\"c9\")", "r1099999"}});
  TDBTable* t = env.db.GetActiveTable();
  EXPECT_EQ(t->Fields.RecordSize(), 810);
  EXPECT_LT(t->HeldBytes(), int64_t{16} << 20);  // the text and 40 bytes a row
  env.Expect({{"DBLoadTsvFile(\"wide.tsv\")", "TRUE"}, {"DBRecordCount()", "100000"}, {"DBSetRecNo(77)", "TRUE"},
              {"DBGetStr(\"a\") ++ DBGetInt(\"b\") ++ \"|\" ++ DBGetStr(\"c\") ++ \"|\"", "x77||"}});
  EXPECT_LT(t->HeldBytes(), int64_t{8} << 20);
  // Its full records would take 200 GB: the table is not stored.
  TKsMemoryStream stored;
  EXPECT_THROW(t->SaveToStream(stored), EWriteError);
}

}  // namespace
}  // namespace orba
