#include "script/interp/page_cache.h"

namespace orba {

TPage* TPageCache::Find(const std::string& name) const {
  for (const auto& page : pages_)
    if (page->Name == name) return page.get();
  return nullptr;
}

TPage* TPageCache::GetPage(const std::string& name, bool move_to_front, const TPage* current) {
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->Name != name) continue;
    if (move_to_front && i > 0) {
      std::unique_ptr<TPage> page = std::move(pages_[i]);
      pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
      pages_.insert(pages_.begin(), std::move(page));
      return pages_.front().get();
    }
    return pages_[i].get();
  }
  auto page = std::make_unique<TPage>();
  page->LoadFromFile(name);  // on failure the new page is freed here
  TPage* result = page.get();
  if (!move_to_front) {
    pages_.push_back(std::move(page));
    return result;
  }
  pages_.insert(pages_.begin(), std::move(page));
  while (Count() > kPageCacheLimit && pages_.back().get() != current) pages_.pop_back();
  return result;
}

}  // namespace orba
