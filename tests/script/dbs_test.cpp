// Table store: the stream form against hand-worked bytes and the independent
// Python writer and reader, tab-separated import against Python's csv reader,
// cell conversions, search, sort and the manager's table operations.
#include "script/functions/dbs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <tuple>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "script/functions/sys_func_file.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"
#include "support/test_support.h"

namespace orba {
namespace {

std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  std::string out;
  for (unsigned char c : bytes) (out += "0123456789abcdef"[c >> 4]) += "0123456789abcdef"[c & 15];
  return out;
}

// The fixture's canonical description of the tables of one category, the
// cells as the text GetStr gives.
std::vector<std::string> Describe(TDBManager& db, int category, bool with_active) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < db.Count(); ++i) {
    TDBTable& t = *db.GetTable(i);
    if (t.Category != category) continue;
    std::ostringstream head;
    head << "table " << Hex(t.Name) << " category " << int(t.Category) << " columns " << t.Fields.Count()
         << " rows " << t.GetRecordCount() << " recno " << t.GetRecNo();
    lines.push_back(head.str());
    for (int32_t c = 0; c < t.Fields.Count(); ++c) {
      const TDBField& f = t.Fields.Get(c);
      lines.push_back("field " + Hex(f.Name) + " " + std::to_string(f.Type) + " " + std::to_string(f.Size));
    }
    for (int32_t r = 0; r < t.GetRecordCount(); ++r) {
      std::string line = "row";
      for (int32_t c = 0; c < t.Fields.Count(); ++c) {
        std::string s;
        EXPECT_TRUE(t.GetStr(r, c, s));
        line += " " + Hex(s);
      }
      lines.push_back(line);
    }
  }
  if (with_active) {
    const TDBTable* active = db.GetActiveTable();
    lines.push_back("active " + Hex(active != nullptr ? active->Name : std::string()));
  }
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Array values; one element makes a scalar.
template <class P, class V>
std::unique_ptr<P> MakeArray(std::vector<V> items) {
  auto p = std::make_unique<P>();
  p->Elements.assign(items.begin(), items.end());
  if (p->Elements.size() != 1) p->Dims = {static_cast<int32_t>(p->Elements.size())};
  return p;
}
std::unique_ptr<TParamStr> StrArray(std::vector<std::string> items) { return MakeArray<TParamStr>(items); }
std::unique_ptr<TParamFlag> FlagArray(std::vector<uint8_t> items) { return MakeArray<TParamFlag>(items); }
template <class P, class V>
std::unique_ptr<P> Scalar(V v) {
  return MakeArray<P>(std::vector<V>{v});
}

std::vector<int32_t> ToVector(const TIntList& l) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Get(i));
  return v;
}

// Adds a table of one text column holding one row, and makes it active.
void AddTextTable(TDBManager& db, const char* name, uint8_t category, const char* field, int32_t width,
                  const char* value) {
  db.AddTable(name, category);
  db.GetActiveTable()->Fields.AddField(field, PT_STR, width);
  db.GetActiveTable()->Append();
  db.GetActiveTable()->SetStr(0, 0, value);
}

// One table "T" with column "A" (integer) holding one row 5, active.
void BuildGolden(TDBManager& db) {
  ASSERT_EQ(db.AddTable("T", kDBGameCategory), 0);
  TDBTable& t = *db.GetActiveTable();
  ASSERT_EQ(t.Fields.AddField("A", PT_INT, 0), 0);
  ASSERT_TRUE(t.Append());
  ASSERT_TRUE(t.SetInt(0, 0, 5));
}

