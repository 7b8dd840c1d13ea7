#include "script/functions/db_rows.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace orba {

namespace {

// What the rows of all tables hold.
std::atomic<int64_t> g_held{0};

// Pages of slots grow from the least to the most as a table grows, so a
// small table takes little and a large one few allocations.
constexpr int64_t kLeastPage = 256;
constexpr int64_t kMostPage = int64_t{1} << 20;
// Pages are laid out again once this many bytes of them are unused and
// more than half.
constexpr int64_t kLeastUnusedToCompact = int64_t{64} << 10;

// The slot of a row that holds nothing: shared, never written.
const uint8_t kEmptySlot[1] = {0};

size_t LengthBytes(size_t n) {
  size_t bytes = 1;
  for (; n >= 0x80; n >>= 7) ++bytes;
  return bytes;
}

void PutLength(std::string& out, size_t n) {
  do {
    const uint8_t low = static_cast<uint8_t>(n & 0x7F);
    n >>= 7;
    out.push_back(static_cast<char>(n != 0 ? low | 0x80 : low));
  } while (n != 0);
}

// Reads a length at At of the At..End bytes and moves At past it.
size_t GetLength(const uint8_t*& at, const uint8_t* end) {
  size_t n = 0;
  for (int shift = 0; at < end && shift < 63; shift += 7) {
    const uint8_t b = *at++;
    n |= static_cast<size_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  return n;
}

std::string_view Trimmed(std::string_view bytes) {
  const size_t last = bytes.find_last_not_of('\0');
  return last == std::string_view::npos ? std::string_view() : bytes.substr(0, last + 1);
}

// The bytes a slot holds: its cells, then zeros.
std::string_view SlotContent(const uint8_t* slot) {
  const uint8_t* at = slot;
  const size_t capacity = GetLength(at, slot + LengthBytes(SIZE_MAX));
  return std::string_view(reinterpret_cast<const char*>(at), capacity);
}

int64_t SlotBytes(const uint8_t* slot) {
  const std::string_view content = SlotContent(slot);
  return static_cast<int64_t>(LengthBytes(content.size()) + content.size());
}

}  // namespace

int64_t DBHeldBytes() { return g_held.load(); }

TDBRows::~TDBRows() { Give(held_); }

TDBRows::TDBRows(TDBRows&& other) noexcept { *this = std::move(other); }

TDBRows& TDBRows::operator=(TDBRows&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  columns_ = std::move(other.columns_);
  record_size_ = other.record_size_;
  count_ = other.count_;
  records_ = std::move(other.records_);
  slots_ = std::move(other.slots_);
  pages_ = std::move(other.pages_);
  page_sizes_ = std::move(other.page_sizes_);
  page_used_ = other.page_used_;
  unused_ = other.unused_;
  held_ = other.held_;
  other.columns_.clear();
  other.record_size_ = 0;
  other.count_ = 0;
  other.records_.clear();
  other.slots_.clear();
  other.pages_.clear();
  other.page_sizes_.clear();
  other.page_used_ = 0;
  other.unused_ = 0;
  other.held_ = 0;
  return *this;
}

bool TDBRows::Take(int64_t more, TDBGrowth growth) {
  if (more <= 0) return true;
  if (growth == TDBGrowth::Budgeted && g_held.load() + more > kMaxDBHeldBytes) return false;
  g_held += more;
  held_ += more;
  return true;
}

void TDBRows::Give(int64_t less) {
  g_held -= less;
  held_ -= less;
}

// ---------------------------------------------------------------------------
// Columns and rows

bool TDBRows::AddColumn(int32_t size, bool text, TDBGrowth growth) {
  const TColumn column{size, record_size_, text};
  if (count_ == 0 || !Fixed()) {
    // No row to lay out again: a wide row does not hold a cell after its
    // last one, so the new cell holds nothing.
    columns_.push_back(column);
    record_size_ += size;
    return true;
  }
  TDBRows wider;
  wider.columns_ = columns_;
  wider.columns_.push_back(column);
  wider.record_size_ = record_size_ + size;
  for (int32_t r = 0; r < count_; ++r) {
    if (!wider.AppendCopyOf(*this, r, growth)) return false;
  }
  *this = std::move(wider);
  return true;
}

void TDBRows::ClearColumns() {
  Clear();
  columns_.clear();
  record_size_ = 0;
}

void TDBRows::Clear() {
  Give(held_);
  count_ = 0;
  records_ = std::vector<uint8_t>();
  slots_ = std::vector<uint8_t*>();
  pages_.clear();
  page_sizes_.clear();
  page_used_ = 0;
  unused_ = 0;
}

void TDBRows::Reserve(int32_t rows) {
  const size_t want = static_cast<size_t>(count_) + static_cast<size_t>(std::max(rows, 0));
  if (Fixed()) {
    const size_t bytes = want * static_cast<size_t>(record_size_);
    if (bytes <= records_.capacity()) return;
    Take(static_cast<int64_t>(bytes - records_.capacity()), TDBGrowth::Loaded);
    records_.reserve(bytes);
  } else if (want > slots_.capacity()) {
    Take(static_cast<int64_t>((want - slots_.capacity()) * sizeof(uint8_t*)), TDBGrowth::Loaded);
    slots_.reserve(want);
  }
}

bool TDBRows::GrowRows(TDBGrowth growth) {
  // Grows by a quarter, so that a table near the budget does not ask for
  // twice what it holds.
  const auto grow = [&](auto& items, size_t need, size_t unit) {
    if (need <= items.capacity()) return true;
    const size_t capacity = std::max({need, items.capacity() + items.capacity() / 4, size_t{64} / unit});
    if (!Take(static_cast<int64_t>((capacity - items.capacity()) * unit), growth)) return false;
    items.reserve(capacity);
    return true;
  };
  if (Fixed()) {
    const size_t rs = static_cast<size_t>(record_size_);
    if (!grow(records_, (static_cast<size_t>(count_) + 1) * rs, 1)) return false;
    records_.resize(records_.size() + rs);
    return true;
  }
  return grow(slots_, static_cast<size_t>(count_) + 1, sizeof(uint8_t*));
}

bool TDBRows::AppendEmpty(TDBGrowth growth) {
  if (!GrowRows(growth)) return false;
  if (!Fixed()) slots_.push_back(const_cast<uint8_t*>(kEmptySlot));
  ++count_;
  return true;
}

void TDBRows::Erase(int32_t row) {
  if (Fixed()) {
    const auto at = records_.begin() + static_cast<ptrdiff_t>(row) * record_size_;
    records_.erase(at, at + record_size_);
  } else {
    if (Slot(row) != kEmptySlot) unused_ += SlotBytes(Slot(row));
    slots_.erase(slots_.begin() + row);
  }
  --count_;
  CompactPagesWhenSparse();
}

void TDBRows::Reorder(const std::vector<int32_t>& order) {
  if (Fixed()) {
    std::vector<uint8_t> sorted;
    sorted.reserve(records_.capacity());
    for (int32_t i : order) {
      const auto at = records_.begin() + static_cast<ptrdiff_t>(i) * record_size_;
      sorted.insert(sorted.end(), at, at + record_size_);
    }
    records_ = std::move(sorted);
  } else {
    std::vector<uint8_t*> sorted;
    sorted.reserve(slots_.capacity());
    for (int32_t i : order) sorted.push_back(slots_[static_cast<size_t>(i)]);
    slots_ = std::move(sorted);
  }
}

bool TDBRows::AppendCopyOf(const TDBRows& source, int32_t row, TDBGrowth growth) {
  // The cells are copied out first: the source may be these rows, which
  // the append moves.
  std::vector<std::string> copies;
  for (const std::string_view cell : source.Cells(row)) copies.emplace_back(cell);
  return AppendRow(std::vector<std::string_view>(copies.begin(), copies.end()), growth);
}

// ---------------------------------------------------------------------------
// Cells

std::string_view TDBRows::Cell(int32_t row, int32_t column) const {
  const std::vector<std::string_view> cells = Cells(row);
  return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)] : std::string_view();
}

