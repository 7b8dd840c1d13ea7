#include "script/functions/dbs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/strings/sjis_string.h"
#include "core/strings/text_utils.h"
#include "core/system/trace.h"
#include "core/vocab/vocab.h"
#include "platform/text_convert.h"
#include "script/save/save_versions.h"
#include "script/values/param_text.h"
#include "script/values/params.h"

namespace orba {

namespace {

// Smallest stored forms, for checking stored counts against the bytes left:
// a column (size, empty name, type) and a table with its kind byte (kind,
// empty name, category, column count, row count, current row).
constexpr int64_t kMinStoredFieldSize = 4 + 4 + 1;
constexpr int64_t kMinStoredTableSize = 1 + 4 + 1 + 4 + 4 + 4;
constexpr int32_t kTsvDefaultWidth = 80;

int32_t LoadInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void StoreInt32(uint8_t* p, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A float cell written into an integer: nearest integer, halves to even, low
// 32 bits of the 64-bit result. Values no integer can hold give 0, since
// cell access never fails inside the table.
int32_t RoundCell(long double value) {
  if (!std::isfinite(value)) return 0;
  const long double r = std::nearbyintl(value);
  if (r < -9223372036854775808.0L || r >= 9223372036854775808.0L) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(r))));
}

// The first Width bytes of S, one byte less when the cut would split a
// double-byte character.
std::string CutToWidth(const std::string& s, int32_t width) {
  size_t i = 0;
  const size_t limit = static_cast<size_t>(std::max(width, 0));
  while (i < s.size()) {
    const size_t step = IsSjisLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return s.substr(0, i);
}

// The text of a text cell: up to the first zero byte, never beyond the cell.
std::string CellText(const uint8_t* cell, int32_t size) {
  const void* zero = std::memchr(cell, 0, static_cast<size_t>(size));
  const size_t len = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - cell)
                                     : static_cast<size_t>(size);
  return std::string(reinterpret_cast<const char*>(cell), len);
}

// Three-way comparisons of the sort; a NaN sorts after every number.
template <class T>
int Compare3(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareFloat(long double a, long double b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return Compare3(na, nb);
  return Compare3(a, b);
}

}  // namespace

// ---------------------------------------------------------------------------
// Columns

int32_t DBFieldSize(uint8_t type, int32_t width) {
  switch (type) {
    case PT_INT:
      return 4;
    case PT_FLOAT:
      return 10;
    case PT_BOOL:
      return 1;
    case PT_STR:
      if (width < 0) return -1;
      return std::min(width, kMaxDBFieldWidth) + 1;
    default:
      return -1;
  }
}

void TDBFieldList::AppendField(const std::string& name, uint8_t type, int32_t size) {
  auto field = std::make_unique<TDBField>();
  field->Size = size;
  field->Name = name;
  field->Type = type;
  Add(std::move(field));
  record_size_ += size;
}

int32_t TDBFieldList::AddField(const std::string& name, uint8_t type, int32_t width) {
  const int32_t size = DBFieldSize(type, width);
  if (size < 0 || static_cast<int64_t>(record_size_) + size > kMaxDBRecordSize) return -1;
  if (owner_ != nullptr && !owner_->AddColumnBytes(type, size)) return -1;
  AppendField(name, type, size);
  return Count() - 1;
}

int32_t TDBFieldList::IndexOf(const std::string& name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (SjisSameText(Get(i).Name, name)) return i;
  }
  return -1;
}

void TDBFieldList::Assign(const TDBFieldList& source) {
  Clear();
  for (const auto& f : source) AddField(f->Name, f->Type, f->Size - 1);
}

bool TDBFieldList::SameFields(const TDBFieldList& other) const {
  if (Count() != other.Count()) return false;
  for (int32_t i = 0; i < Count(); ++i) {
    const TDBField& a = Get(i);
    const TDBField& b = other.Get(i);
    if (a.Name != b.Name || a.Type != b.Type || a.Size != b.Size) return false;
  }
  return true;
}

void TDBFieldList::Clear() {
  TObjList<TDBField>::Clear();
  record_size_ = 0;
  if (owner_ != nullptr) owner_->RemoveAllColumnBytes();
}

int32_t TDBFieldList::GetFieldOffset(int32_t index) const {
  int32_t offset = 0;
  for (int32_t i = 0; i < index && i < Count(); ++i) offset += Get(i).Size;
  return offset;
}