// An empty store writes version and count only (and the empty active name
// in a game stream), as save.dat held before the store existed. A game
// stream's active name may name a status table.
TEST(DBStream, EmptyStoreAndActiveStatusTable) {
  for (uint8_t category : {kDBGameCategory, kDBStatusCategory}) {
    TDBManager empty;
    TDBTablesSection ours(empty, category);
    TEmptyTables plain(category);
    TKsMemoryStream a, b;
    ours.SaveToStream(a);
    plain.SaveToStream(b);
    EXPECT_EQ(test::ToHex(a.Bytes()), category == 0 ? "64 00 00 00 00 00 00 00 00 00 00 00" : "64 00 00 00 00 00 00 00");
    EXPECT_EQ(a.Bytes(), b.Bytes());
  }
  TDBManager db;
  BuildGolden(db);
  AddTextTable(db, "S1", kDBStatusCategory, "f", 3, "abc");
  TKsMemoryStream game;
  db.SaveToStream(game, kDBGameCategory);
  TDBManager other;
  AddTextTable(other, "S1", kDBStatusCategory, "g", 1, "");
  AddTextTable(other, "S2", kDBStatusCategory, "g", 1, "");
  game.SetPosition(0);
  other.LoadFromStream(game, kDBGameCategory);
  EXPECT_EQ(other.GetActiveTable(), other.GetTable(other.IndexOfTable("S1")));
}

// Rows held by what their cells use still store as full records: a text
// column "s" of width 3 (4 bytes), an integer "i" and a float "f" (10
// bytes), rows ("ab", 258, 0) and ("", 0, 0), store each row's cells at
// their offsets with zeros between, and read back cell for cell.
TEST(DBStream, CompactRowsStoreAsFullRecords) {
  TDBTable t;
  t.Name = "R";
  ASSERT_EQ(t.Fields.AddField("s", PT_STR, 3), 0);
  ASSERT_EQ(t.Fields.AddField("i", PT_INT, 0), 1);
  ASSERT_EQ(t.Fields.AddField("f", PT_FLOAT, 0), 2);
  ASSERT_TRUE(t.Append());
  ASSERT_TRUE(t.SetStr(0, 0, "abcd"));  // cut to the width: "abc"
  ASSERT_TRUE(t.SetStr(0, 0, "ab"));    // the old third byte goes
  ASSERT_TRUE(t.SetInt(0, 1, 258));
  ASSERT_TRUE(t.Append());
  TKsMemoryStream stored;
  t.SaveToStream(stored);
  const std::string hex = test::ToHex(stored.Bytes());
  // Row count 2, then 18-byte records: "ab" 00 00 | 02 01 00 00 | ten zeros.
  const std::string records =
      "02 00 00 00 "
      "61 62 00 00 02 01 00 00 00 00 00 00 00 00 00 00 00 00 "
      "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
      "01 00 00 00";
  ASSERT_GE(hex.size(), records.size());
  EXPECT_EQ(hex.substr(hex.size() - records.size()), records);
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(t.GetRecord(0), t.GetRecord(0) + 18)), records.substr(12, 53));
  stored.SetPosition(0);
  TDBTable back;
  back.LoadFromStream(stored, 0);
  std::string text;
  int32_t number = 0;
  ASSERT_EQ(back.GetRecordCount(), 2);
  EXPECT_TRUE(back.GetStr(0, 0, text) && back.GetInt(0, 1, number));
  EXPECT_EQ(text + "/" + std::to_string(number), "ab/258");
  EXPECT_TRUE(back.GetStr(1, 0, text));
  EXPECT_EQ(text, "");
  TKsMemoryStream again;
  back.SaveToStream(again);
  EXPECT_EQ(again.Bytes(), stored.Bytes());
}

