// The rows of a table, held in the bytes they really use: each row keeps its
// cells in column order, each cell without its trailing zero bytes (a text
// cell its text, a number its significant bytes), and no cell after its
// last non-zero one. A cell that is not held reads as zeros, as a record's
// unused bytes do, so a row of a wide table costs what its cells hold, not
// the columns' declared widths. The full fixed-size record is made only
// where one is stored or handed out (see TDBTable).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orba {

class TDBRows {
 public:
  int32_t Count() const { return static_cast<int32_t>(rows_.size()); }
  void Clear() { rows_.clear(); }
  void AppendEmpty() { rows_.emplace_back(); }
  void Erase(int32_t row) { rows_.erase(rows_.begin() + row); }
  // The rows in the order of the row indexes Order (a permutation).
  void Reorder(const std::vector<int32_t>& order);
  // Appends a copy of a row of Source (which may be these rows).
  void AppendCopyOf(const TDBRows& source, int32_t row) {
    TRow copy = source.rows_[static_cast<size_t>(row)];
    rows_.push_back(std::move(copy));
  }

  // The held bytes of a cell: its bytes up to its last non-zero one; the
  // rest of the cell is zeros.
  std::string_view Cell(int32_t row, int32_t column) const;
  // The held bytes of every cell a row holds, in column order (fewer than
  // the columns when its last cells hold nothing).
  std::vector<std::string_view> Cells(int32_t row) const;
  // Replaces a cell by Bytes (trailing zeros are dropped).
  void SetCell(int32_t row, int32_t column, std::string_view bytes);
  // Appends a row of the cells Cells, in column order from column 0; the
  // bytes it holds, its bookkeeping included.
  int64_t AppendRow(const std::vector<std::string_view>& cells);

  // Bytes the rows hold, their bookkeeping included.
  int64_t HeldBytes() const;

 private:
  // A row: for each cell up to the last held one, its length (7 bits a
  // byte, low bits first, the top bit set on all but the last) and bytes.
  using TRow = std::vector<uint8_t>;
  static void Encode(TRow& row, std::string_view bytes);
  std::vector<TRow> rows_;
};

}  // namespace orba