void TDBFieldList::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Count());
  for (const auto& f : *this) {
    WriteStreamInt(stream, f->Size);
    WriteStreamString(stream, f->Name);
    WriteStreamByte(stream, f->Type);
  }
}

void TDBFieldList::LoadFromStream(TKsBigStream& stream) {
  const int32_t count = ReadStreamInt(stream);
  CheckStoredCount(stream, count, kMinStoredFieldSize);
  TDBFieldList loaded;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t size = ReadStreamInt(stream);
    const std::string name = ReadStreamString(stream);
    const uint8_t type = ReadByteVal(stream);
    // The size must be the one its type gives; a text column's width is
    // within the limit.
    if (size < 1 || DBFieldSize(type, size - 1) != size) throw EReadError();
    if (static_cast<int64_t>(loaded.record_size_) + size > kMaxDBRecordSize) throw EReadError();
    loaded.AppendField(name, type, size);
  }
  TakeFrom(loaded);
}

void TDBFieldList::TakeFrom(TDBFieldList& source) {
  Clear();
  while (source.Count() > 0) Add(source.Extract(0));
  record_size_ = source.record_size_;
  source.record_size_ = 0;
}

// ---------------------------------------------------------------------------
// Tables: cursor-independent access by name

namespace {

template <class V, class Op>
bool ByName(TDBCustomTable& table, const std::string& column, V&& value, Op op) {
  const int32_t c = table.Fields.IndexOf(column);
  if (c < 0) return false;
  return op(table, table.GetRecNo(), c, std::forward<V>(value));
}

}  // namespace

bool TDBCustomTable::GetIntByName(const std::string& column, int32_t& value) {
  return ByName(*this, column, value, [](auto& t, int32_t r, int32_t c, int32_t& v) { return t.GetInt(r, c, v); });
}
bool TDBCustomTable::SetIntByName(const std::string& column, int32_t value) {
  return ByName(*this, column, value, [](auto& t, int32_t r, int32_t c, int32_t v) { return t.SetInt(r, c, v); });
}
bool TDBCustomTable::GetFloatByName(const std::string& column, long double& value) {
  return ByName(*this, column, value,
                [](auto& t, int32_t r, int32_t c, long double& v) { return t.GetFloat(r, c, v); });
}
bool TDBCustomTable::SetFloatByName(const std::string& column, long double value) {
  return ByName(*this, column, value,
                [](auto& t, int32_t r, int32_t c, long double v) { return t.SetFloat(r, c, v); });
}
bool TDBCustomTable::GetBoolByName(const std::string& column, bool& value) {
  return ByName(*this, column, value, [](auto& t, int32_t r, int32_t c, bool& v) { return t.GetBool(r, c, v); });
}
bool TDBCustomTable::SetBoolByName(const std::string& column, bool value) {
  return ByName(*this, column, value, [](auto& t, int32_t r, int32_t c, bool v) { return t.SetBool(r, c, v); });
}
bool TDBCustomTable::GetStrByName(const std::string& column, std::string& value) {
  return ByName(*this, column, value,
                [](auto& t, int32_t r, int32_t c, std::string& v) { return t.GetStr(r, c, v); });
}
bool TDBCustomTable::SetStrByName(const std::string& column, const std::string& value) {
  return ByName(*this, column, value,
                [](auto& t, int32_t r, int32_t c, const std::string& v) { return t.SetStr(r, c, v); });
}

// ---------------------------------------------------------------------------
// TDBTable: rows and cursor

uint8_t* TDBTable::GetRecord(int32_t index) {
  if (index < 0 || index >= rows_.Count()) return nullptr;
  record_.assign(static_cast<size_t>(Fields.RecordSize()), 0);
  MakeRecord(index, record_.data());
  return record_.data();
}

void TDBTable::MakeRecord(int32_t row, uint8_t* out) const {
  std::fill_n(out, Fields.RecordSize(), 0);
  const std::vector<std::string_view> cells = rows_.Cells(row);
  int32_t offset = 0;
  for (int32_t c = 0; c < Fields.Count() && static_cast<size_t>(c) < cells.size(); ++c) {
    const std::string_view held = cells[static_cast<size_t>(c)];
    std::copy_n(held.begin(), std::min(held.size(), static_cast<size_t>(Fields.Get(c).Size)), out + offset);
    offset += Fields.Get(c).Size;
  }
}