// Cells longer than 127 bytes (lengths of two and three bytes in a row's
// form) keep their neighbours: each set and read back in any order.
TEST(DBStream, LongCellsKeepTheirNeighbours) {
  TDBTable t;
  for (const char* name : {"a", "b", "c"}) ASSERT_GE(t.Fields.AddField(name, PT_STR, 20000), 0);
  ASSERT_TRUE(t.Append());
  const std::string a(300, 'a'), b(20000, 'b'), c(1, 'c');
  ASSERT_TRUE(t.SetStr(0, 2, c));
  ASSERT_TRUE(t.SetStr(0, 0, a));
  ASSERT_TRUE(t.SetStr(0, 1, b));
  ASSERT_TRUE(t.SetStr(0, 0, a + "x"));
  std::string got[3];
  for (int32_t col = 0; col < 3; ++col) ASSERT_TRUE(t.GetStr(0, col, got[col]));
  EXPECT_EQ(got[0], a + "x");
  EXPECT_EQ(got[1], b);
  EXPECT_EQ(got[2], c);
  ASSERT_TRUE(t.SetStr(0, 1, ""));
  ASSERT_TRUE(t.SetStr(0, 2, ""));  // the row ends after its first cell again
  ASSERT_TRUE(t.GetStr(0, 1, got[1]) && t.GetStr(0, 2, got[2]) && t.GetStr(0, 0, got[0]));
  EXPECT_EQ(got[0] + "|" + got[1] + "|" + got[2], a + "x||");
}

// The Python writer's streams (and its verdicts) and a tab-separated file
// with the cells Python's csv reader finds in it.
class DBFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* command : {"make", "tsv"}) {
      ASSERT_EQ(test::RunPython("fixtures/dbs_fixture.py", {command, dir_.path()}).exit_code, 0) << command;
    }
  }
  test::TempDir dir_;
};

TEST_F(DBFixture, PythonStreamsReadAsDescribed) {
  const auto lines = ReadLines(dir_ / "cases.txt");
  int checked = 0, errors = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::istringstream head(lines[i]);
    std::string word, name, verdict;
    int category = 0;
    head >> word >> name >> category >> verdict;
    ASSERT_EQ(word, "case") << lines[i];
    SCOPED_TRACE(name);
    const auto bytes = test::ReadFileBytes(dir_ / (name + ".dbs"));
    // A store with a table of each category, to see that a failed load
    // changes nothing and a good one keeps the other category.
    TDBManager db;
    BuildGolden(db);
    db.AddTable("Keep", kDBStatusCategory);
    db.SelectTable("T");
    const auto before0 = Describe(db, 0, true);
    const auto before0_tables = Describe(db, 0, false);
    const auto before1 = Describe(db, 1, false);
    TKsMemoryStream in(bytes);
    if (verdict == "error") {
      EXPECT_THROW(db.LoadFromStream(in, static_cast<uint8_t>(category)), EReadError);
      EXPECT_EQ(Describe(db, 0, true), before0);
      EXPECT_EQ(Describe(db, 1, false), before1);
      ++errors;
      continue;
    }
    std::vector<std::string> expected;
    while (lines[++i] != "end") expected.push_back(lines[i]);
    db.LoadFromStream(in, static_cast<uint8_t>(category));
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Describe(db, category, category == 0), expected);
    EXPECT_EQ(Describe(db, 1 - category, false), category == 0 ? before1 : before0_tables);
    // A status stream names no active table: the last one loaded is.
    if (category == 1) {
      EXPECT_EQ(db.GetActiveTable(), db.GetTable(db.Count() - 1));
    }
    // Our writer gives the same stream back, except for text cells whose
    // unused bytes the fixture also writes as zeros.
    TKsMemoryStream out;
    db.SaveToStream(out, static_cast<uint8_t>(category));
    if (name != "negrecno" && name != "oldversion") {
      EXPECT_EQ(test::ToHex(out.Bytes()), test::ToHex(bytes));
    }
    ++checked;
  }
  EXPECT_EQ(checked, 7);
  EXPECT_EQ(errors, 9);
}

TEST_F(DBFixture, TsvCellsMatchPythonCsv) {
  const auto bytes = test::ReadFileBytes(dir_ / "table.tsv");
  const std::string text(bytes.begin(), bytes.end());
  const auto lines = SplitTextLineViews(text);
  TDBManager db;
  db.AddTable("X", kDBGameCategory);
  TDBTable& t = *db.GetActiveTable();
  ASSERT_TRUE(t.LoadFromTsv(lines));
  t.Name.clear();
  EXPECT_EQ(Describe(db, 0, false), ReadLines(dir_ / "table_expected.txt"));
}

