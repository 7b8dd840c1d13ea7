// The interpreter's cache of loaded pages, most recently used first. Names
// compare exactly. A page that is brought to the front and is new pushes
// the least recently used pages out beyond the limit of 10, but never the
// page being executed: the cache then holds more until that page moves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/interp/page.h"

namespace orba {

constexpr int32_t kPageCacheLimit = 10;

class TPageCache {
 public:
  int32_t Count() const { return static_cast<int32_t>(pages_.size()); }
  TPage* GetItem(int32_t index) const { return pages_.at(static_cast<size_t>(index)).get(); }
  // The cached page of that name, or nullptr; the order is unchanged.
  TPage* Find(const std::string& name) const;

  // The page of that name, loaded through the page host when it is not
  // cached (a failed load frees the half-loaded page and passes the error
  // on). With MoveToFront the page becomes the most recently used and, when
  // new, evicts beyond the limit all but Current; otherwise a new page is
  // appended at the end and nothing is evicted.
  TPage* GetPage(const std::string& name, bool move_to_front, const TPage* current);
  void Clear() { pages_.clear(); }

 private:
  std::vector<std::unique_ptr<TPage>> pages_;
};

}  // namespace orba
