// The table store: small in-memory tables with typed columns that scripts
// fill, search and sort through the DB functions. A table is a list of
// records; its columns fix each cell's type and byte width, and the stored
// form holds each row as its fixed-size raw record. In memory a row holds
// only what its cells use, and all tables together hold at most
// kMaxDBHeldBytes (script/functions/db_rows.h): an operation that would
// pass it fails as one on a missing row does, with a trace line.
// Tables of category 0 travel with every saved game, tables of category 1
// with the status data.
//
// Cells convert between the four value types by the rules of script values
// (script/values/param_text.h), which is why the store lives beside them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/containers/containers.h"
#include "core/containers/int_list.h"
#include "core/files/file_limits.h"
#include "core/streams/big_stream.h"
#include "script/functions/db_rows.h"
#include "script/save/save_sections.h"

namespace orba {

class TCustomParam;
class TDBCustomTable;

// The widest text column: wider widths are cut to this many bytes.
constexpr int32_t kMaxDBFieldWidth = 1 << 20;
// A column that would make a record larger than this is refused.
constexpr int64_t kMaxDBRecordSize = 16 << 20;
// The most rows a stored table of zero-width records may claim (each row
// still costs its bookkeeping).
constexpr int32_t kMaxDBZeroWidthRows = 1 << 20;
// The most columns a tab-separated import holds; a larger import, or one
// whose rows would pass the tables' budget, is refused whole.
constexpr int32_t kMaxDBImportColumns = 1 << 16;
// The most bytes of full records a table writes into a stored table
// stream: a table held compactly whose declared widths would make more
// than save data may hold is not stored (the save fails with EWriteError)
// rather than written into a file the player would not read back.
constexpr int64_t kMaxDBStoredBytes = kMaxSaveFileBytes;

// Categories of a table.
constexpr uint8_t kDBGameCategory = 0;
constexpr uint8_t kDBStatusCategory = 1;

// One column: its cell's byte width, name and value type (PT_INT to PT_STR).
struct TDBField {
  int32_t Size = 0;
  std::string Name;
  uint8_t Type = 0;
};

// The columns of a table in column order. Columns change only through the
// list's own operations, so that the owner's records follow them.
class TDBFieldList : private TObjList<TDBField> {
 public:
  explicit TDBFieldList(TDBCustomTable* owner = nullptr) : owner_(owner) {}

  using TObjList<TDBField>::Count;
  using TObjList<TDBField>::Get;
  using TObjList<TDBField>::operator[];

  int32_t RecordSize() const { return record_size_; }

  // Adds a column of Type (1 to 4) and returns its index; every row of the
  // owner gains the new cell as zero bytes. Width counts for text columns
  // only: negative widths are refused, widths above kMaxDBFieldWidth are cut
  // to it. -1 and no change for another type, a refused width, a record
  // that would grow beyond kMaxDBRecordSize, or rows that could not be laid
  // out again within the tables' budget.
  int32_t AddField(const std::string& name, uint8_t type, int32_t width);
  // First column of that name (case-insensitive), or -1.
  int32_t IndexOf(const std::string& name) const;
  // Clears, then adds every column of Source with the same name, type and
  // width.
  void Assign(const TDBFieldList& source);
  // Same count and, column by column, the same name (case-sensitive), type
  // and size.
  bool SameFields(const TDBFieldList& other) const;
  void Clear();
  int32_t GetFieldOffset(int32_t index) const;

  // Column list of the table stream: count, then size, name, type of each.
  // Loading checks every column (type 1 to 4, the size of its type, text
  // widths within the limit) and raises EReadError for a damaged list;
  // it is meant for a list without an owner (a table being loaded).
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream);
  // Replaces the columns by Source's, which is left empty. Only for a list
  // whose owner has no rows.
  void TakeFrom(TDBFieldList& source);

 private:
  // Appends a column whose size is already known to be valid.
  void AppendField(const std::string& name, uint8_t type, int32_t size);