TEST(DBTsv, HeaderForms) {
  TDBTable t;
  // id int, name, score float: integer, text of width 80, float.
  ASSERT_TRUE(t.LoadFromTsv({"id int\tname\tscore float", "1\tx\t2.5"}));
  ASSERT_EQ(t.Fields.Count(), 3);
  EXPECT_EQ(std::make_tuple(t.Fields.Get(0).Type, t.Fields.Get(1).Type, t.Fields.Get(1).Size, t.Fields.Get(2).Type,
                            t.GetRecordCount()),
            std::make_tuple(PT_INT, PT_STR, 81, PT_FLOAT, 1));
  // No lines, an empty name or a negative width end the import with nothing.
  for (const std::vector<std::string_view>& lines : std::vector<std::vector<std::string_view>>{
           {}, {"a int\t\tb", "1\t2\t3"}, {"a int\tb str -3", "1\t2"}, {"a\t c", "1\t2"}}) {
    EXPECT_FALSE(t.LoadFromTsv(lines));
    EXPECT_EQ(std::make_tuple(t.Fields.Count(), t.GetRecordCount()), std::make_tuple(0, 0));
  }
  // A huge width is capped.
  ASSERT_TRUE(t.LoadFromTsv({"a str 2147483647"}));
  EXPECT_EQ(t.Fields.Get(0).Size, kMaxDBFieldWidth + 1);
}

// ---------------------------------------------------------------------------
// Cells

struct CellCase {
  uint8_t type;
  int32_t width;
  const char* op;  // what is stored
  const char* stored;
  const char* str;  // GetStr afterwards
  int32_t as_int;
  long double as_float;
  bool as_bool;
};

void PrintTo(const CellCase& c, std::ostream* os) {
  *os << "type " << int(c.type) << " " << c.op << " " << Hex(c.stored);
}

class DBCells : public ::testing::TestWithParam<CellCase> {};

int32_t TextToIntOrZeroForTest(const char* s) { return static_cast<int32_t>(std::strtol(s, nullptr, 10)); }

