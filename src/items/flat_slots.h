// Linear probing over a power-of-two table of slots, for the object
// manager's index of names. A slot type tells whether it
// is empty (Empty()); the caller gives each entry's home slot before
// masking (its key's hash). The table is kept at most half full, so that a
// search for a key not in it ends after a probe or two, and an erased slot
// is filled by moving later entries of its run back, so that no markers of
// erased entries pile up.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orba::flat_slots {

// The table's first capacity (slots).
constexpr size_t kFirstCapacity = 64;

// What Find answers for a key not in the table.
constexpr size_t kNone = SIZE_MAX;

// The slot from Home on that Match accepts, up to the first empty one;
// kNone when none does.
template <class TSlot, class TMatch>
size_t Find(const std::vector<TSlot>& slots, size_t home, TMatch match) {
  if (slots.empty()) return kNone;
  const size_t mask = slots.size() - 1;
  for (size_t at = home & mask;; at = (at + 1) & mask) {
    if (slots[at].Empty()) return kNone;
    if (match(slots[at])) return at;
  }
}

// The first empty slot from Home on.
template <class TSlot>
size_t FreeSlot(const std::vector<TSlot>& slots, size_t home) {
  const size_t mask = slots.size() - 1;
  size_t at = home & mask;
  while (!slots[at].Empty()) at = (at + 1) & mask;
  return at;
}

// Makes room for one entry more than Used, doubling the table when it
// would be more than half full.
template <class TSlot, class THome>
void Reserve(std::vector<TSlot>& slots, size_t used, THome home) {
  if ((used + 1) * 2 <= slots.size()) return;
  std::vector<TSlot> old(std::max(kFirstCapacity, slots.size() * 2));
  old.swap(slots);
  for (const TSlot& slot : old)
    if (!slot.Empty()) slots[FreeSlot(slots, home(slot))] = slot;
}

// Empties slot At; each later entry of its run moves back into the gap
// unless its home lies after the gap on the way to it (it would then be
// found no more).
template <class TSlot, class THome>
void Erase(std::vector<TSlot>& slots, size_t at, THome home) {
  const size_t mask = slots.size() - 1;
  size_t gap = at;
  for (size_t next = (gap + 1) & mask; !slots[next].Empty(); next = (next + 1) & mask) {
    if (((next - home(slots[next])) & mask) >= ((next - gap) & mask)) {
      slots[gap] = slots[next];
      gap = next;
    }
  }
  slots[gap] = TSlot{};
}

}  // namespace orba::flat_slots
