#include "media/video_item.h"

#include <algorithm>
#include <cstring>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/orba_base.h"
#include "media/media_system.h"
#include "media/mixer_fade.h"
#include "media/video_manager.h"

namespace orba {

namespace {

// New-frame checks are at least this far apart (ms).
constexpr uint32_t kFrameCheckMs = 33;

bool SourceAvailable(const std::string& source) {
  return !source.empty() && (!MediaFileAvailable || MediaFileAvailable(source));
}

int32_t Scaled(int64_t size, int32_t zoom) { return SaturateInt32(size * zoom / 256); }

// Copies Picture (Width x Height pixels, bytes blue, green, red, 0) into
// the top left of Bitmap.
void CopyPicture(const TVideoFrame& picture, int32_t width, int32_t height, TCustomDIBX& bitmap) {
  const int32_t w = std::min(width, bitmap.Width()), h = std::min(height, bitmap.Height());
  if (w <= 0 || h <= 0 || picture.Pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) return;
  const bool same_form = bitmap.BitCount() == 32 && bitmap.RedShift() == 16 && bitmap.GreenShift() == 8;
  if (uint8_t* origin = same_form ? bitmap.Lock(0, 0) : nullptr) {
    const std::ptrdiff_t pitch = bitmap.Pitch();
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(origin + y * pitch, picture.Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                  static_cast<size_t>(w) * 4u);
    bitmap.Unlock();
    return;
  }
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = picture.Pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      const int32_t color = static_cast<int32_t>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
      bitmap.SetPixel(x, y, static_cast<uint32_t>(bitmap.ColorToPixel(color)));
    }
  }
}

}  // namespace

TOrbaVideo::TOrbaVideo(TOrbaBaseList* manager) : TOrbaCustomImage(manager) {}

TOrbaVideo::~TOrbaVideo() {
  GiveBackItems();
  OverrideDIB = nullptr;
}

void TOrbaVideo::GiveBackItems() {
  fader_.reset();
  GiveBack(fading_);
  fading_ = nullptr;
  GiveBack(item_);
  item_ = nullptr;
}

void TOrbaVideo::GiveBack(TVideoItem* item) {
  if (item == nullptr) return;
  TMediaManager* owner = item->Owner();
  owner->Remove(item);
  Trace("video given back; " + std::to_string(owner->Count()) + " open");
}

int32_t TOrbaVideo::MixerLevel() const { return VolumeToMixerLevel(Volume); }

void TOrbaVideo::MakeFrameBitmap() {
  if (item_ == nullptr) return;
  frame_ = NewItemSurface(ItemBitCount());
  frame_->SetSize(std::max(item_->GetSourceWidth(), 1), std::max(item_->GetSourceHeight(), 1), ItemBitCount());
  SetDIB(frame_.get());
}

void TOrbaVideo::DropFrameBitmap() {
  SetDIB(nullptr);
  frame_.reset();
}

void TOrbaVideo::UpdateVideoWidth() {
  Width = item_ != nullptr ? Scaled(item_->GetSourceWidth(), MovieZoomX) : 0;
}

void TOrbaVideo::UpdateVideoHeight() {
  Height = item_ != nullptr ? Scaled(item_->GetSourceHeight(), MovieZoomY) : 0;
}