TEST_P(DBCells, StoreThenReadEveryWay) {
  const CellCase& c = GetParam();
  TDBTable t;
  t.Fields.AddField("c", c.type, c.width);
  t.Append();
  const std::string op = c.op;
  bool stored = false;
  if (op == "int") stored = t.SetInt(0, 0, TextToIntOrZeroForTest(c.stored));
  if (op == "float") stored = t.SetFloat(0, 0, std::strtold(c.stored, nullptr));
  if (op == "bool") stored = t.SetBool(0, 0, std::string(c.stored) == "1");
  if (op == "str") stored = t.SetStr(0, 0, c.stored);
  EXPECT_TRUE(stored);
  std::string s;
  int32_t i = -99;
  long double f = -99;
  bool b = !c.as_bool;
  EXPECT_TRUE(t.GetStr(0, 0, s) && t.GetInt(0, 0, i) && t.GetFloat(0, 0, f) && t.GetBool(0, 0, b));
  EXPECT_EQ(std::make_tuple(s, i, f, b), std::make_tuple(std::string(c.str), c.as_int, c.as_float, c.as_bool));
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, DBCells,
    ::testing::Values(
        CellCase{PT_INT, 0, "str", "12abc", "0", 0, 0, false},       // text that is no number stores 0
        CellCase{PT_FLOAT, 0, "str", "12abc", "0", 0, 0, false},
        CellCase{PT_STR, 3, "bool", "1", "TRU", 0, 0, false},        // "TRUE" cut to the width
        CellCase{PT_STR, 10, "bool", "1", "TRUE", 0, 0, true},
        CellCase{PT_INT, 0, "float", "2.5", "2", 2, 2, true},        // halves to even
        CellCase{PT_INT, 0, "float", "3.5", "4", 4, 4, true},
        CellCase{PT_INT, 0, "float", "-2.5", "-2", -2, -2, true},
        CellCase{PT_INT, 0, "float", "1e30", "0", 0, 0, false},      // beyond any integer
        CellCase{PT_FLOAT, 0, "str", "3.5", "3.5", 4, 3.5L, true},   // read as integer: rounded
        CellCase{PT_FLOAT, 0, "int", "-7", "-7", -7, -7, true},
        CellCase{PT_BOOL, 0, "int", "-7", "TRUE", 1, 1, true},
        CellCase{PT_BOOL, 0, "bool", "1", "TRUE", 1, 1, true},
        CellCase{PT_BOOL, 0, "str", "true", "FALSE", 0, 0, false},   // only "TRUE" is true
        CellCase{PT_STR, 8, "float", "0.5", "0.5", 0, 0.5L, false},
        CellCase{PT_STR, 8, "int", "123", "123", 123, 123, false},
        CellCase{PT_STR, 3, "int", "-12345", "-12", -12, -12, false},
        CellCase{PT_STR, 0, "str", "abc", "", 0, 0, false},          // width 0 holds only ""
        CellCase{PT_STR, 20, "str", " 0x1F", " 0x1F", 31, 0, false},
        // A cut never splits a double-byte character: "あい" in width 3.
        CellCase{PT_STR, 3, "str", "\x82\xa0\x82\xa2", "\x82\xa0", 0, 0, false},
        CellCase{PT_STR, 4, "str", "a\x82\xa0\x82\xa2", "a\x82\xa0", 0, 0, false}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.op); });

TEST(DBCells, OutOfRangeAccessChangesNothing) {
  TDBTable t;
  t.Fields.AddField("a", PT_INT, 0);
  t.Append();
  t.SetInt(0, 0, 7);
  int32_t v = 42;
  std::string s = "keep";
  for (bool ok : {t.GetInt(1, 0, v), t.GetInt(-1, 0, v), t.GetStr(0, 1, s), t.SetInt(0, -1, 1), t.SetStr(1, 0, "1")}) {
    EXPECT_FALSE(ok);
  }
  EXPECT_EQ(std::make_tuple(v, s), std::make_tuple(42, std::string("keep")));
  // By name: no current row, or no such column.
  t.SetRecNo(-1);
  EXPECT_FALSE(t.GetIntByName("a", v));
  t.SetRecNo(0);
  EXPECT_FALSE(t.SetIntByName("b", 1));
  EXPECT_TRUE(t.GetIntByName("A", v));
  EXPECT_EQ(v, 7);
}

TEST(DBCells, ColumnsAddedToFilledTableAndRefused) {
  TDBTable t;
  t.Fields.AddField("a", PT_INT, 0);
  t.Append();
  t.SetInt(0, 0, 9);
  t.Append();
  EXPECT_EQ(t.Fields.AddField("s", PT_STR, 4), 1);
  EXPECT_EQ(t.Fields.AddField("b", PT_BOOL, 0), 2);
  EXPECT_EQ(t.Fields.RecordSize(), 4 + 5 + 1);
  std::string s = "x";
  bool b = true;
  int32_t a = 0;
  EXPECT_TRUE(t.GetStr(0, 1, s) && t.GetBool(1, 2, b) && t.GetInt(0, 0, a));
  EXPECT_EQ(std::make_tuple(s, b, a), std::make_tuple(std::string(), false, 9));
  for (auto [type, width] : {std::pair{uint8_t{5}, 0}, {uint8_t{0}, 0}, {PT_STR, -1}}) {
    EXPECT_EQ(t.Fields.AddField("x", type, width), -1);
  }
  EXPECT_EQ(t.Fields.Count(), 3);
  EXPECT_EQ(t.Fields.AddField("big", PT_STR, std::numeric_limits<int32_t>::max()), 3);
  EXPECT_EQ(t.Fields.Get(3).Size, kMaxDBFieldWidth + 1);
  EXPECT_EQ(t.Fields.GetFieldOffset(3), 10);
}