std::vector<std::string_view> TDBTable::RecordCells(const TDBFieldList& fields, const uint8_t* record) {
  std::vector<std::string_view> cells;
  cells.reserve(static_cast<size_t>(fields.Count()));
  int32_t offset = 0;
  for (int32_t c = 0; c < fields.Count(); ++c) {
    cells.emplace_back(reinterpret_cast<const char*>(record + offset), static_cast<size_t>(fields.Get(c).Size));
    offset += fields.Get(c).Size;
  }
  return cells;
}

bool TDBTable::AddColumnBytes(uint8_t type, int32_t size) {
  return rows_.AddColumn(size, type == PT_STR) || Refused();
}

void TDBTable::RemoveAllColumnBytes() { rows_.ClearColumns(); }

bool TDBTable::Append() {
  if (!rows_.AppendEmpty()) return Refused();
  rec_no_ = rows_.Count() - 1;
  return true;
}

bool TDBTable::AppendCopy(const uint8_t* record) {
  // Record may be this table's own GetRecord: the cells are copied out
  // before the row is made.
  const std::vector<uint8_t> copy(record, record + Fields.RecordSize());
  if (!rows_.AppendRow(RecordCells(Fields, copy.data()))) return Refused();
  rec_no_ = rows_.Count() - 1;
  return true;
}

bool TDBTable::AppendRowOf(const TDBTable& source, int32_t row) {
  if (!rows_.AppendCopyOf(source.rows_, row)) return Refused();
  rec_no_ = rows_.Count() - 1;
  return true;
}

void TDBTable::DropRowsFrom(int32_t first, int32_t rec_no) {
  while (rows_.Count() > first) rows_.Erase(rows_.Count() - 1);
  rec_no_ = rec_no;
}

bool TDBTable::Delete() {
  if (rec_no_ < 0 || rec_no_ >= rows_.Count()) return false;
  rows_.Erase(rec_no_);
  if (rec_no_ >= rows_.Count()) rec_no_ = rows_.Count() - 1;
  return true;
}

bool TDBTable::First() {
  if (rows_.Count() == 0) return false;
  rec_no_ = 0;
  return true;
}

bool TDBTable::Last() {
  if (rows_.Count() == 0) return false;
  rec_no_ = rows_.Count() - 1;
  return true;
}

bool TDBTable::Next() {
  if (rec_no_ < 0 || rec_no_ >= rows_.Count() - 1) return false;
  ++rec_no_;
  return true;
}

bool TDBTable::Prior() {
  if (rec_no_ <= 0) return false;
  --rec_no_;
  return true;
}

bool TDBTable::SetRecNo(int32_t index) {
  if (index < 0) {
    rec_no_ = -1;
    return true;
  }
  if (index >= rows_.Count()) return false;
  rec_no_ = index;
  return true;
}

void TDBTable::Clear() {
  Fields.Clear();
  ClearRecords();
}

void TDBTable::ClearRecords() {
  rows_.Clear();
  record_ = std::vector<uint8_t>();
  rec_no_ = -1;
}

// ---------------------------------------------------------------------------
// TDBTable: typed cells

// The widest number cell (a float's ten bytes).
constexpr size_t kNumberCellSize = 10;

struct TDBTable::TCellRead {
  const TDBField* Field = nullptr;
  uint8_t Number[kNumberCellSize] = {};
  std::string Text;
};

const TDBField* TDBTable::CellField(int32_t row, int32_t column) const {
  if (row < 0 || row >= rows_.Count() || column < 0 || column >= Fields.Count()) return nullptr;
  return &Fields.Get(column);
}

bool TDBTable::ReadCell(int32_t row, int32_t column, TCellRead& cell) const {
  cell.Field = CellField(row, column);
  if (cell.Field == nullptr) return false;
  const std::string_view held = rows_.Cell(row, column);
  const size_t n = std::min(held.size(), static_cast<size_t>(cell.Field->Size));
  if (cell.Field->Type == PT_STR) {
    // Up to the first zero byte, never beyond the cell.
    if (n > 0) cell.Text = CellText(reinterpret_cast<const uint8_t*>(held.data()), static_cast<int32_t>(n));
  } else {
    std::copy_n(held.begin(), std::min(n, kNumberCellSize), cell.Number);
  }
  return true;
}

