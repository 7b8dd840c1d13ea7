#include "core/containers/clip_list.h"

#include <algorithm>

#include "core/containers/int_list.h"

namespace orba {
namespace {

bool IsEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

// Edges are compared in 64 bits so that the merge distance cannot overflow.
bool IsNear(const TRect& r, const TRect& s) {
  const int64_t d = TClipList::kMergeDistance;
  return r.Left <= int64_t{s.Right} + d && r.Top <= int64_t{s.Bottom} + d &&
         r.Right >= int64_t{s.Left} - d && r.Bottom >= int64_t{s.Top} - d;
}

bool IsInside(const TRect& r, const TRect& s) {
  return s.Left <= r.Left && s.Top <= r.Top && s.Right >= r.Right && s.Bottom >= r.Bottom;
}

TRect Union(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace

void TClipList::AddRect(const TRect& rect) {
  TRect r = rect;
  if (IsEmpty(r)) return;
  for (;;) {
    const auto near = std::find_if(rects_.begin(), rects_.end(), [&r](const TRect& s) { return IsNear(r, s); });
    if (near == rects_.end()) break;
    if (IsInside(r, *near)) return;
    r = Union(r, *near);
    Delete(static_cast<int32_t>(near - rects_.begin()));
  }
  rects_.push_back(r);
  Changed = true;
}

const TRect& TClipList::Get(int32_t index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return rects_[static_cast<size_t>(index)];
}

void TClipList::Delete(int32_t index) {
  Get(index);
  rects_.erase(rects_.begin() + index);
  Changed = true;
}

void TClipList::Clear() {
  rects_.clear();
  Changed = true;
}

}  // namespace orba