void TOrbaVideo::PositionOverlay() {
  if (item_ == nullptr || !Overlay) return;
  const int32_t sw = item_->GetSourceWidth(), sh = item_->GetSourceHeight();
  const int64_t left = GetScreenLeft(), top = GetScreenTop();
  const TRect dest{SaturateInt32(left), SaturateInt32(top), SaturateInt32(left + Scaled(sw, MovieZoomX)),
                   SaturateInt32(top + Scaled(sh, MovieZoomY))};
  TRect clipped = dest;
  if (GetParent() != nullptr) GetParent()->ClipToBounds(clipped);
  if (const TOrbaBase* root = GetScreen()) IntersectRects(clipped, TRect{0, 0, root->GetWidth(), root->GetHeight()}, clipped);
  if (RectIsEmpty(clipped) || !IsShown()) {
    item_->SetVisible(false);
    return;
  }
  // The source rectangle loses what the clip took off each edge.
  const TRect source{SaturateInt32((int64_t{clipped.Left} - dest.Left) * 256 / MovieZoomX),
                     SaturateInt32((int64_t{clipped.Top} - dest.Top) * 256 / MovieZoomY),
                     SaturateInt32(sw - (int64_t{dest.Right} - clipped.Right) * 256 / MovieZoomX),
                     SaturateInt32(sh - (int64_t{dest.Bottom} - clipped.Bottom) * 256 / MovieZoomY)};
  const auto window = [](int32_t v) { return SaturateInt32(int64_t{v} * DisplayScale / 100); };
  item_->SetRect(source, TRect{window(clipped.Left), window(clipped.Top), window(clipped.Right), window(clipped.Bottom)});
  item_->SetVisible(true);
}

void TOrbaVideo::FadeIn() {
  // The fade plays the item: it is played again.
  item_->SetEnd(false);
  fader_ = std::make_unique<TOrbaMixerFadein>(item_, MixerLevel(), static_cast<uint32_t>(std::max(Delay, 0)));
}

void TOrbaVideo::SetSource(std::string v) {
  if (v == Source) return;
  Source = std::move(v);
  fader_.reset();
  GiveBack(fading_);
  fading_ = nullptr;
  Invalidate();
  GiveBack(item_);
  item_ = nullptr;
  DropFrameBitmap();
  State = 2;
}

void TOrbaVideo::SetRepeat(bool v) {
  Repeat = v;
  if (item_ == nullptr) return;
  item_->SetRepeat(v);
  // As the sound item: a movie at its end given Repeat starts over. The
  // media item stopped at its end, so it is played again from 0 (unless an
  // animation pause holds it), and plays while PR_PLAYING says it does.
  if (v && !Paused && item_->GetPosition() >= item_->GetLength() - 1) {
    item_->SetPosition(0);
    item_->SetEnd(false);
    if (PlayAllowed()) item_->Play();
  }
}

void TOrbaVideo::SetPaused(bool v) {
  if (v == Paused) return;
  const bool allowed = PlayAllowed();
  Paused = v;
  if (allowed != PlayAllowed()) ApplyPause();
}

void TOrbaVideo::SetAniPaused(bool v) {
  if (v == AniPaused) return;
  const bool allowed = PlayAllowed();
  AniPaused = v;
  if (allowed != PlayAllowed()) ApplyPause();
}

void TOrbaVideo::ApplyPause() {
  if (item_ == nullptr) return;
  if (!PlayAllowed()) {
    item_->Pause();
  } else if (State == 1) {
    FadeIn();
  } else {
    PlayItem();
  }
}

void TOrbaVideo::PlayItem() {
  item_->SetEnd(false);
  item_->Play();
}

void TOrbaVideo::SetVolume(int32_t v) {
  Volume = v;
  if (item_ == nullptr) return;
  if (auto* fade = dynamic_cast<TOrbaMixerFadein*>(fader_.get())) fade->TargetVolume = MixerLevel();
  else item_->SetVolume(MixerLevel());
}

void TOrbaVideo::SetBalance(int32_t v) {
  Balance = std::clamp(v, kSilentLevel, kBalanceRightOnly);
  if (item_ != nullptr) item_->SetBalance(Balance);
}

int32_t TOrbaVideo::GetIndex() const { return item_ != nullptr ? item_->GetPosition() : 0; }

void TOrbaVideo::SetIndex(int32_t v) {
  StartPos = v;
  if (item_ == nullptr) return;
  item_->SetPosition(v);
  item_->SetEnd(false);
}