bool TDBTable::PutCell(int32_t row, int32_t column, const TDBField& field, const uint8_t* number,
                       const std::string& text) {
  // A text takes at most Size - 1 bytes, cut at a character boundary; the
  // rest of the cell is zeros.
  const bool set = field.Type == PT_STR
                       ? rows_.SetCell(row, column, CutToWidth(text, field.Size - 1))
                       : rows_.SetCell(row, column,
                                       std::string_view(reinterpret_cast<const char*>(number),
                                                        std::min(static_cast<size_t>(field.Size), kNumberCellSize)));
  return set || Refused();
}

bool TDBTable::Refused() const {
  TraceOnce("table refused: " + SjisToUtf8(Name) + ": tables hold more than " + std::to_string(kMaxDBHeldBytes) +
            " bytes");
  return false;
}

bool TDBTable::GetInt(int32_t row, int32_t column, int32_t& value) {
  TCellRead c;
  if (!ReadCell(row, column, c)) return false;
  const uint8_t* p = c.Number;
  switch (c.Field->Type) {
    case PT_INT: value = LoadInt32(p); break;
    case PT_FLOAT: value = RoundCell(FloatFromBytes(p)); break;
    case PT_BOOL: value = *p != 0 ? 1 : 0; break;
    default: value = TextToIntOrZero(c.Text); break;
  }
  return true;
}

bool TDBTable::GetFloat(int32_t row, int32_t column, long double& value) {
  TCellRead c;
  if (!ReadCell(row, column, c)) return false;
  const uint8_t* p = c.Number;
  switch (c.Field->Type) {
    case PT_INT: value = LoadInt32(p); break;
    case PT_FLOAT: value = FloatFromBytes(p); break;
    case PT_BOOL: value = *p != 0 ? 1.0L : 0.0L; break;
    default: value = TextToFloatOrZero(c.Text); break;
  }
  return true;
}

bool TDBTable::GetBool(int32_t row, int32_t column, bool& value) {
  TCellRead c;
  if (!ReadCell(row, column, c)) return false;
  const uint8_t* p = c.Number;
  switch (c.Field->Type) {
    case PT_INT: value = LoadInt32(p) != 0; break;
    case PT_FLOAT: value = FloatFromBytes(p) != 0.0L; break;
    case PT_BOOL: value = *p != 0; break;
    default: value = TextToFlag(c.Text); break;
  }
  return true;
}

bool TDBTable::GetStr(int32_t row, int32_t column, std::string& value) {
  TCellRead c;
  if (!ReadCell(row, column, c)) return false;
  const uint8_t* p = c.Number;
  switch (c.Field->Type) {
    case PT_INT: value = IntToText(LoadInt32(p)); break;
    case PT_FLOAT: value = FloatToText(FloatFromBytes(p)); break;
    case PT_BOOL: value = FlagToText(*p != 0); break;
    default: value = std::move(c.Text); break;
  }
  return true;
}

bool TDBTable::SetInt(int32_t row, int32_t column, int32_t value) {
  const TDBField* f = CellField(row, column);
  if (f == nullptr) return false;
  uint8_t p[kNumberCellSize] = {};
  std::string text;
  switch (f->Type) {
    case PT_INT: StoreInt32(p, value); break;
    case PT_FLOAT: FloatToBytes(value, p); break;
    case PT_BOOL: *p = value != 0 ? 1 : 0; break;
    default: text = IntToText(value); break;
  }
  return PutCell(row, column, *f, p, text);
}

bool TDBTable::SetFloat(int32_t row, int32_t column, long double value) {
  const TDBField* f = CellField(row, column);
  if (f == nullptr) return false;
  uint8_t p[kNumberCellSize] = {};
  std::string text;
  switch (f->Type) {
    case PT_INT: StoreInt32(p, RoundCell(value)); break;
    case PT_FLOAT: FloatToBytes(value, p); break;
    case PT_BOOL: *p = value != 0.0L ? 1 : 0; break;
    default: text = FloatToText(value); break;
  }
  return PutCell(row, column, *f, p, text);
}

