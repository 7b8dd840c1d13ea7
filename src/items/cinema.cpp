#include "items/cinema.h"

#include <algorithm>
#include <cmath>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/brix_cache.h"

namespace orba {

TOrbaCinema::TOrbaCinema(TOrbaBaseList* manager) : TOrbaControl(manager), Stage(std::make_unique<TOrbaBaseList>()) {}

TOrbaCinema::~TOrbaCinema() { Film.reset(); }

bool TOrbaCinema::OnStage() const { return Film != nullptr && Film->Stage == Stage.get(); }

int32_t TOrbaCinema::GetCount() const { return Film != nullptr ? Film->GetLength() : 0; }

int32_t TOrbaCinema::GetIndex() const { return Film != nullptr ? std::max(Film->LastFrame, 0) : 0; }

bool TOrbaCinema::GetPlaying() const {
  return Film != nullptr && GetIndex() < GetCount() - 1 && !Paused && !GetAniPaused();
}

void TOrbaCinema::SetSource(std::string v) {
  Invalidate();
  if (v == Source) return;
  Source = std::move(v);
  Film.reset();
  if (ProjectHasFile(Source)) {
    Film = LoadFilmOrTrace(Source);
    if (Film != nullptr) {
      Film->Volume = Volume;
      if (Film->UsesBackPage()) {
        Film->SetBaseList(Stage.get());
      } else if (Film->BackColor == -1) {
        Film->SetBaseList(Manager);
        Film->Host = this;
        SetWidth(Film->Width);
        SetHeight(Film->Height);
      } else {
        Film->SetBaseList(Stage.get());
      }
      Film->Prepare();
      UpdateFilmPause();
    }
  }
  Stage->Idle();
  Invalidate();
  Elapsed = 0;
  Ended = false;
  Countdown = 2;
}

void TOrbaCinema::UpdateFilmPause() {
  if (Film != nullptr) Film->SetPaused(Paused || GetAniPaused());
}

void TOrbaCinema::SetPaused(bool v) {
  if (v == Paused) return;
  Paused = v;
  UpdateFilmPause();
}

void TOrbaCinema::SetAniPaused(bool v) {
  if (v == AniPaused) return;
  AniPaused = v;
  UpdateFilmPause();
}

void TOrbaCinema::SetRepeat(bool v) {
  Repeat = v;
  if (v) Ended = false;
}

void TOrbaCinema::SetVolume(int32_t v) {
  Volume = std::max(v, 0);
  if (Film != nullptr) Film->Volume = Volume;
}

void TOrbaCinema::SetIndex(int32_t v) {
  Elapsed = TimeOfFrame(v, FramesPerSecond);
  Ended = false;
  Countdown = 2;
}

void TOrbaCinema::SizeStage() {
  if (Stage->Width != Width) Stage->SetWidth(Width);
  if (Stage->Height != Height) Stage->SetHeight(Height);
}

void TOrbaCinema::SetWidth(int32_t v) {
  TOrbaControl::SetWidth(v);
  SizeStage();
}

void TOrbaCinema::SetHeight(int32_t v) {
  TOrbaControl::SetHeight(v);
  SizeStage();
}

void TOrbaCinema::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TOrbaControl::SetBounds(left, top, width, height);
  SizeStage();
}

TOrbaObject* TOrbaCinema::HitTest(TPoint p, uint32_t mask) {
  if (!GetVisible() || !PointInRect(p, GetBoundsRect())) return nullptr;
  for (size_t i = GetChildren().size(); i-- > 0;) {
    TOrbaControl* child = GetChildren()[i];
    if (child->GetName().empty() || child->GetName()[0] == '\x01') continue;
    if (TOrbaObject* hit = child->HitTest(p, mask)) return hit;
  }
  const uint8_t v = GetIgnoreMouse();
  return v < 8 && ((mask >> v) & 1) != 0 ? this : nullptr;
}