int32_t TOrbaVideo::GetCount() const {
  if (item_ != nullptr) return item_->GetLength();
  if (!SourceAvailable(Source) || VideoManager == nullptr) return 0;
  TVideoItem* probe = VideoManager->Add(Source, true);
  if (probe == nullptr) return 0;
  const int32_t length = probe->GetLength();
  GiveBack(probe);
  return length;
}

bool TOrbaVideo::GetPlaying() const {
  if (!PlayAllowed()) return false;
  return Repeat || (item_ != nullptr && item_->GetPosition() < item_->GetLength() - 1);
}

void TOrbaVideo::SetOverlay(bool v) {
  if (v == Overlay) return;
  if (item_ == nullptr) {
    Overlay = v;
    return;
  }
  const int32_t position = item_->GetPosition();
  SetState(2);
  StartPos = position;
  Overlay = v;
  SetState(0);
}

void TOrbaVideo::SetZoomX(int32_t v) {
  Invalidate();
  MovieZoomX = std::max(v, 1);
  UpdateVideoWidth();
  ZoomChanged();
}

void TOrbaVideo::SetZoomY(int32_t v) {
  Invalidate();
  MovieZoomY = std::max(v, 1);
  UpdateVideoHeight();
  ZoomChanged();
}

void TOrbaVideo::ZoomChanged() {
  if (Overlay) PositionOverlay();
  else Invalidate();
}

void TOrbaVideo::SetState(uint8_t state) {
  fader_.reset();
  // A fade-out that another state interrupts gives its item back at once.
  GiveBack(fading_);
  fading_ = nullptr;
  State = state;
  if ((State == 0 || State == 1) && item_ == nullptr && SourceAvailable(Source) && VideoManager != nullptr) {
    item_ = VideoManager->Add(Source, !Overlay);
    if (item_ != nullptr) {
      item_->SetRepeat(Repeat);
      if (Overlay && GetVisible()) PositionOverlay();
      MakeFrameBitmap();
      UpdateVideoWidth();
      UpdateVideoHeight();
      Invalidate();
      item_->SetBalance(Balance);
      LastCheck = GameClock;
    }
  } else if (State == 2 && item_ != nullptr) {
    Invalidate();
    GiveBack(item_);
    item_ = nullptr;
    DropFrameBitmap();
    StartPos = 0;
  }
  if (State == 0 && item_ != nullptr) {
    item_->SetVolume(MixerLevel());
    PlayItem();
    if (!PlayAllowed()) item_->Pause();
    if (StartPos > 0) item_->SetPosition(StartPos);
  } else if (State == 1 && item_ != nullptr) {
    if (PlayAllowed()) FadeIn();
  } else if (State == 3) {
    if (item_ == nullptr) {
      Scrap();
      return;
    }
    fader_ = std::make_unique<TOrbaMixerFadeout>(item_, kSilentLevel, static_cast<uint32_t>(std::max(Delay, 0)));
    fading_ = item_;
    item_ = nullptr;
    StartPos = 0;
  }
}

void TOrbaVideo::Play() {
  StartPos = 0;
  Paused = false;
  SetState(1);
  if (item_ == nullptr) return;
  fader_ = PlayFromStart(*item_, MixerLevel(), Delay);
  item_->SetEnd(false);
}

bool TOrbaVideo::Idle() {
  const bool answer = TOrbaCustomImage::Idle();
  if (item_ != nullptr) {
    // Geometry and visibility may have changed anywhere up the tree.
    if (Overlay) PositionOverlay();
    if (GameClock - LastCheck >= kFrameCheckMs) {
      LastCheck = GameClock;
      if (item_->NeedPaint()) Invalidate();
    }
    // The item keeps its end mark (and its last picture) until it is
    // played or sought again, and OnPlayEnd comes on every tick at the end:
    // once the handler of the last one has run, so that a handler that
    // waits or cannot run yet does not pile up calls of itself.
    if (item_->IsEnd() && !Repeat) {
      if (AutoScrap) return true;
      if (!OnPlayEnd.empty() && !EventQueued(PR_ONPLAYEND)) QueueEvent(OnPlayEnd, PR_ONPLAYEND);
    }
  }
  if (fader_ != nullptr && fader_->Step()) {
    fader_.reset();
    if (fading_ != nullptr) {
      // The fade-out has ended: its item goes back to the manager.
      GiveBack(fading_);
      fading_ = nullptr;
      Invalidate();
      return true;
    }
  }
  return answer;
}

