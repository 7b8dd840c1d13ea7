// The rows of a table, held in the bytes their cells use, and the budget
// that bounds what all tables hold together.
//
// A table of narrow records (kDBFixedRecordMost bytes or fewer) holds its
// rows as full records side by side: a one-column flag table costs one byte
// a row. A wider table holds each row as a slot in shared pages, reached
// through one pointer a row: its cells in column order, a number cell as
// its bytes, a text cell as its length (7 bits a byte, low bits first, the
// top bit set on all but the last) and its bytes without trailing zeros,
// and no cell after its last non-zero one. Bytes past a slot's cells are
// zeros, which read as cells holding nothing, so a cell set to a shorter
// value is rewritten in place. A row of a wide table never costs more than
// its full record by more than a tenth and a few bytes, so what a table
// holds is bounded by what its stored form takes.
//
// Every table's rows draw on one budget (kMaxDBHeldBytes): a script's
// change that would pass it fails and changes nothing. Rows read from a
// stored table are counted without being refused, since their number is
// already bounded by the bytes they were read from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orba {

// The most bytes the rows of all tables hold together.
constexpr int64_t kMaxDBHeldBytes = int64_t{256} << 20;  // 256 MiB
// The widest record held as a full record.
constexpr int32_t kDBFixedRecordMost = 32;

// Whether growth may be refused by the budget.
enum class TDBGrowth { Budgeted, Loaded };

// Bytes the rows of all tables hold now.
int64_t DBHeldBytes();

class TDBRows {
 public:
  TDBRows() = default;
  ~TDBRows();
  TDBRows(TDBRows&& other) noexcept;
  TDBRows& operator=(TDBRows&& other) noexcept;
  TDBRows(const TDBRows&) = delete;
  TDBRows& operator=(const TDBRows&) = delete;

  // Columns: the byte width of each cell and whether it holds text.
  // Adding a column to a table with rows gives every row a cell holding
  // nothing; false (nothing changes) when the rows could not be laid out
  // again within the budget.
  bool AddColumn(int32_t size, bool text, TDBGrowth growth = TDBGrowth::Budgeted);
  // Removes every column and row.
  void ClearColumns();
  int32_t RecordSize() const { return record_size_; }

  int32_t Count() const { return count_; }
  void Clear();
  // Room for Rows more rows, so that a load of a known count does not grow
  // its index step by step.
  void Reserve(int32_t rows);
  bool AppendEmpty(TDBGrowth growth = TDBGrowth::Budgeted);
  void Erase(int32_t row);
  // The rows in the order of the row indexes Order (a permutation).
  void Reorder(const std::vector<int32_t>& order);
  // Appends a copy of a row of Source (which may be these rows), whose
  // columns are these.
  bool AppendCopyOf(const TDBRows& source, int32_t row, TDBGrowth growth = TDBGrowth::Budgeted);

  // The bytes of a cell that its row holds: at most the cell's width;
  // the rest of the cell is zeros.
  std::string_view Cell(int32_t row, int32_t column) const;
  // The held bytes of every cell of a row, in column order (fewer than the
  // columns when its last cells hold nothing).
  std::vector<std::string_view> Cells(int32_t row) const;
  // Replaces a cell by Bytes (cut to the cell; trailing zeros of a text
  // are not held). False, nothing changed, past the budget.
  bool SetCell(int32_t row, int32_t column, std::string_view bytes);
  // Appends a row of the cells Cells, in column order from column 0.
  bool AppendRow(const std::vector<std::string_view>& cells, TDBGrowth growth = TDBGrowth::Budgeted);

  // Bytes the rows hold, their bookkeeping included.
  int64_t HeldBytes() const { return held_; }
  bool Fixed() const { return record_size_ <= kDBFixedRecordMost; }

 private:
  struct TColumn {
    int32_t Size;
    int32_t Offset;
    bool Text;
  };
  // The slot of a row in the pages: its capacity, then its cells.
  const uint8_t* Slot(int32_t row) const { return slots_[static_cast<size_t>(row)]; }
  // The row's cells encoded as a slot's cells.
  std::string Encode(const std::vector<std::string_view>& cells) const;
  // A new slot holding Content at the end of the pages; null past the budget.
  uint8_t* PlaceSlot(std::string_view content, TDBGrowth growth);
  // Rewrites Slot with Content where it lies when it is the last slot of
  // the last page and the page has room; false otherwise.
  bool GrowLastSlot(uint8_t* slot, std::string_view content);
  // Grows the index of slots or the records to hold one row more.
  bool GrowRows(TDBGrowth growth);
  // Lays the pages out again once more than half of them are slots no row
  // uses.
  void CompactPagesWhenSparse();
  // Whether More bytes fit the budget; adds them to what is held when so.
  bool Take(int64_t more, TDBGrowth growth);
  void Give(int64_t less);

  std::vector<TColumn> columns_;
  int32_t record_size_ = 0;
  int32_t count_ = 0;
  // Narrow tables: Count full records.
  std::vector<uint8_t> records_;
  // Wide tables: one slot a row, in pages filled one after the other.
  std::vector<uint8_t*> slots_;
  std::vector<std::unique_ptr<uint8_t[]>> pages_;
  std::vector<int64_t> page_sizes_;
  int64_t page_used_ = 0;  // of the last page
  int64_t unused_ = 0;     // bytes of slots no row uses
  int64_t held_ = 0;
};

}  // namespace orba
