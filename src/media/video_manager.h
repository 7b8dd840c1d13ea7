// Video media items and their manager. A video item is a media item whose
// sound is the file's audio track (silence when it has none, padded to the
// picture's length), played through the mixer like any sound; its pictures
// come from a video decoder and follow the sound's position, which is the
// clock of the output (or of the game when there is no output). In overlay
// mode the presenter draws the current picture into the item's destination
// rectangle; without overlay the picture is read through GetDC.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "media/media_managers.h"
#include "media/video_decoder.h"
#include "platform/video.h"

namespace orba {

class TVideoItem : public TDMediaItem {
 public:
  TVideoItem(TMixer& mixer, TMediaManager* owner, std::unique_ptr<TDecoder> sound,
             std::unique_ptr<TVideoDecoder> video, bool no_overlay);

  int32_t GetSourceWidth() const { return video_->Width(); }
  int32_t GetSourceHeight() const { return video_->Height(); }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  // True once for each new picture.
  bool NeedPaint();
  // The overlay's rectangles: source pixels and window pixels.
  void SetRect(const TRect& source, const TRect& dest);
  const TRect& SourceRect() const { return source_; }
  const TRect& DestRect() const { return dest_; }
  bool NoOverlay() const { return no_overlay_; }
  // The current picture (source width x height) without overlay; nullptr in
  // overlay mode.
  const TVideoFrame* GetDC() const { return no_overlay_ ? &video_->Current() : nullptr; }
  const TVideoFrame& Picture() const { return video_->Current(); }
  // Counts the pictures shown so far.
  uint64_t PictureCount() const { return pictures_; }

  // The tick: without a sound output the sound is consumed at the game
  // clock's pace; then the picture of the position is taken.
  void Update(uint32_t game_ms);

 private:
  std::unique_ptr<TVideoDecoder> video_;
  bool no_overlay_;
  bool visible_ = false;
  bool need_paint_ = true;
  uint64_t pictures_ = 1;
  TRect source_{}, dest_{};
  bool clock_started_ = false;
  uint32_t last_ms_ = 0;
  int64_t owed_frames_ = 0;  // sound frames of game time not yet consumed, in 1/1000 frames
};

class TVideoManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;
  // The item playing the file Name, read through the file manager's streams
  // (as sounds are); nullptr, with the reason in the trace and once on
  // standard error, when it cannot be played.
  TVideoItem* Add(const std::string& name, bool no_overlay);
  // The tick of every item.
  void Tick(uint32_t game_ms);
  // The pictures the presenter draws over the game: visible overlay-mode
  // items with a destination, in the order they were added.
  std::vector<TVideoOverlay> Overlays() const;

 protected:
  std::unique_ptr<TDMediaItem> Open(const std::string& name) override;
  const char* Kind() const override { return "video"; }

 private:
  bool no_overlay_ = false;
};

}  // namespace orba
