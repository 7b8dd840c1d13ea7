#include "film/frame_animation.h"

#include <algorithm>
#include <cmath>

#include "core/game_clock.h"

namespace orba {

TOrbaMotionFilm::TOrbaMotionFilm(TOrbaControl& owner, std::unique_ptr<TFilmManager> film)
    : Film(std::move(film)), Owner(owner) {
  Film->MotionMode = true;
  Film->Owner = &owner;
}

TOrbaMotionFilm::~TOrbaMotionFilm() {
  Owner.SetMotionX(0);
  Owner.SetMotionY(0);
  Owner.SetSubPriority(0);
}

void TOrbaMotionFilm::Rewind() {
  Elapsed = 0;
  Countdown = 2;
  Ended_ = false;
}

void TOrbaMotionFilm::ReapplyFrame() {
  if (Frame >= 0 && Frame < Film->GetLength()) Film->ApplyFilmAt(Frame);
}

bool TOrbaMotionFilm::Step() {
  bool moved = false;
  if (Countdown < 1 && (Owner.GetLeft() != LastX || Owner.GetTop() != LastY) && Film->Relative) {
    Film->BaseX = Owner.GetLeft();
    Film->BaseY = Owner.GetTop();
    Ended_ = false;
    moved = true;
  }
  if (Ended_) return false;
  if (Countdown == 2) {
    Film->BaseX = Film->Relative ? Owner.GetLeft() : 0;
    Film->BaseY = Film->Relative ? Owner.GetTop() : 0;
    Film->BasePriority = Owner.GetPriority();
    LastX = Owner.GetLeft();
    LastY = Owner.GetTop();
  }
  if (Countdown < 1 && !Owner.GetAniPaused())
    Elapsed = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Elapsed} + FrameTime, 0, INT32_MAX));
  const int32_t count = Film->GetLength();
  const TFilmFrame at = FilmFrameAt(Elapsed, count, Film->LoopStart, Owner.GetRepeat());
  Frame = at.Frame;
  bool answer = false;
  if (at.Ended) {
    Ended_ = true;
    answer = true;
  } else if (at.Wrapped) {
    Elapsed = TimeOfFrame(Frame, 60);
  }
  if ((Countdown == 2 || Frame != Film->LastFrame || moved) && Frame >= 0 && Frame < count)
    Film->ApplyFilmAt(Frame);
  if (Countdown > 0) --Countdown;
  LastX = Owner.GetLeft();
  LastY = Owner.GetTop();
  return answer;
}

}  // namespace orba