// ---------------------------------------------------------------------------
// Cursor, search and sort

TEST(DBRows, CursorMoves) {
  TDBTable t;
  EXPECT_FALSE(t.First());
  EXPECT_FALSE(t.Last());
  EXPECT_FALSE(t.Delete());
  t.Fields.AddField("v", PT_INT, 0);
  for (int i = 0; i < 3; ++i) {
    t.Append();
    t.SetInt(i, 0, i * 10);
  }
  // Each step: what the move answered and the row number afterwards.
  using R = std::vector<std::pair<bool, int32_t>>;
  auto step = [&](bool answer) { return std::pair{answer, t.GetRecNo()}; };
  EXPECT_EQ(t.GetRecNo(), 2);
  EXPECT_EQ((R{step(t.Next()), step(t.SetRecNo(-5)), step(t.Next()), step(t.Prior()), step(t.SetRecNo(3)),
               step(t.First()), step(t.Prior())}),
            (R{{false, 2}, {true, -1}, {false, -1}, {false, -1}, {false, -1}, {true, 0}, {false, 0}}));
  // Deleting keeps the index (now the following row)...
  EXPECT_TRUE(t.Delete());
  int32_t v = 0;
  EXPECT_EQ(t.GetRecNo(), 0);
  t.GetIntByName("v", v);
  EXPECT_EQ(v, 10);
  // ...or moves to the new last row, and to none when the table is empty.
  EXPECT_TRUE(t.Last());
  EXPECT_EQ((R{step(t.Delete()), step(t.Delete()), step(t.Delete())}), (R{{true, 0}, {true, -1}, {false, -1}}));
  EXPECT_EQ(t.GetRecordCount(), 0);
}

class DBSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    t.Fields.AddField("n", PT_INT, 0);
    t.Fields.AddField("s", PT_STR, 10);
    t.Fields.AddField("f", PT_FLOAT, 0);
    const struct {
      int32_t n;
      const char* s;
      long double f;
    } rows[] = {{2, "ab", 1.5L}, {10, "AB", std::nanl("")}, {2, "", -1}, {1, "b", 1.5L}, {10, "a", 0}};
    for (const auto& r : rows) {
      t.Append();
      t.SetInt(t.GetRecNo(), 0, r.n);
      t.SetStr(t.GetRecNo(), 1, r.s);
      t.SetFloat(t.GetRecNo(), 2, r.f);
    }
  }
  std::vector<int32_t> Find(std::vector<std::string> keys, const TCustomParam& values, bool partial,
                            bool ignore_case) {
    TIntList result;
    const auto k = StrArray(std::move(keys));
    t.Select(result, k.get(), partial, ignore_case, &values);
    return ToVector(result);
  }
  std::vector<int32_t> Column(int32_t c) {
    std::vector<int32_t> v;
    for (int32_t r = 0; r < t.GetRecordCount(); ++r) {
      int32_t x = 0;
      t.GetInt(r, c, x);
      v.push_back(x);
    }
    return v;
  }
  TDBTable t;
};