  TDBCustomTable* owner_;
  int32_t record_size_ = 0;
};

// The byte width of a cell of Type with text Width, or -1 when the type is
// not 1 to 4 or the width is negative. Text widths are cut to the limit.
int32_t DBFieldSize(uint8_t type, int32_t width);

// A table: columns and the raw records, with a cursor (RecNo).
class TDBCustomTable {
 public:
  TDBCustomTable() : Fields(this) {}
  virtual ~TDBCustomTable() = default;
  TDBCustomTable(const TDBCustomTable&) = delete;
  TDBCustomTable& operator=(const TDBCustomTable&) = delete;

  TDBFieldList Fields;
  std::string Name;
  uint8_t Category = kDBGameCategory;

  // The kind byte written before each table of a table-store stream.
  virtual uint8_t GetKind() const { return 0; }
  virtual int32_t GetRecordCount() const = 0;
  virtual int32_t GetRecNo() const = 0;
  // The row's full raw record (RecordSize bytes), made when asked for and
  // good until the next call; null when there is no current row or Index
  // is outside the table.
  virtual uint8_t* GetCurrentRecord() = 0;
  virtual uint8_t* GetRecord(int32_t index) = 0;
  // Gives every row a new last cell holding nothing; false when the rows
  // would pass the tables' budget (then nothing changes).
  virtual bool AddColumnBytes(uint8_t type, int32_t size) = 0;
  // Every row loses all its cells (the columns are being cleared).
  virtual void RemoveAllColumnBytes() = 0;
  // Adds a row holding nothing and makes it current; false past the
  // tables' budget.
  virtual bool Append() = 0;
  virtual bool Delete() = 0;
  virtual bool First() = 0;
  virtual bool Last() = 0;
  virtual bool Next() = 0;
  virtual bool Prior() = 0;
  virtual bool SetRecNo(int32_t index) = 0;

  // Typed cell access: false and no effect when Row or Column is outside the
  // table, or when a setter would pass the tables' budget; otherwise true,
  // converting between the cell's type and the value.
  virtual bool GetInt(int32_t row, int32_t column, int32_t& value) = 0;
  virtual bool SetInt(int32_t row, int32_t column, int32_t value) = 0;
  virtual bool GetFloat(int32_t row, int32_t column, long double& value) = 0;
  virtual bool SetFloat(int32_t row, int32_t column, long double value) = 0;
  virtual bool GetBool(int32_t row, int32_t column, bool& value) = 0;
  virtual bool SetBool(int32_t row, int32_t column, bool value) = 0;
  virtual bool GetStr(int32_t row, int32_t column, std::string& value) = 0;
  virtual bool SetStr(int32_t row, int32_t column, const std::string& value) = 0;

  // The same on the current row, the column found by name (case-insensitive).
  bool GetIntByName(const std::string& column, int32_t& value);
  bool SetIntByName(const std::string& column, int32_t value);
  bool GetFloatByName(const std::string& column, long double& value);
  bool SetFloatByName(const std::string& column, long double value);
  bool GetBoolByName(const std::string& column, bool& value);
  bool SetBoolByName(const std::string& column, bool value);
  bool GetStrByName(const std::string& column, std::string& value);
  bool SetStrByName(const std::string& column, const std::string& value);

