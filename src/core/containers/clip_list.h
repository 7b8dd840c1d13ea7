// The dirty-rectangle list of a screen root. Rectangles that come within 20
// pixels of a stored one are merged into it, so that painting works on a few
// larger areas instead of many small ones.
#pragma once

#include <cstdint>
#include <vector>

#include "core/streams/stream_encoding.h"

namespace orba {

class TClipList {
 public:
  static constexpr int32_t kMergeDistance = 20;

  // Set by Clear, AddRect and Delete; the users reset it.
  bool Changed = false;

  // Ignores an empty rectangle and one inside a stored rectangle; merges it
  // with the first stored rectangle within the merge distance (the union is
  // added again, so it may swallow more); otherwise appends it.
  void AddRect(const TRect& rect);
  int32_t Count() const { return static_cast<int32_t>(rects_.size()); }
  // Raise EListError outside 0..Count-1.
  const TRect& Get(int32_t index) const;
  void Delete(int32_t index);
  void Clear();

 private:
  std::vector<TRect> rects_;
};

}  // namespace orba