std::vector<std::string_view> TDBRows::Cells(int32_t row) const {
  std::vector<std::string_view> cells;
  if (Fixed()) {
    const char* record = reinterpret_cast<const char*>(records_.data()) + static_cast<ptrdiff_t>(row) * record_size_;
    for (const TColumn& c : columns_) cells.emplace_back(record + c.Offset, static_cast<size_t>(c.Size));
    return cells;
  }
  const std::string_view content = SlotContent(Slot(row));
  const uint8_t* at = reinterpret_cast<const uint8_t*>(content.data());
  const uint8_t* const end = at + content.size();
  for (const TColumn& c : columns_) {
    if (at >= end) break;
    size_t n = static_cast<size_t>(c.Size);
    if (c.Text) n = std::min(GetLength(at, end), n);
    n = std::min(n, static_cast<size_t>(end - at));
    cells.emplace_back(reinterpret_cast<const char*>(at), n);
    at += n;
  }
  return cells;
}

std::string TDBRows::Encode(const std::vector<std::string_view>& cells) const {
  size_t last = std::min(cells.size(), columns_.size());
  while (last > 0 && Trimmed(cells[last - 1]).empty()) --last;
  std::string out;
  for (size_t c = 0; c < last; ++c) {
    const TColumn& column = columns_[c];
    const std::string_view cell = cells[c].substr(0, static_cast<size_t>(column.Size));
    if (column.Text) {
      const std::string_view held = Trimmed(cell);
      PutLength(out, held.size());
      out.append(held);
    } else {
      out.append(cell);
      out.append(static_cast<size_t>(column.Size) - cell.size(), '\0');
    }
  }
  return out;
}

