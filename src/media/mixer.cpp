#include "media/mixer.h"

#include <algorithm>
#include <cmath>

#include "media/media_item.h"

namespace orba {

TMixer::TMixer(std::shared_ptr<TAudioOutput> output) : output_(std::move(output)), mix_(kChunkFrames * 2) {
  items_.reserve(64);
  if (output_) output_->Start(this);
}

TMixer::~TMixer() {
  if (output_) output_->Start(nullptr);
}

void TMixer::Add(TDMediaItem* item) {
  TAudioLock lock(output_.get());
  items_.push_back(item);
}

void TMixer::Remove(TDMediaItem* item) {
  TAudioLock lock(output_.get());
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

void TMixer::Fill() {
  for (TDMediaItem* item : items_) item->Fill();
}

void TMixer::Pump(uint32_t game_ms) {
  if (output_) output_->Pump(game_ms);
}

void TMixer::Render(int16_t* out, size_t frames) {
  while (frames > 0) {
    const size_t n = std::min(frames, kChunkFrames);
    std::fill(mix_.begin(), mix_.begin() + static_cast<ptrdiff_t>(n * 2), 0.0f);
    for (TDMediaItem* item : items_) item->MixInto(mix_.data(), n);
    for (size_t i = 0; i < n * 2; ++i)
      out[i] = static_cast<int16_t>(std::lrint(std::clamp(mix_[i], -1.0f, 1.0f) * 32767.0f));
    out += n * 2;
    frames -= n;
  }
}

}  // namespace orba