TEST_F(DBSearch, SelectByValueType) {
  using V = std::vector<int32_t>;
  EXPECT_EQ(Find({"n"}, *Scalar<TParamInt>(2), false, false), (V{0, 2}));
  // A float value compares GetFloat of the integer cell.
  EXPECT_EQ(Find({"N"}, *Scalar<TParamFloat>(2.0L), false, false), (V{0, 2}));
  EXPECT_EQ(Find({"f"}, *Scalar<TParamFloat>(1.5L), false, false), (V{0, 3}));
  EXPECT_EQ(Find({"s"}, *Scalar<TParamStr>(std::string("ab")), false, false), (V{0}));
  EXPECT_EQ(Find({"s"}, *Scalar<TParamStr>(std::string("ab")), false, true), (V{0, 1}));
  // Partial: the cell text occurs within the value; an empty cell never.
  EXPECT_EQ(Find({"s"}, *Scalar<TParamStr>(std::string("xaby")), true, false), (V{0, 3, 4}));
  EXPECT_EQ(Find({"s"}, *Scalar<TParamStr>(std::string("a")), true, false), (V{4}));
  EXPECT_EQ(Find({"s"}, *Scalar<TParamStr>(std::string("xAbY")), true, true), (V{0, 1, 3, 4}));
  // Two keys; an unknown key name finds nothing.
  const auto two = StrArray({"10", "a"});
  EXPECT_EQ(Find({"n", "s"}, *two, false, false), (V{4}));
  EXPECT_EQ(Find({"n", "zz"}, *two, false, false), (V{}));
  // Missing arrays select every row; no keys at all too.
  TIntList all;
  t.Select(all, nullptr, false, false, nullptr);
  EXPECT_EQ(ToVector(all), (V{0, 1, 2, 3, 4}));
  EXPECT_EQ(Find({}, *Scalar<TParamInt>(1), false, false), (V{0, 1, 2, 3, 4}));
}

TEST_F(DBSearch, SortIsStableWithNaNLast) {
  t.SetRecNo(1);
  t.Sort(*StrArray({"n"}), *FlagArray({1}));
  EXPECT_EQ(Column(0), (std::vector<int32_t>{10, 10, 2, 2, 1}));
  std::string s;
  t.GetStr(0, 1, s);  // equal keys keep their order: "AB" before "a"
  EXPECT_EQ(s, "AB");
  EXPECT_EQ(t.GetRecNo(), 1);  // the number is kept, whatever row is there

  auto texts = [&](int32_t c) {
    std::vector<std::string> v(5);
    for (int32_t r = 0; r < 5; ++r) t.GetStr(r, c, v[static_cast<size_t>(r)]);
    return v;
  };
  t.Sort(*StrArray({"s"}), *FlagArray({1}));
  EXPECT_EQ(texts(1), (std::vector<std::string>{"b", "ab", "a", "AB", ""}));
  t.Sort(*StrArray({"f", "n"}), *FlagArray({0, 1}));
  EXPECT_EQ(texts(2), (std::vector<std::string>{"-1", "0", "1.5", "1.5", "NAN"}));
  EXPECT_EQ(Column(0), (std::vector<int32_t>{2, 10, 2, 1, 10}));
  // Unknown key names are skipped; the shorter array bounds the keys.
  t.Sort(*StrArray({"zz", "n", "s"}), *FlagArray({1, 0}));
  EXPECT_EQ(Column(0), (std::vector<int32_t>{1, 2, 2, 10, 10}));
}

// ---------------------------------------------------------------------------
// Manager

class DBManagerRows : public ::testing::Test {
 protected:
  void SetUp() override {
    db.AddTable("Src", 0);
    TDBTable& t = *db.GetActiveTable();
    t.Fields.AddField("k", PT_STR, 8);
    t.Fields.AddField("v", PT_INT, 0);
    for (const char* k : {"apple", "Banana", "cherry"}) {
      t.Append();
      t.SetStrByName("k", k);
      t.SetIntByName("v", static_cast<int32_t>(std::string(k).size()));
    }
    AddTextTable(db, "Dst", 1, "other", 0, "");  // the columns differ from Src's
    db.SelectTable("Src");
  }
  using V = std::vector<int32_t>;
  static TIntList Rows(V v) {
    TIntList l;
    for (int32_t x : v) l.Add(x);
    return l;
  }
  TDBManager db;
};

}  // namespace
}  // namespace orba