uint8_t* TDBRows::PlaceSlot(std::string_view content, TDBGrowth growth) {
  // No slot may take more than all tables together (no row comes near it:
  // a record is at most 16 MiB), so the page sized for it stays bounded.
  constexpr auto kMostSlot = static_cast<size_t>(kMaxDBHeldBytes);
  const size_t slot_bytes = LengthBytes(content.size()) + content.size();
  if (content.size() > kMostSlot || slot_bytes > kMostSlot) return nullptr;
  const auto bytes = static_cast<int64_t>(slot_bytes);
  if (pages_.empty() || page_used_ + bytes > page_sizes_.back()) {
    const int64_t next = pages_.empty() ? kLeastPage : std::min(kMostPage, page_sizes_.back() * 2);
    const int64_t size = std::max(next, bytes);
    if (!Take(size, growth)) return nullptr;
    // The end of a page no slot fits in stays unused.
    if (!pages_.empty()) unused_ += page_sizes_.back() - page_used_;
    pages_.push_back(std::make_unique<uint8_t[]>(static_cast<size_t>(size)));
    page_sizes_.push_back(size);
    page_used_ = 0;
  }
  uint8_t* slot = pages_.back().get() + page_used_;
  std::string head;
  PutLength(head, content.size());
  std::memcpy(slot, head.data(), head.size());
  if (!content.empty()) std::memcpy(slot + head.size(), content.data(), content.size());
  page_used_ += bytes;
  return slot;
}

bool TDBRows::AppendRow(const std::vector<std::string_view>& cells, TDBGrowth growth) {
  if (Fixed()) {
    if (!GrowRows(growth)) return false;
    uint8_t* record = records_.data() + static_cast<ptrdiff_t>(count_) * record_size_;
    for (size_t c = 0; c < cells.size() && c < columns_.size(); ++c) {
      const std::string_view cell = cells[c].substr(0, static_cast<size_t>(columns_[c].Size));
      if (!cell.empty()) std::memcpy(record + columns_[c].Offset, cell.data(), cell.size());
    }
    ++count_;
    return true;
  }
  const std::string content = Encode(cells);
  if (!GrowRows(growth)) return false;
  uint8_t* slot = content.empty() ? const_cast<uint8_t*>(kEmptySlot) : PlaceSlot(content, growth);
  if (slot == nullptr) return false;
  slots_.push_back(slot);
  ++count_;
  return true;
}