  // Appends to Result the rows whose cells in the columns KeyNames equal
  // Values (see the implementation for text matching); every row when
  // either array is missing.
  virtual void Select(TIntList& result, const TCustomParam* key_names, bool partial, bool ignore_case,
                      const TCustomParam* values) = 0;
  // Replaces the table by the tab-separated Lines (a typed header line, then
  // one line per row); false, the table left empty, for no lines, a bad
  // header, or more than kMaxDBImportColumns columns or rows that would pass
  // the tables' budget (traced).
  virtual bool LoadFromTsv(const std::vector<std::string_view>& lines) = 0;
  virtual void Clear() = 0;
  virtual void ClearRecords() = 0;
  // Writes the table with every row as its full record; raises EWriteError,
  // before writing a row, when those would take more than kMaxDBStoredBytes.
  virtual void SaveToStream(TKsBigStream& stream) = 0;
  // Replaces the table by the stored one. The whole table is read before
  // anything changes; damaged data raises EReadError and keeps the table.
  virtual void LoadFromStream(TKsBigStream& stream, int32_t version) = 0;
  // Stable multi-key sort; Descending[k] reverses key k.
  virtual void Sort(const TCustomParam& key_names, const TCustomParam& descending) = 0;
};

class TDBTable final : public TDBCustomTable {
 public:
  int32_t GetRecordCount() const override { return rows_.Count(); }
  int32_t GetRecNo() const override { return rec_no_; }
  uint8_t* GetCurrentRecord() override { return GetRecord(rec_no_); }
  uint8_t* GetRecord(int32_t index) override;
  bool AddColumnBytes(uint8_t type, int32_t size) override;
  void RemoveAllColumnBytes() override;
  bool Append() override;
  bool Delete() override;
  bool First() override;
  bool Last() override;
  bool Next() override;
  bool Prior() override;
  bool SetRecNo(int32_t index) override;

  bool GetInt(int32_t row, int32_t column, int32_t& value) override;
  bool SetInt(int32_t row, int32_t column, int32_t value) override;
  bool GetFloat(int32_t row, int32_t column, long double& value) override;
  bool SetFloat(int32_t row, int32_t column, long double value) override;
  bool GetBool(int32_t row, int32_t column, bool& value) override;
  bool SetBool(int32_t row, int32_t column, bool value) override;
  bool GetStr(int32_t row, int32_t column, std::string& value) override;
  bool SetStr(int32_t row, int32_t column, const std::string& value) override;

  void Select(TIntList& result, const TCustomParam* key_names, bool partial, bool ignore_case,
              const TCustomParam* values) override;
  bool LoadFromTsv(const std::vector<std::string_view>& lines) override;
  void Clear() override;
  void ClearRecords() override;
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Sort(const TCustomParam& key_names, const TCustomParam& descending) override;

  // Appends a row holding a copy of Record (RecordSize bytes); false past
  // the tables' budget.
  bool AppendCopy(const uint8_t* record);
  // Appends a copy of row Row of Source, whose columns are these; false
  // past the tables' budget.
  bool AppendRowOf(const TDBTable& source, int32_t row);
  // Removes the rows from First on and puts the cursor on RecNo, undoing
  // appends that could not all be made.
  void DropRowsFrom(int32_t first, int32_t rec_no);
  // Bytes the rows really hold.
  int64_t HeldBytes() const { return rows_.HeldBytes(); }

 private:
  // The column of Row and Column, or null when either is outside the table.
  const TDBField* CellField(int32_t row, int32_t column) const;
  // A cell as it reads: a number's bytes (the whole cell, zeros past what is
  // held) or a text cell's text; false outside the table.
  struct TCellRead;
  bool ReadCell(int32_t row, int32_t column, TCellRead& cell) const;
  // Replaces a cell by a number's bytes or a text, cut to the cell; false
  // past the tables' budget.
  bool PutCell(int32_t row, int32_t column, const TDBField& field, const uint8_t* number, const std::string& text);
  // Traces that the tables' budget refused a change to this table; false.
  bool Refused() const;
  // Row's full record (RecordSize bytes) into Out.
  void MakeRecord(int32_t row, uint8_t* out) const;
  // The cells of a full record of Fields, in column order.
  static std::vector<std::string_view> RecordCells(const TDBFieldList& fields, const uint8_t* record);

  TDBRows rows_;
  // GetRecord's full record of a row, made when asked for.
  std::vector<uint8_t> record_;
  int32_t rec_no_ = -1;
};

