#include "media/video_manager.h"

#include <algorithm>

#include "media/av_decoder.h"
#include "media/mixer.h"
#include "platform/audio.h"

namespace orba {

namespace {

// The file's sound, silent from its end (or throughout, without one) to the
// end of the pictures, so that the item's length and end are the video's.
class TPaddedDecoder : public TDecoder {
 public:
  TPaddedDecoder(std::unique_ptr<TDecoder> sound, int64_t length_ms)
      : sound_(std::move(sound)),
        frames_(std::max(sound_ ? sound_->Frames() : 0, length_ms * kAudioRate / 1000)) {}
  int32_t Rate() const override { return kAudioRate; }
  int32_t Channels() const override { return 2; }
  int64_t Frames() const override { return frames_; }

  size_t Read(float* out, size_t frames) override {
    frames = static_cast<size_t>(std::clamp<int64_t>(frames_ - pos_, 0, static_cast<int64_t>(frames)));
    size_t got = 0;
    if (sound_ && pos_ < sound_->Frames()) got = sound_->Read(out, frames);
    // A sound that ends early (or reads short) is followed by silence.
    if (got == 0) {
      got = frames;
      std::fill(out, out + got * 2, 0.0f);
    }
    pos_ += static_cast<int64_t>(got);
    return got;
  }

  void Seek(int64_t frame) override {
    pos_ = std::clamp<int64_t>(frame, 0, frames_);
    if (sound_) sound_->Seek(std::min(pos_, sound_->Frames()));
  }

 private:
  std::unique_ptr<TDecoder> sound_;
  int64_t frames_;
  int64_t pos_ = 0;
};

}  // namespace

TVideoItem::TVideoItem(TMixer& mixer, TMediaManager* owner, std::unique_ptr<TDecoder> sound,
                       std::unique_ptr<TVideoDecoder> video, bool no_overlay)
    : TDMediaItem(mixer, owner, std::move(sound)), video_(std::move(video)), no_overlay_(no_overlay) {}

bool TVideoItem::NeedPaint() {
  const bool need = need_paint_;
  need_paint_ = false;
  return need;
}

void TVideoItem::SetRect(const TRect& source, const TRect& dest) {
  source_ = source;
  dest_ = dest;
}

void TVideoItem::Update(uint32_t game_ms) {
  if (Mixer().Output() == nullptr) {
    // No output pulls the sound: it is used up as the game's time passes.
    if (clock_started_ && IsPlaying()) {
      owed_frames_ += static_cast<int64_t>(game_ms - last_ms_) * kAudioRate;
      float scratch[2 * 512];
      while (owed_frames_ >= 1000 && IsPlaying()) {
        const int64_t n = std::min<int64_t>(owed_frames_ / 1000, 512);
        std::fill(std::begin(scratch), std::end(scratch), 0.0f);
        Fill();
        MixInto(scratch, static_cast<size_t>(n));
        owed_frames_ -= n * 1000;
      }
    }
    if (!IsPlaying()) owed_frames_ = 0;
    clock_started_ = true;
    last_ms_ = game_ms;
  }
  if (video_->Advance(GetPosition())) {
    need_paint_ = true;
    ++pictures_;
  }
}

TVideoItem* TVideoManager::Add(const std::string& name, bool no_overlay) {
  no_overlay_ = no_overlay;
  return static_cast<TVideoItem*>(TMediaManager::Add(name));
}

std::unique_ptr<TDMediaItem> TVideoManager::Open(const std::string& name) {
  // The pictures and the sound are read on different threads: each has a
  // stream of its own on the file, over one unpacking of a packed entry.
  std::vector<std::unique_ptr<TKsBigStream>> files = OpenFiles(name, 2);
  auto video = std::make_unique<TVideoDecoder>(std::move(files[0]));
  std::unique_ptr<TDecoder> sound;
  try {
    sound = MakeAvDecoder(std::move(files[1]));
  } catch (const EMediaError&) {
    // A video without a sound track plays silence.
  }
  auto padded = std::make_unique<TPaddedDecoder>(std::move(sound), video->Length());
  return std::make_unique<TVideoItem>(mixer_, this, std::move(padded), std::move(video), no_overlay_);
}

void TVideoManager::Tick(uint32_t game_ms) {
  for (const auto& item : Items()) static_cast<TVideoItem*>(item.get())->Update(game_ms);
}

std::vector<TVideoOverlay> TVideoManager::Overlays() const {
  std::vector<TVideoOverlay> out;
  for (const auto& entry : Items()) {
    const auto* item = static_cast<const TVideoItem*>(entry.get());
    if (item->NoOverlay() || !item->GetVisible() || RectIsEmpty(item->DestRect())) continue;
    const TVideoFrame& picture = item->Picture();
    const int32_t w = item->GetSourceWidth(), h = item->GetSourceHeight();
    if (picture.Pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) continue;
    const TRect& s = item->SourceRect();
    const TRect& d = item->DestRect();
    out.push_back(TVideoOverlay{TFrameView{picture.Pixels.data(), w, h, w}, TScreenRect{s.Left, s.Top, s.Right, s.Bottom},
                                TScreenRect{d.Left, d.Top, d.Right, d.Bottom}, item->PictureCount()});
  }
  return out;
}

}  // namespace orba
