// The frame animation: a film in motion mode played on one visual object.
// Each tick turns the elapsed game time into a frame at 60 frames per
// second and lets the film apply that frame's track values to its owner.
#pragma once

#include <memory>

#include "items/film_manager.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaMotionFilm final : public TOrbaMotion {
 public:
  // Takes Film (already loaded) and binds it to Owner in motion mode.
  TOrbaMotionFilm(TOrbaControl& owner, std::unique_ptr<TFilmManager> film);
  // Sets the owner's MotionX, MotionY and SubPriority back to 0.
  ~TOrbaMotionFilm() override;

  bool Step() override;
  void Rewind() override;
  bool Ended() const override { return Ended_; }
  int32_t GetFrameCount() const override { return Film->GetLength(); }
  void ReapplyFrame() override;

  std::unique_ptr<TFilmManager> Film;
  TOrbaControl& Owner;
  int32_t Elapsed = 0;
  int32_t Countdown = 2;
  bool Ended_ = false;
  int32_t Frame = 0;
  int32_t LastX = 0, LastY = 0;
};

}  // namespace orba
