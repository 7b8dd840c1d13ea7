// The DB functions run from compiled script statements over a table store:
// a whole session with known end values, the defaults of missing tables,
// rows and columns, and reading tab-separated files through the file source.
#include "script/functions/sys_func_db.h"

#include <gtest/gtest.h>

#include <map>

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

// Each call with an effect is a statement of its own: the order in which one
// expression calls its functions is the compiler's.

TEST(DBFunctions, ScriptSession) {
  DBEnv env;
  env.Run({
      "c1 = DBCreateTable(\"Items\", FALSE)",
      "c2 = DBCreateTable(\"items\", TRUE)",
      "f1 = DBAddField(\"id\", 1)",
      "f2 = DBAddField(\"name\", 4, 8)",
      "f3 = DBAddField(\"price\", 2)",
      "f4 = DBAddField(\"bad\", 257)",
      "i1 = DBInsert(3, \"Apple\", 1.5)",
      "i2 = DBInsert(1, \"banana\", 0.25)",
      "i3 = DBInsert(2, \"Cherry pie\", 3, \"ignored\")",
      "n = DBRecordCount()",
  });
  EXPECT_EQ(env.Vars({"c1", "c2", "f1", "f2", "f3", "f4", "i1", "i2", "i3", "n"}),
            "TRUE|FALSE|TRUE|TRUE|TRUE|FALSE|TRUE|TRUE|TRUE|3");
  EXPECT_EQ(env.db.GetActiveTable()->Fields.Count(), 3);

  // Locate: IgnoreCase, then Partial (the cell within the value); a failed
  // search keeps the cursor.
  env.Run({
      "keys = \"name\"",
      "l1 = DBLocate(keys, \"APPLE\", TRUE)",
      "r1 = DBGetRecNo()",
      "l2 = DBLocate(keys, \"a banana split\", FALSE, TRUE)",
      "r2 = DBGetRecNo()",
      "l3 = DBLocate(keys, \"zzz\")",
      "r3 = DBGetRecNo()",
      "p2 = DBGetFloat(\"PRICE\")",
  });
  EXPECT_EQ(env.Vars({"l1", "r1", "l2", "r2", "l3", "r3", "p2"}), "TRUE|0|TRUE|1|FALSE|1|0.25");

  // Sort descending by id; the cursor keeps its number.
  env.Run({
      "sk = \"id\"",
      "sd = TRUE",
      "s = DBSort(sk, sd)",
      "r4 = DBGetRecNo()",
      "ff = DBFindFirst()",
      "top = DBGetInt(\"id\") ++ DBGetStr(\"name\")",
      "nx1 = DBFindNext()",
      "nx2 = DBFindNext()",
      "nx3 = DBFindNext()",
      "last = DBGetStr(\"name\")",
      "pr = DBFindPrior()",
      "u1 = DBSetStr(\"name\", \"Blueberry!\")",
      "u2 = DBSetInt(\"id\", 20)",
      "w = DBGetStr(\"name\") ++ DBGetInt(\"id\")",
  });
  EXPECT_EQ(env.Vars({"s", "r4", "ff", "top", "nx1", "nx2", "nx3", "last", "pr", "u1", "u2", "w"}),
            "TRUE|1|TRUE|3Apple|TRUE|TRUE|FALSE|banana|TRUE|TRUE|TRUE|Blueberr20");

  // Copy the rows found into a new table, append rows of another table, and
  // duplicate the current row.
  env.Run({
      "t1 = DBCreateTable(\"Copy\", FALSE)",
      "a1 = DBSetActive(\"items\")",
      "cp = DBCopyTable(\"Copy\", keys, \"my blueberry pie\", TRUE, TRUE)",
      "a2 = DBSetActive(\"Copy\")",
      "cc = DBRecordCount() ++ DBGetRecNo() ++ DBGetStr(\"name\")",
      "it = DBInsertTable(\"Items\", sk, 1)",
      "ic = DBRecordCount() ++ DBGetStr(\"name\")",
      "dup = DBCopy(\"Copy\")",
      "dc = DBRecordCount(\"copy\") ++ DBGetRecNo()",
      "back = DBCopy(\"Items\")",
      "del = DBDelete()",
      "dr = DBRecordCount() ++ DBGetRecNo()",
  });
  EXPECT_EQ(env.Vars({"cp", "cc", "it", "ic", "dup", "dc", "back", "del", "dr"}),
            "TRUE|10Blueberr|TRUE|2banana|TRUE|32|TRUE|TRUE|21");
  // Copy has Items' columns, so its current row could be copied back.
  EXPECT_EQ(env.db.GetTable(0)->GetRecordCount(), 4);

  // Direct access by key on any table.
  env.Run({
      "dg = DBDirectGetFloat(\"Items\", keys, \"Apple\", FALSE, FALSE, \"price\", 99.5)",
      "ds = DBDirectSetInt(\"Items\", keys, \"BANANA\", TRUE, FALSE, \"id\", 10)",
      "dg2 = DBDirectGetInt(\"items\", keys, \"banana\", FALSE, FALSE, \"id\", -1)",
      "dm = DBDirectGetStr(\"Nope\", keys, \"x\", FALSE, FALSE, \"name\", \"def\")",
      "dn = DBDirectGetBool(\"Items\", keys, \"nothing\", FALSE, FALSE, \"id\", TRUE)",
      "dx = DBDirectSetStr(\"Items\", keys, \"Apple\", FALSE, FALSE, \"missing\", \"v\")",
      "dy = DBDirectSetBool(\"Items\", keys, \"ppl\", FALSE, TRUE, \"price\", TRUE)",
      "dz = DBDirectGetStr(\"Items\", keys, \"Apple\", FALSE, FALSE, \"price\", \"\")",
  });
  EXPECT_EQ(env.Vars({"dg", "ds", "dg2", "dm", "dn", "dx", "dy", "dz"}),
            "1.5|TRUE|10|def|TRUE|FALSE|FALSE|1.5");

  // A status table survives a game reset; deleting the active table leaves
  // none active and every function answers its default.
  env.Run({
      "st = DBCreateTable(\"Status\", TRUE)",
      "sa = DBAddField(\"v\", 1)",
      "sb = DBInsert(7)",
      "a3 = DBSetActive(\"Nope\")",
      "ga = DBGetActive()",
  });
  EXPECT_EQ(env.Vars({"st", "sa", "sb", "a3", "ga"}), "TRUE|TRUE|TRUE|FALSE|Status");
  env.db.ClearGameTables();
  env.Run({
      "g1 = DBGetInt(\"v\")",
      "dd = DBDeleteTable()",
      "dd2 = DBDeleteTable()",
      "g2 = DBGetInt(\"v\")",
      "g3 = DBGetStr(\"v\")",
      "g4 = DBGetBool(\"v\")",
      "g5 = DBGetFloat(\"v\")",
      "rn = DBGetRecNo(\"whatever\")",
      "rc = DBRecordCount(\"Nope\")",
      "cr = DBClearRecord()",
      "sv = DBSetInt(\"v\", 1)",
      "ins = DBInsert(1)",
      "fl = DBFindFirst()",
      "ga2 = DBGetActive()",
  });
  EXPECT_EQ(env.Vars({"g1", "dd", "dd2", "g2", "g3", "g4", "g5", "rn", "rc", "cr", "sv", "ins", "fl", "ga2"}),
            "7|TRUE|FALSE|0||FALSE|0|-1|-1|FALSE|FALSE|FALSE|FALSE|");
  EXPECT_EQ(env.db.Count(), 0);
}