bool TDBTable::SetBool(int32_t row, int32_t column, bool value) {
  const TDBField* f = CellField(row, column);
  if (f == nullptr) return false;
  uint8_t p[kNumberCellSize] = {};
  std::string text;
  switch (f->Type) {
    case PT_INT: StoreInt32(p, value ? 1 : 0); break;
    case PT_FLOAT: FloatToBytes(value ? 1.0L : 0.0L, p); break;
    case PT_BOOL: *p = value ? 1 : 0; break;
    default: text = FlagToText(value); break;
  }
  return PutCell(row, column, *f, p, text);
}

namespace {

// The bytes of a cell of Field that a text is written into (as SetStr
// writes it), without the trailing zeros.
std::string CellOfText(const TDBField& field, const std::string& value) {
  uint8_t p[kNumberCellSize] = {};
  switch (field.Type) {
    case PT_INT: StoreInt32(p, TextToIntOrZero(value)); break;
    case PT_FLOAT: FloatToBytes(TextToFloatOrZero(value), p); break;
    case PT_BOOL: *p = TextToFlag(value) ? 1 : 0; break;
    default: return CutToWidth(value, field.Size - 1);
  }
  return std::string(reinterpret_cast<const char*>(p), std::min(static_cast<size_t>(field.Size), kNumberCellSize));
}

}  // namespace

bool TDBTable::SetStr(int32_t row, int32_t column, const std::string& value) {
  const TDBField* f = CellField(row, column);
  if (f == nullptr) return false;
  return rows_.SetCell(row, column, CellOfText(*f, value)) || Refused();
}

// ---------------------------------------------------------------------------
// TDBTable: search and sort

void TDBTable::Select(TIntList& result, const TCustomParam* key_names, bool partial, bool ignore_case,
                      const TCustomParam* values) {
  if (key_names == nullptr || values == nullptr) {
    for (int32_t r = 0; r < rows_.Count(); ++r) result.Add(r);
    return;
  }
  const int32_t n = std::min(key_names->GetCount(), values->GetCount());
  // Every row reaching an unknown column ends the search, so with one no
  // row is ever found.
  std::vector<int32_t> columns;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t c = Fields.IndexOf(key_names->GetStrItem(k));
    if (c < 0) return;
    columns.push_back(c);
  }
  const uint8_t type = values->GetParamType();
  for (int32_t r = 0; r < rows_.Count(); ++r) {
    bool match = true;
    for (int32_t k = 0; k < n && match; ++k) {
      const int32_t c = columns[static_cast<size_t>(k)];
      switch (type) {
        case PT_INT: {
          int32_t v = 0;
          GetInt(r, c, v);
          match = v == values->GetIntItem(k);
          break;
        }
        case PT_FLOAT: {
          long double v = 0;
          GetFloat(r, c, v);
          match = v == values->GetFloatItem(k);
          break;
        }
        case PT_BOOL: {
          bool v = false;
          GetBool(r, c, v);
          match = v == values->GetFlagItem(k);
          break;
        }
        case PT_STR: {
          std::string cell;
          GetStr(r, c, cell);
          const std::string value = values->GetStrItem(k);
          if (partial && ignore_case) {
            match = JPos(SjisUpperCase(cell), SjisUpperCase(value)) > 0;
          } else if (partial) {
            match = JPos(cell, value) > 0;
          } else if (ignore_case) {
            match = SjisSameText(cell, value);
          } else {
            match = cell == value;
          }
          break;
        }
        default:
          break;  // a value without a type sets no condition
      }
    }
    if (match) result.Add(r);
  }
}

void TDBTable::Sort(const TCustomParam& key_names, const TCustomParam& descending) {
  struct Key {
    int32_t column;
    const TDBField* field;
    bool descending;
  };
  std::vector<Key> keys;
  const int32_t n = std::min(key_names.GetCount(), descending.GetCount());
  for (int32_t k = 0; k < n; ++k) {
    const int32_t c = Fields.IndexOf(key_names.GetStrItem(k));
    if (c < 0) continue;
    keys.push_back(Key{c, &Fields.Get(c), descending.GetFlagItem(k)});
  }
  auto compare = [&](int32_t a, int32_t b) {
    for (const Key& key : keys) {
      TCellRead ca, cb;
      ReadCell(a, key.column, ca);
      ReadCell(b, key.column, cb);
      const uint8_t *pa = ca.Number, *pb = cb.Number;
      int c = 0;
      switch (key.field->Type) {
        case PT_INT: c = Compare3(LoadInt32(pa), LoadInt32(pb)); break;
        case PT_FLOAT: c = CompareFloat(FloatFromBytes(pa), FloatFromBytes(pb)); break;
        case PT_BOOL: c = Compare3(*pa, *pb); break;
        default: c = Compare3(ca.Text, cb.Text); break;
      }
      if (key.descending) c = -c;
      if (c != 0) return c < 0;
    }
    return false;
  };
  std::vector<int32_t> order(static_cast<size_t>(rows_.Count()));
  for (int32_t i = 0; i < rows_.Count(); ++i) order[static_cast<size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), compare);
  rows_.Reorder(order);
}

