// What table rows hold in memory: a row costs what its cells hold (a flag
// table a byte a row, a wide table its cells and a pointer), stored tables
// of the costliest shapes take little more memory than their bytes, cells
// rewritten in place or moved keep their neighbours, and every change past
// the tables' budget fails, changes nothing and is traced.
#include "script/functions/db_rows.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "core/streams/stream_encoding.h"
#include "script/functions/dbs.h"
#include "script/values/params.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Wide rows lie in pages of up to a megabyte; the last one, counted whole,
// is filled as rows come.
constexpr double kLastPage = 1 << 20;

struct TColumnSpec {
  const char* Name;
  uint8_t Type;
  int32_t Width;
};

// A table of Columns whose every row holds Cells (as SetStr takes them).
void Fill(TDBTable& t, const std::vector<TColumnSpec>& columns, const std::vector<std::string>& cells, int32_t rows) {
  for (const TColumnSpec& c : columns) ASSERT_GE(t.Fields.AddField(c.Name, c.Type, c.Width), 0);
  for (int32_t r = 0; r < rows; ++r) {
    ASSERT_TRUE(t.Append());
    for (size_t c = 0; c < cells.size(); ++c) ASSERT_TRUE(t.SetStr(r, static_cast<int32_t>(c), cells[c]));
  }
}

struct TCostCase {
  const char* What;
  std::vector<TColumnSpec> Columns;
  std::vector<std::string> Cells;
  double MostPerRow;  // bytes a row may hold, bookkeeping included
};

// Tables filled by a script hold what their cells hold: a flag table about
// a byte a row (it held 56 when every row was its own allocation), a table
// of ten text columns of width 80 holding nine-byte texts about their
// texts, not their 810-byte records.
TEST(DBRowsCost, RowsHoldWhatTheirCellsHold) {
  const std::vector<TCostCase> cases = {
      {"one flag", {{"f", PT_BOOL, 0}}, {"TRUE"}, 1.3},
      {"integer and float", {{"i", PT_INT, 0}, {"x", PT_FLOAT, 0}}, {"7", "2.5"}, 14 * 1.3},
      {"ten texts of width 80",
       {{"c0", PT_STR, 80}, {"c1", PT_STR, 80}, {"c2", PT_STR, 80}, {"c3", PT_STR, 80}, {"c4", PT_STR, 80},
        {"c5", PT_STR, 80}, {"c6", PT_STR, 80}, {"c7", PT_STR, 80}, {"c8", PT_STR, 80}, {"c9", PT_STR, 80}},
       std::vector<std::string>(10, "r1000000"), 10 * 9 + 1 + 10 + 2},
      {"a short text of width 1000 beside an integer", {{"s", PT_STR, 1000}, {"i", PT_INT, 0}}, {"ab", "5"}, 8 + 9 + 2},
  };
  constexpr int32_t kRows = 100000;
  for (const TCostCase& c : cases) {
    SCOPED_TRACE(c.What);
    const int64_t before = DBHeldBytes();
    {
      TDBTable t;
      Fill(t, c.Columns, c.Cells, kRows);
      EXPECT_LE(static_cast<double>(t.HeldBytes()), c.MostPerRow * kRows + kLastPage);
      EXPECT_EQ(DBHeldBytes() - before, t.HeldBytes());
    }
    EXPECT_EQ(DBHeldBytes(), before);  // a freed table gives its bytes back
  }
}

// A stored table: columns (size, name, type) and Rows copies of Record.
std::vector<uint8_t> StoredTable(const std::vector<std::pair<int32_t, uint8_t>>& columns, const std::string& record,
                                 int32_t rows) {
  TKsMemoryStream s;
  WriteStreamString(s, "t");
  WriteStreamByte(s, kDBStatusCategory);
  WriteStreamInt(s, static_cast<int32_t>(columns.size()));
  for (size_t c = 0; c < columns.size(); ++c) {
    WriteStreamInt(s, columns[c].first);
    WriteStreamString(s, "c" + std::to_string(c));
    WriteStreamByte(s, columns[c].second);
  }
  WriteStreamInt(s, rows);
  for (int32_t r = 0; r < rows; ++r) s.WriteBuffer(record.data(), static_cast<int64_t>(record.size()));
  WriteStreamInt(s, -1);
  return s.TakeBytes();
}