TEST(DBFunctions, RowAndTableDefaults) {
  DBEnv env;
  env.Run({
      "c = DBCreateTable(\"A\", TRUE)",
      "f = DBAddField(\"s\", 4)",
      "g = DBGetInt(\"s\")",                 // no current row
      "s0 = DBSetInt(\"s\", 1)",
      "d0 = DBDelete()",
      "i = DBInsert(\"too long\")",           // width 0 keeps only ""
      "v = DBGetStr(\"s\") ++ \"|\" ++ DBGetRecNo()",
      "r1 = DBSetRecNo(5)",
      "r2 = DBGetRecNo()",
      "r3 = DBSetRecNo(0 - 3)",
      "r4 = DBGetRecNo()",
      "cl = DBClearRecord(\"a\")",
      "cn = DBRecordCount()",
      "x = DBClearTable()",
      "ga = DBGetActive() ++ DBRecordCount(\"A\")",
  });
  EXPECT_EQ(env.Vars({"c", "f", "g", "s0", "d0", "i", "v", "r1", "r2", "r3", "r4", "cl", "cn", "x", "ga"}),
            "TRUE|TRUE|0|FALSE|FALSE|TRUE||0|FALSE|0|TRUE|-1|TRUE|0|FALSE|-1");
}

TEST(DBFunctions, LoadTsvThroughFileSource) {
  DBEnv env;
  // 名前 as a column name; CR LF and LF line ends; an escaped line break.
  env.files.files["data.tsv"] = "id int\t\x96\xbc\x91\x4f str 10\r\n5\tab\\ncd\n\n7\tx\n";
  env.files.files["empty.tsv"] = "";
  env.Run({
      "n0 = DBLoadTsvFile(\"data.tsv\")",  // no active table
      "c = DBCreateTable(\"T\", FALSE)",
      "n1 = DBLoadTsvFile(\"missing.tsv\")",
      "n1b = DBLoadTsvFile(\"empty.tsv\")",
      "n2 = DBLoadTsvFile(\"data.tsv\")",
      "cnt = DBRecordCount() ++ DBGetRecNo()",
      "f = DBFindFirst()",
  });
  EXPECT_EQ(env.Vars({"n0", "n1", "n1b", "n2", "cnt"}), "FALSE|FALSE|FALSE|TRUE|21");
  std::string s;
  ASSERT_TRUE(env.db.GetActiveTable()->GetStrByName("\x96\xbc\x91\x4f", s));
  EXPECT_EQ(s, "ab\r\ncd");
  // A bad header leaves the table empty.
  env.files.files["bad.tsv"] = "a int\tb str -1\n1\t2\n";
  env.Run({"n3 = DBLoadTsvFile(\"bad.tsv\")", "n4 = DBRecordCount()"});
  EXPECT_EQ(env.Vars({"n3", "n4"}), "FALSE|0");
}

}  // namespace
}  // namespace orba