// ---------------------------------------------------------------------------
// TDBTable: tab-separated import

bool TDBTable::LoadFromTsv(const std::vector<std::string_view>& lines) {
  Clear();
  if (lines.empty()) return false;
  auto refuse = [this](const std::string& why) {
    TellRefusal("table import refused: " + SjisToUtf8(Name) + ": " + why);
    Clear();
    return false;
  };
  TTabStrings header;
  header.SetDelimitedText(std::string(lines[0]), kMaxDBImportColumns + 1);
  if (header.Count() > kMaxDBImportColumns)
    return refuse("more than " + std::to_string(kMaxDBImportColumns) + " columns");
  for (const std::string& item : header.Items()) {
    // Up to three blank-separated words: name, type and width.
    std::string rest = item;
    const std::string name = JTrim(JFetchToken(rest, " "));
    const std::string type_word = JTrim(JFetchToken(rest, " "));
    int32_t width = kTsvDefaultWidth;
    if (!TryTextToInt(JTrim(rest), width)) width = kTsvDefaultWidth;
    uint8_t type = PT_STR;
    if (type_word == "int") type = PT_INT;
    else if (type_word == "float") type = PT_FLOAT;
    else if (type_word == "bool") type = PT_BOOL;
    // An empty name or a refused width ends the import: a column left out
    // would move every later cell into the wrong column.
    if (name.empty() || Fields.AddField(name, type, width) < 0) {
      Clear();
      return false;
    }
  }
  TTabStrings cells;
  std::vector<std::string> bytes;
  std::vector<std::string_view> views;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    // Cells beyond the columns are never split off.
    cells.SetDelimitedText(UnescapeText(std::string(lines[i])), Fields.Count());
    const int32_t n = std::min(cells.Count(), Fields.Count());
    bytes.resize(static_cast<size_t>(n));
    views.resize(static_cast<size_t>(n));
    for (int32_t c = 0; c < n; ++c) {
      bytes[static_cast<size_t>(c)] = CellOfText(Fields.Get(c), cells.Get(c));
      views[static_cast<size_t>(c)] = bytes[static_cast<size_t>(c)];
    }
    if (!rows_.AppendRow(views))
      return refuse("with " + std::to_string(rows_.Count()) + " rows, tables hold more than " +
                    std::to_string(kMaxDBHeldBytes) + " bytes");
  }
  rec_no_ = rows_.Count() - 1;
  return true;
}

// ---------------------------------------------------------------------------
// TDBTable: stream form

void TDBTable::SaveToStream(TKsBigStream& stream) {
  WriteStreamString(stream, Name);
  WriteStreamByte(stream, Category);
  Fields.SaveToStream(stream);
  const int64_t rs = Fields.RecordSize();
  if (rs * rows_.Count() > kMaxDBStoredBytes)
    throw EWriteError("table " + Name + ": " + std::to_string(rows_.Count()) + " rows of " + std::to_string(rs) +
                      " bytes, more than " + std::to_string(kMaxDBStoredBytes) + " bytes to store");
  WriteStreamInt(stream, rows_.Count());
  // The stored form holds every row as its full record.
  std::vector<uint8_t> record(static_cast<size_t>(rs));
  for (int32_t r = 0; r < rows_.Count() && rs > 0; ++r) {
    MakeRecord(r, record.data());
    stream.WriteBuffer(record.data(), rs);
  }
  WriteStreamInt(stream, rec_no_);
}