// Stored tables of the shapes that cost most in memory for their bytes
// (records just wider than those held whole, every cell full) take at most
// a third more memory than their stored bytes, and store back byte for
// byte.
TEST(DBRowsCost, StoredRowsCostLittleMoreThanTheirBytes) {
  struct TShape {
    const char* What;
    std::vector<std::pair<int32_t, uint8_t>> Columns;
    std::string Record;
  };
  const std::vector<TShape> shapes = {
      {"one full text of width 32", {{33, PT_STR}}, std::string(32, 'x') + '\0'},
      {"33 flags set", std::vector<std::pair<int32_t, uint8_t>>(33, {1, PT_BOOL}), std::string(33, '\1')},
      {"32 flags set", std::vector<std::pair<int32_t, uint8_t>>(32, {1, PT_BOOL}), std::string(32, '\1')},
      {"one flag", {{1, PT_BOOL}}, std::string(1, '\1')},
      {"text of width 200 full, then an integer", {{201, PT_STR}, {4, PT_INT}}, std::string(200, 'y') + '\0' + "\1\2\3\4"},
      {"text bytes after its end", {{40, PT_STR}}, std::string("ab\0cd", 5) + std::string(35, '\0')},
  };
  constexpr int32_t kRows = 50000;
  for (const TShape& shape : shapes) {
    SCOPED_TRACE(shape.What);
    const std::vector<uint8_t> stored = StoredTable(shape.Columns, shape.Record, kRows);
    TKsMemoryStream in(stored);
    TDBTable t;
    t.LoadFromStream(in, 0);
    ASSERT_EQ(t.GetRecordCount(), kRows);
    EXPECT_LE(static_cast<double>(t.HeldBytes()), stored.size() * 1.3 + kLastPage) << t.HeldBytes();
    TKsMemoryStream out;
    t.SaveToStream(out);
    EXPECT_EQ(out.Bytes(), stored);
  }
}

// Cells of wide rows set longer, shorter and back, on every row in turn,
// read back as a plain model of the table says, and the pages the moved
// rows leave behind are laid out again, so that what the table holds stays
// near what its rows hold.
TEST(DBRowsCells, RewrittenOrMovedCellsKeepTheirNeighbours) {
  TDBTable t;
  ASSERT_GE(t.Fields.AddField("a", PT_STR, 300), 0);
  ASSERT_GE(t.Fields.AddField("n", PT_INT, 0), 0);
  ASSERT_GE(t.Fields.AddField("b", PT_STR, 300), 0);
  constexpr int32_t kRows = 2000;
  std::vector<std::vector<std::string>> model(kRows, std::vector<std::string>(3, ""));
  for (int32_t r = 0; r < kRows; ++r) {
    ASSERT_TRUE(t.Append());
    model[r][1] = "0";
  }
  const std::vector<std::string> values = {"", "x", std::string(200, 'l'), "short", std::string(300, 'm'), "7"};
  for (int round = 0; round < 12; ++round) {
    for (int32_t r = 0; r < kRows; ++r) {
      const int32_t column = (r + round) % 3;
      std::string v = values[static_cast<size_t>(r * 7 + round) % values.size()];
      if (column == 1) v = std::to_string(r * round);
      ASSERT_TRUE(t.SetStr(r, column, v));
      model[r][static_cast<size_t>(column)] = v;
    }
  }
  int64_t cells = 0;
  for (int32_t r = 0; r < kRows; ++r) {
    for (int32_t c = 0; c < 3; ++c) {
      std::string got;
      ASSERT_TRUE(t.GetStr(r, c, got));
      ASSERT_EQ(got, model[r][static_cast<size_t>(c)]) << r << " " << c;
      cells += static_cast<int64_t>(got.size()) + 4;
    }
  }
  EXPECT_LT(t.HeldBytes(), 2 * cells + (int64_t{1} << 20));
}