// The store of named tables, with the active table that the cursor functions
// work on.
class TDBManager : private TObjList<TDBTable> {
 public:
  int32_t Active = -1;

  using TObjList<TDBTable>::Count;

  // Appends a new empty table that becomes active; -1 for an empty name or
  // one that a table has already (case-insensitive).
  int32_t AddTable(const std::string& name, uint8_t category);
  // Frees the named table; the active table stays active (none when it was
  // the one deleted). False when there is no such table.
  bool DeleteTable(const std::string& name);
  int32_t IndexOfTable(const std::string& name) const;
  TDBTable* GetTable(int32_t index) const;
  TDBTable* GetActiveTable() const;
  bool SelectTable(const std::string& name);

  // Key-based access to one cell of a named table: the first row that Select
  // finds, the column ColumnName. Getters answer Default when there is no
  // such cell, setters false.
  int32_t DirectGetInt(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                       const std::string& column, bool partial, bool ignore_case, int32_t def);
  bool DirectSetInt(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                    const std::string& column, bool partial, bool ignore_case, int32_t value);
  long double DirectGetFloat(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                             const std::string& column, bool partial, bool ignore_case, long double def);
  bool DirectSetFloat(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                      const std::string& column, bool partial, bool ignore_case, long double value);
  bool DirectGetBool(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                     const std::string& column, bool partial, bool ignore_case, bool def);
  bool DirectSetBool(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                     const std::string& column, bool partial, bool ignore_case, bool value);
  std::string DirectGetStr(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                           const std::string& column, bool partial, bool ignore_case, const std::string& def);
  bool DirectSetStr(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                    const std::string& column, bool partial, bool ignore_case, const std::string& value);

  // Replaces the named table's columns and rows by the active table's
  // columns and its rows Rows. False when there is no active table, no such
  // table, the named table is the active one, or a row index is outside the
  // active table (then nothing changes); false with the named table left
  // without rows when they would pass the tables' budget.
  bool CopyTable(const std::string& name, const TIntList& rows);
  // Appends the named table's rows Rows to the active table. False when
  // either table is missing, their columns differ, or a row index is outside
  // the named table (then nothing changes), or when the rows would pass the
  // tables' budget (then none is added).
  bool InsertTable(const std::string& name, const TIntList& rows);

  // Table-store stream of one category: version, the tables of that
  // category, and for category 0 the active table's name.
  void SaveToStream(TKsBigStream& stream, uint8_t category);
  // Replaces the tables of Category by the stored ones; the other
  // category's tables stay. The whole stream is read first: damaged data
  // raises EReadError and changes nothing.
  void LoadFromStream(TKsBigStream& stream, uint8_t category);
  // Removes the game tables (category 0), at a game reset.
  void ClearGameTables();
  // Frees every table; no table is active.
  void Clear();

 private:
  // The table of Name, the first row Select finds and the column; false
  // when any of them is missing.
  bool FindCell(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                const std::string& column, bool partial, bool ignore_case, TDBTable*& found, int32_t& row,
                int32_t& col);
  // Deletes the tables for which Doomed is true, keeping the active table
  // active by identity.
  template <class Pred>
  void DeleteWhere(Pred doomed);
};

// The program's one table store.
TDBManager& GlobalDBManager();

// The tables of one category as a piece of "save.dat": the game tables of a
// slot or the status tables of the status entry. The slot's version does not
// change the table stream.
class TDBTablesSection : public TSaveSection {
 public:
  TDBTablesSection(TDBManager& db, uint8_t category) : db_(db), category_(category) {}
  void SaveToStream(TKsBigStream& stream) override { db_.SaveToStream(stream, category_); }
  void LoadFromStream(TKsBigStream& stream, int32_t /*version*/) override { db_.LoadFromStream(stream, category_); }

 private:
  TDBManager& db_;
  uint8_t category_;
};

}  // namespace orba