void TDBTable::LoadFromStream(TKsBigStream& stream, int32_t version) {
  // The version changes nothing in this form.
  const std::string name = ReadStreamString(stream);
  const uint8_t category = ReadByteVal(stream);
  TDBFieldList fields;
  fields.LoadFromStream(stream);
  const int32_t count = ReadStreamInt(stream);
  const int32_t rs = fields.RecordSize();
  if (rs > 0) {
    CheckStoredCount(stream, count, rs);
  } else if (count < 0 || count > kMaxDBZeroWidthRows) {
    throw EReadError();
  }
  // The rows are counted in the budget but not refused by it: their
  // count is bounded by the bytes read, and a wide row costs little more
  // than its stored record (script/functions/db_rows.h).
  TDBRows rows;
  for (int32_t c = 0; c < fields.Count(); ++c)
    rows.AddColumn(fields.Get(c).Size, fields.Get(c).Type == PT_STR, TDBGrowth::Loaded);
  rows.Reserve(count);
  std::vector<uint8_t> record(static_cast<size_t>(rs));
  for (int32_t r = 0; r < count; ++r) {
    if (rs > 0) stream.ReadBuffer(record.data(), rs);
    rows.AppendRow(RecordCells(fields, record.data()), TDBGrowth::Loaded);
  }
  int32_t rec_no = ReadStreamInt(stream);
  if (rec_no < 0) rec_no = -1;
  if (rec_no >= count) throw EReadError();
  Name = name;
  Category = category;
  ClearRecords();
  Fields.TakeFrom(fields);
  rows_ = std::move(rows);
  rec_no_ = rec_no;
}

// ---------------------------------------------------------------------------
// TDBManager

TDBManager& GlobalDBManager() {
  static TDBManager manager;
  return manager;
}

int32_t TDBManager::IndexOfTable(const std::string& name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (SjisSameText(Get(i).Name, name)) return i;
  }
  return -1;
}

TDBTable* TDBManager::GetTable(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &Get(index);
}

TDBTable* TDBManager::GetActiveTable() const { return GetTable(Active); }

int32_t TDBManager::AddTable(const std::string& name, uint8_t category) {
  if (name.empty() || IndexOfTable(name) >= 0) return -1;
  auto table = std::make_unique<TDBTable>();
  table->Name = name;
  table->Category = category;
  Active = Add(std::move(table));
  return Active;
}

template <class Pred>
void TDBManager::DeleteWhere(Pred doomed) {
  const TDBTable* active = GetActiveTable();
  for (int32_t i = Count() - 1; i >= 0; --i) {
    if (!doomed(Get(i))) continue;
    if (&Get(i) == active) active = nullptr;
    Delete(i);
  }
  Active = active != nullptr ? IndexOf(active) : -1;
}

bool TDBManager::DeleteTable(const std::string& name) {
  const int32_t index = IndexOfTable(name);
  if (index < 0) return false;
  const TDBTable* doomed = &Get(index);
  DeleteWhere([doomed](const TDBTable& t) { return &t == doomed; });
  return true;
}

bool TDBManager::SelectTable(const std::string& name) {
  const int32_t index = IndexOfTable(name);
  if (index < 0) return false;
  Active = index;
  return true;
}

void TDBManager::ClearGameTables() {
  DeleteWhere([](const TDBTable& t) { return t.Category == kDBGameCategory; });
}

void TDBManager::Clear() {
  TObjList<TDBTable>::Clear();
  Active = -1;
}

bool TDBManager::FindCell(const std::string& table, const TCustomParam* keys, const TCustomParam* values,
                          const std::string& column, bool partial, bool ignore_case, TDBTable*& found,
                          int32_t& row, int32_t& col) {
  found = GetTable(IndexOfTable(table));
  if (found == nullptr) return false;
  TIntList rows;
  found->Select(rows, keys, partial, ignore_case, values);
  if (rows.Count() == 0) return false;
  row = rows.Get(0);
  col = found->Fields.IndexOf(column);
  return col >= 0;
}