bool TOrbaCinema::Idle() {
  bool answer = TOrbaControl::Idle();
  if (Film == nullptr) return answer;
  Film->SetPlaying(!GetAniPaused() && !Paused);
  if (Paused) return answer;
  if (!Ended && !GetAniPaused() && Countdown < 1)
    Elapsed = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Elapsed} + FrameTime, 0, INT32_MAX));
  int32_t frame = FrameAtTime(Elapsed, FramesPerSecond);
  const int32_t count = GetCount();
  if (frame >= count) {
    if (!Repeat) {
      if (AutoScrap) answer = true;
      else if (!Ended && !OnPlayEnd.empty()) QueueEvent(OnPlayEnd, PR_ONPLAYEND);
      Ended = true;
      frame = count - 1;
    } else {
      frame = std::min(frame % std::max(count, 1) + Film->LoopStart, count - 1);
      Elapsed = TimeOfFrame(frame, FramesPerSecond);
    }
  }
  // A film without frames applies nothing.
  if ((Countdown == 2 || frame != Film->LastFrame) && frame >= 0) Film->ApplyFilmAt(frame);
  if (Countdown > 0) --Countdown;
  Stage->Idle();
  TOrbaBase* screen = GetScreen();
  if (screen == nullptr) return answer;
  if (Stage->Transition != nullptr) {
    Invalidate();
  } else {
    const TClipList& dirty = Stage->ActiveBase()->Dirty;
    const int32_t x = GetScreenLeft(), y = GetScreenTop();
    for (int32_t i = 0; i < dirty.Count(); ++i) {
      const TRect r = dirty.Get(i);
      screen->InvalidateRect(TRect{r.Left + x, r.Top + y, r.Right + x, r.Bottom + y});
    }
  }
  return answer;
}

void TOrbaCinema::Draw() {
  TCustomDIBX* surface = GetSurface();
  TOrbaBase* screen = GetScreen();
  if (OnStage() && surface != nullptr && screen != nullptr) {
    const int32_t x = GetScreenLeft(), y = GetScreenTop();
    TOrbaBase* stage_root = Stage->ActiveBase();
    for (int32_t i = 0; i < screen->Dirty.Count(); ++i) {
      const TRect r = screen->Dirty.Get(i);
      stage_root->InvalidateRect(TRect{r.Left - x, r.Top - y, r.Right - x, r.Bottom - y});
    }
    Stage->Draw();
    if (TCustomDIBX* picture = Stage->GetDIB(); picture != nullptr && !picture->IsEmpty()) {
      for (int32_t i = 0; i < stage_root->Dirty.Count(); ++i) {
        const TRect r = stage_root->Dirty.Get(i);
        surface->Draw(r.Left + x, r.Top + y, *picture, r, false, false, false);
      }
    }
  }
  for (int i = 0; i < 2; ++i) Stage->GetBase(i)->Dirty.Clear();
  TOrbaControl::Draw();
}

void TOrbaCinema::FreeSurface() {
  for (int i = 0; i < 2; ++i) Stage->GetBase(i)->FreeSurface();
}

void TOrbaCinema::RestoreSurface() {
  for (int i = 0; i < 2; ++i) Stage->GetBase(i)->RestoreSurface();
  if (Film != nullptr && !Paused && Film->LastFrame >= 0) Film->ApplyFilmAt(Film->LastFrame);
}

void TOrbaCinema::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamString(stream, Source);
  for (bool b : {Repeat, Paused, AutoScrap}) WriteStreamBool(stream, b);
  WriteStreamString(stream, OnPlayEnd);
  WriteStreamString(stream, OnIdle);
  WriteStreamInt(stream, GetIndex());
  WriteStreamBool(stream, RewindOnLoad);
  WriteStreamInt(stream, Volume);
  WriteStreamBool(stream, MuteOnLoad);
  WriteStreamBool(stream, Ended);
}

void TOrbaCinema::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SizeStage();
  SetSource(ReadStreamString(stream));
  Repeat = ReadStreamBool(stream);
  Paused = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  UpdateFilmPause();
  OnPlayEnd = ReadStreamString(stream);
  OnIdle = ReadStreamString(stream);
  int32_t index = 0;
  if (version >= kSceneCinemaIndexVersion) {
    index = ReadStreamInt(stream);
    RewindOnLoad = ReadStreamBool(stream);
  }
  int32_t volume = Volume;
  MuteOnLoad = false;
  if (version >= kSceneMuteOnLoadVersion) {
    volume = ReadStreamInt(stream);
    MuteOnLoad = ReadStreamBool(stream);
  }
  if (version >= kSceneCinemaEndedVersion) Ended = ReadStreamBool(stream);
  if (index >= 1 && !RewindOnLoad) SetIndex(index);
  if (MuteOnLoad) volume = 0;
  SetVolume(volume);
}

void RegisterCinemaItem() {
  RegisterCompoType(CT_CINEMA, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaCinema>(manager);
  });
}

}  // namespace orba
