#include "script/functions/db_rows.h"

#include <algorithm>

namespace orba {

namespace {

// Bookkeeping of one row besides its bytes: the vector and the allocation.
constexpr int64_t kRowOverhead = static_cast<int64_t>(sizeof(std::vector<uint8_t>)) + 16;

std::string_view Trimmed(std::string_view bytes) {
  const size_t last = bytes.find_last_not_of('\0');
  return last == std::string_view::npos ? std::string_view() : bytes.substr(0, last + 1);
}

// Reads the length of the cell at At and moves At past it; false at the end
// of the row.
bool NextLength(const std::vector<uint8_t>& row, size_t& at, size_t& length) {
  if (at >= row.size()) return false;
  length = 0;
  for (int shift = 0; at < row.size(); shift += 7) {
    const uint8_t b = row[at++];
    length |= static_cast<size_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  return true;
}

}  // namespace

void TDBRows::Encode(TRow& row, std::string_view bytes) {
  size_t n = bytes.size();
  do {
    const uint8_t low = static_cast<uint8_t>(n & 0x7F);
    n >>= 7;
    row.push_back(n != 0 ? static_cast<uint8_t>(low | 0x80) : low);
  } while (n != 0);
  row.insert(row.end(), bytes.begin(), bytes.end());
}

void TDBRows::Reorder(const std::vector<int32_t>& order) {
  std::vector<TRow> sorted;
  sorted.reserve(rows_.size());
  for (int32_t i : order) sorted.push_back(std::move(rows_[static_cast<size_t>(i)]));
  rows_ = std::move(sorted);
}

std::string_view TDBRows::Cell(int32_t row, int32_t column) const {
  const TRow& r = rows_[static_cast<size_t>(row)];
  size_t at = 0, length = 0;
  for (int32_t c = 0; NextLength(r, at, length); ++c) {
    length = std::min(length, r.size() - at);
    if (c == column) return std::string_view(reinterpret_cast<const char*>(r.data() + at), length);
    at += length;
  }
  return std::string_view();
}

std::vector<std::string_view> TDBRows::Cells(int32_t row) const {
  const TRow& r = rows_[static_cast<size_t>(row)];
  std::vector<std::string_view> cells;
  size_t at = 0, length = 0;
  while (NextLength(r, at, length)) {
    length = std::min(length, r.size() - at);
    cells.emplace_back(reinterpret_cast<const char*>(r.data() + at), length);
    at += length;
  }
  return cells;
}

void TDBRows::SetCell(int32_t row, int32_t column, std::string_view bytes) {
  std::vector<std::string> cells;
  for (const std::string_view cell : Cells(row)) cells.emplace_back(cell);
  if (static_cast<size_t>(column) >= cells.size()) cells.resize(static_cast<size_t>(column) + 1);
  cells[static_cast<size_t>(column)] = std::string(Trimmed(bytes));
  while (!cells.empty() && cells.back().empty()) cells.pop_back();
  TRow out;
  for (const std::string& cell : cells) Encode(out, cell);
  out.shrink_to_fit();
  rows_[static_cast<size_t>(row)] = std::move(out);
}

int64_t TDBRows::AppendRow(const std::vector<std::string_view>& cells) {
  size_t last = cells.size();
  while (last > 0 && Trimmed(cells[last - 1]).empty()) --last;
  TRow row;
  for (size_t c = 0; c < last; ++c) Encode(row, Trimmed(cells[c]));
  row.shrink_to_fit();
  const int64_t held = static_cast<int64_t>(row.capacity()) + kRowOverhead;
  rows_.push_back(std::move(row));
  return held;
}

int64_t TDBRows::HeldBytes() const {
  int64_t held = 0;
  for (const TRow& r : rows_) held += static_cast<int64_t>(r.capacity()) + kRowOverhead;
  return held;
}

}  // namespace orba