bool TDBRows::SetCell(int32_t row, int32_t column, std::string_view bytes) {
  const TColumn& c = columns_[static_cast<size_t>(column)];
  bytes = bytes.substr(0, static_cast<size_t>(c.Size));
  if (Fixed()) {
    uint8_t* cell = records_.data() + static_cast<ptrdiff_t>(row) * record_size_ + c.Offset;
    std::memset(cell, 0, static_cast<size_t>(c.Size));
    if (!bytes.empty()) std::memcpy(cell, bytes.data(), bytes.size());
    return true;
  }
  std::vector<std::string> copies;
  for (const std::string_view cell : Cells(row)) copies.emplace_back(cell);
  if (static_cast<size_t>(column) >= copies.size()) copies.resize(static_cast<size_t>(column) + 1);
  copies[static_cast<size_t>(column)] = std::string(bytes);
  const std::string content = Encode(std::vector<std::string_view>(copies.begin(), copies.end()));
  uint8_t* const old = slots_[static_cast<size_t>(row)];
  const std::string_view room = SlotContent(old);
  if (content.size() <= room.size()) {
    // Rewritten in place: the zeros after the cells read as cells holding
    // nothing.
    uint8_t* at = const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(room.data()));
    if (!room.empty()) {
      std::memcpy(at, content.data(), content.size());
      std::memset(at + content.size(), 0, room.size() - content.size());
    }
    return true;
  }
  if (GrowLastSlot(old, content)) return true;
  uint8_t* slot = PlaceSlot(content, TDBGrowth::Budgeted);
  if (slot == nullptr) return false;
  if (old != kEmptySlot) unused_ += SlotBytes(old);
  slots_[static_cast<size_t>(row)] = slot;
  CompactPagesWhenSparse();
  return true;
}

bool TDBRows::GrowLastSlot(uint8_t* slot, std::string_view content) {
  // A row filled cell by cell (a script's insert) is the last slot placed
  // and grows where it is while its page has room.
  if (pages_.empty() || slot == kEmptySlot) return false;
  uint8_t* const page = pages_.back().get();
  // Compared as addresses: the slot may lie in another page.
  const uintptr_t at = reinterpret_cast<uintptr_t>(slot), first = reinterpret_cast<uintptr_t>(page);
  if (at < first || at >= first + static_cast<uintptr_t>(page_used_)) return false;
  const int64_t start = static_cast<int64_t>(at - first);
  if (start + SlotBytes(slot) != page_used_) return false;
  const int64_t bytes = static_cast<int64_t>(LengthBytes(content.size()) + content.size());
  if (start + bytes > page_sizes_.back()) return false;
  std::string head;
  PutLength(head, content.size());
  std::memcpy(slot, head.data(), head.size());
  std::memcpy(slot + head.size(), content.data(), content.size());
  page_used_ = start + bytes;
  return true;
}

void TDBRows::CompactPagesWhenSparse() {
  if (Fixed() || unused_ < kLeastUnusedToCompact) return;
  int64_t pages = 0;
  for (const int64_t size : page_sizes_) pages += size;
  if (unused_ * 2 <= pages) return;
  TDBRows packed;
  packed.columns_ = columns_;
  packed.record_size_ = record_size_;
  packed.Reserve(count_);
  for (int32_t r = 0; r < count_; ++r) {
    const std::string_view content = SlotContent(Slot(r));
    // Within the budget: the packed rows hold less than these.
    uint8_t* slot = Slot(r) == kEmptySlot ? const_cast<uint8_t*>(kEmptySlot)
                                          : packed.PlaceSlot(content, TDBGrowth::Loaded);
    packed.slots_.push_back(slot);
    ++packed.count_;
  }
  *this = std::move(packed);
}

}  // namespace orba