// A column added to a filled table of narrow records widens every row, and
// past the width held whole the rows change their form: the cells stay,
// and the stored form is the one a table made with both columns writes.
TEST(DBRowsCells, ColumnsAddedToAFilledTableKeepItsCells) {
  TDBTable grown, made;
  Fill(grown, {{"i", PT_INT, 0}, {"f", PT_BOOL, 0}}, {"-5", "TRUE"}, 300);
  ASSERT_GE(grown.Fields.AddField("s", PT_STR, 8), 0);  // 14 bytes: still whole records
  ASSERT_GE(grown.Fields.AddField("t", PT_STR, 40), 0);  // 55 bytes: held as cells
  ASSERT_TRUE(grown.SetStr(299, 3, "last"));
  Fill(made, {{"i", PT_INT, 0}, {"f", PT_BOOL, 0}, {"s", PT_STR, 8}, {"t", PT_STR, 40}}, {"-5", "TRUE"}, 300);
  ASSERT_TRUE(made.SetStr(299, 3, "last"));
  ASSERT_TRUE(made.SetRecNo(299));
  TKsMemoryStream a, b;
  grown.SaveToStream(a);
  made.SaveToStream(b);
  EXPECT_EQ(test::ToHex(a.Bytes()), test::ToHex(b.Bytes()));
}

// Past the tables' budget every change fails, changes nothing, and the
// trace says so once; what was held before is left, and freeing a table
// gives its bytes back to the others.
TEST(DBBudget, ChangesPastTheBudgetFailAndChangeNothing) {
  const int64_t before = DBHeldBytes();
  const std::string mib(size_t{1} << 20, 'z');
  auto big = std::make_unique<TDBTable>();
  big->Name = "big";
  ASSERT_GE(big->Fields.AddField("s", PT_STR, kMaxDBFieldWidth), 0);
  int32_t rows = 0;
  for (; rows < 1000; ++rows) {
    ASSERT_TRUE(big->Append()) << rows;
    if (!big->SetStr(rows, 0, mib)) break;
  }
  EXPECT_LT(rows, 1000);
  EXPECT_GT(rows, 200);
  EXPECT_LE(DBHeldBytes(), kMaxDBHeldBytes);
  std::string cell = "unset";
  ASSERT_TRUE(big->GetStr(rows, 0, cell));
  EXPECT_EQ(cell, "");  // the refused text was not written
  ASSERT_TRUE(big->GetStr(0, 0, cell));
  EXPECT_EQ(cell, mib);

  // Another table: a cell that would pass the budget fails too, and an
  // import is refused whole, the table left empty.
  TDBTable other;
  other.Name = "other";
  ASSERT_GE(other.Fields.AddField("s", PT_STR, 2000000), 0);
  ASSERT_TRUE(other.Append());
  EXPECT_FALSE(other.SetStr(0, 0, mib));
  EXPECT_EQ(other.GetRecordCount(), 1);
  std::vector<std::string> tsv = {"s str 2000000\tn int"};
  for (int i = 0; i < 10; ++i) tsv.push_back(mib + "\t1");
  std::vector<std::string_view> lines(tsv.begin(), tsv.end());
  EXPECT_FALSE(other.LoadFromTsv(lines));
  EXPECT_EQ(other.GetRecordCount(), 0);

  big.reset();
  EXPECT_EQ(DBHeldBytes(), before + other.HeldBytes());
  ASSERT_GE(other.Fields.AddField("s", PT_STR, 2000000), 0);
  ASSERT_TRUE(other.Append());
  EXPECT_TRUE(other.SetStr(0, 0, mib));  // room again
}

}  // namespace
}  // namespace orba