void TOrbaVideo::Draw() {
  if (item_ != nullptr && frame_ != nullptr) {
    if (const TVideoFrame* picture = item_->GetDC())
      CopyPicture(*picture, item_->GetSourceWidth(), item_->GetSourceHeight(), *frame_);
  }
  TOrbaCustomImage::Draw();
}

void TOrbaVideo::FreeSurface() {
  DropFrameBitmap();
  TOrbaCustomImage::FreeSurface();
}

void TOrbaVideo::RestoreSurface() {
  TOrbaCustomImage::RestoreSurface();
  MakeFrameBitmap();
}

void TOrbaVideo::ReleaseScrapped() {
  GiveBackItems();
  TOrbaCustomImage::ReleaseScrapped();
}

void TOrbaVideo::SaveToStream(TKsBigStream& stream) const {
  TOrbaCustomImage::SaveToStream(stream);
  WriteStreamString(stream, Source);
  WriteStreamBool(stream, Repeat);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamBool(stream, Paused);
  WriteStreamInt(stream, Volume);
  WriteStreamInt(stream, Balance);
  WriteStreamInt(stream, Delay);
  WriteStreamInt(stream, GetIndex());
  WriteStreamByte(stream, State);
  WriteStreamString(stream, OnPlayEnd);
  WriteStreamString(stream, OnIdle);
  WriteStreamBool(stream, RewindOnLoad);
  WriteStreamBool(stream, Overlay);
  WriteStreamBool(stream, MuteOnLoad);
}

void TOrbaVideo::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaCustomImage::LoadFromStream(stream, version);
  // The image record holds the movie's own zoom (GetZoomX). Below 1 it is
  // an image item's explicit-size mark, which a movie given a Width or
  // Height may have saved: its zoom is then 1:1. The explicit size is not
  // kept: the movie is sized anew by its zoom when it opens.
  MovieZoomX = ZoomX >= 1 ? ZoomX : 256;
  MovieZoomY = ZoomY >= 1 ? ZoomY : 256;
  ZoomX = 256;
  ZoomY = 256;
  std::string source = ReadStreamString(stream);
  Repeat = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  const bool paused = ReadStreamBool(stream);
  Volume = ReadStreamInt(stream);
  Balance = ReadStreamInt(stream);
  const int32_t delay = ReadStreamInt(stream);
  const int32_t position = ReadStreamInt(stream);
  const uint8_t state = ReadByteVal(stream);
  OnPlayEnd = ReadStreamString(stream);
  OnIdle = ReadStreamString(stream);
  RewindOnLoad = version >= kSceneRewindOnLoadVersion ? ReadStreamBool(stream) : false;
  if (version >= kSceneVideoOverlayVersion) Overlay = ReadStreamBool(stream);
  MuteOnLoad = version >= kSceneMuteOnLoadVersion ? ReadStreamBool(stream) : false;
  Delay = 0;
  if (MuteOnLoad) Volume = 0;
  SetSource(std::move(source));
  StartPos = RewindOnLoad ? 0 : position;
  Paused = paused;
  // A video saved while fading out plays again and fades out anew.
  if (state == 3) SetState(0);
  Delay = delay;
  SetState(state);
}

void RegisterVideoItem() {
  RegisterCompoType(CT_VIDEO, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaVideo>(manager);
  });
}

}  // namespace orba
