// The one mixer: the source the sound output pulls, adding every playing
// media item. The tick refills the items' buffers and pumps the output.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio.h"

namespace orba {

class TDMediaItem;

class TMixer : public TAudioSource {
 public:
  // Output may be nullptr: nothing is heard and no time passes for items.
  explicit TMixer(std::shared_ptr<TAudioOutput> output);
  ~TMixer() override;
  TMixer(const TMixer&) = delete;
  TMixer& operator=(const TMixer&) = delete;

  void Add(TDMediaItem* item);
  void Remove(TDMediaItem* item);
  // Once a tick, after the script: decodes ahead for every item.
  void Fill();
  // Once a tick, before the script: lets the output render up to the game
  // clock when the tick drives it.
  void Pump(uint32_t game_ms);
  void Render(int16_t* out, size_t frames) override;
  TAudioOutput* Output() const { return output_.get(); }

 private:
  static constexpr size_t kChunkFrames = 1024;
  std::shared_ptr<TAudioOutput> output_;
  std::vector<TDMediaItem*> items_;
  std::vector<float> mix_;
};

}  // namespace orba
