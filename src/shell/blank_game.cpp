#include "shell/blank_game.h"

#include <utility>

namespace orba {

TBlankGame::TBlankGame(std::string title)
    : title_(std::move(title)), screen_(static_cast<size_t>(kWidth) * kHeight, 0) {}

void TBlankGame::Present(TVideo& video) {
  // The screen never changes, so only the first painting has anything dirty.
  std::vector<TScreenRect> dirty;
  if (!shown_) dirty.push_back({0, 0, kWidth, kHeight});
  shown_ = true;
  video.Present({screen_.data(), kWidth, kHeight, kWidth}, dirty);
}

}  // namespace orba