#define ORBA_DB_DIRECT(Type, ValueType, ArgType)                                                               \
  ValueType TDBManager::DirectGet##Type(const std::string& table, const TCustomParam* keys,                    \
                                        const TCustomParam* values, const std::string& column, bool partial,   \
                                        bool ignore_case, ArgType def) {                                       \
    TDBTable* t = nullptr;                                                                                     \
    int32_t row = 0, col = 0;                                                                                  \
    ValueType v{};                                                                                             \
    if (!FindCell(table, keys, values, column, partial, ignore_case, t, row, col) || !t->Get##Type(row, col, v)) \
      return def;                                                                                              \
    return v;                                                                                                  \
  }                                                                                                            \
  bool TDBManager::DirectSet##Type(const std::string& table, const TCustomParam* keys,                         \
                                   const TCustomParam* values, const std::string& column, bool partial,        \
                                   bool ignore_case, ArgType value) {                                          \
    TDBTable* t = nullptr;                                                                                     \
    int32_t row = 0, col = 0;                                                                                  \
    if (!FindCell(table, keys, values, column, partial, ignore_case, t, row, col)) return false;               \
    return t->Set##Type(row, col, value);                                                                      \
  }

ORBA_DB_DIRECT(Int, int32_t, int32_t)
ORBA_DB_DIRECT(Float, long double, long double)
ORBA_DB_DIRECT(Bool, bool, bool)
ORBA_DB_DIRECT(Str, std::string, const std::string&)
#undef ORBA_DB_DIRECT

namespace {

bool RowsWithin(const TIntList& rows, int32_t count) {
  for (int32_t i = 0; i < rows.Count(); ++i) {
    if (rows.Get(i) < 0 || rows.Get(i) >= count) return false;
  }
  return true;
}

}  // namespace

bool TDBManager::CopyTable(const std::string& name, const TIntList& rows) {
  TDBTable* source = GetActiveTable();
  const int32_t index = IndexOfTable(name);
  if (source == nullptr || index < 0 || index == Active) return false;
  if (!RowsWithin(rows, source->GetRecordCount())) return false;
  TDBTable& target = Get(index);
  target.ClearRecords();
  target.Fields.Assign(source->Fields);
  for (int32_t i = 0; i < rows.Count(); ++i) {
    if (!target.AppendRowOf(*source, rows.Get(i))) {
      target.ClearRecords();
      return false;
    }
  }
  return true;
}

bool TDBManager::InsertTable(const std::string& name, const TIntList& rows) {
  TDBTable* target = GetActiveTable();
  TDBTable* source = GetTable(IndexOfTable(name));
  if (target == nullptr || source == nullptr || !source->Fields.SameFields(target->Fields)) return false;
  if (!RowsWithin(rows, source->GetRecordCount())) return false;
  const int32_t before = target->GetRecordCount();
  const int32_t rec_no = target->GetRecNo();
  for (int32_t i = 0; i < rows.Count(); ++i) {
    if (!target->AppendRowOf(*source, rows.Get(i))) {
      target->DropRowsFrom(before, rec_no);
      return false;
    }
  }
  return true;
}

void TDBManager::SaveToStream(TKsBigStream& stream, uint8_t category) {
  WriteStreamInt(stream, kTableStoreVersion);
  int32_t count = 0;
  for (const auto& t : *this) count += t->Category == category ? 1 : 0;
  WriteStreamInt(stream, count);
  for (const auto& t : *this) {
    if (t->Category != category) continue;
    WriteStreamByte(stream, t->GetKind());
    t->SaveToStream(stream);
  }
  if (category == kDBGameCategory) {
    const TDBTable* active = GetActiveTable();
    WriteStreamString(stream, active != nullptr ? active->Name : std::string());
  }
}

void TDBManager::LoadFromStream(TKsBigStream& stream, uint8_t category) {
  const int32_t version = ReadStreamInt(stream);
  const int32_t count = ReadStreamInt(stream);
  CheckStoredCount(stream, count, kMinStoredTableSize);
  std::vector<std::unique_ptr<TDBTable>> loaded;
  for (int32_t i = 0; i < count; ++i) {
    ReadByteVal(stream);  // the kind byte
    auto table = std::make_unique<TDBTable>();
    table->LoadFromStream(stream, version);
    loaded.push_back(std::move(table));
  }
  std::string active_name;
  if (category == kDBGameCategory) active_name = ReadStreamString(stream);

  DeleteWhere([category](const TDBTable& t) { return t.Category == category; });
  Active = -1;
  for (auto& table : loaded) Active = Add(std::move(table));
  if (category == kDBGameCategory) Active = active_name.empty() ? -1 : IndexOfTable(active_name);
}

}  // namespace orba
