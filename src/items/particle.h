// The particle emitter item and its particles: snow, petals, sparks. The
// emitter creates small animated images as its own children at positions
// given by script expressions, one every interval of simulated time, moves
// each by a motion kind (falling snow, an expanding star, rising fluff, a
// twister) shaped by three parameters, and lets them go once they leave its
// area. Its time unit is the frame interval (16 ms); at the start it
// simulates Index milliseconds of emission so the effect begins full.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "items/anim_image.h"
#include "items/film_manager.h"

namespace orba {

class TOrbaParticle;

// One particle: an animated image whose cells are its emitter's.
class TOrbaParticleImages : public TOrbaCustomImages {
 public:
  explicit TOrbaParticleImages(TOrbaBaseList* manager) : TOrbaCustomImages(manager) {}
  // Leaves the emitter's list when freed before it.
  ~TOrbaParticleImages() override;

  long double Param1 = 0, Param2 = 0, Param3 = 0;
  long double X = 0, T = 0, Amplitude = 0, PhaseSpeed = 0, Angle = 0, Radius = 0;
  int32_t X0 = 0, Y0 = 0;
  uint8_t PartMotion = PM_NONE;
  int32_t Elapsed = 0;
  long double MaxDistance = 0;
  // The emitter, until either goes; it clears the link when it goes first.
  TOrbaParticle* Emitter = nullptr;
  bool Dead = false;

  uint8_t GetCompoType() const override { return CT_NONE; }
  bool GetAutoName() const override { return false; }
  bool GetRepeat() const override { return true; }
  TOrbaImageList* GetImageList() const override;
  uint8_t GetPartMotion() const override { return PartMotion; }
  void SetPartMotion(uint8_t v) override { PartMotion = v; }
  long double GetParam(int32_t index) const override;
  void SetParam(int32_t index, long double v) override;

  // Birth: the centre at Left/Top, the motion's random start values.
  void Start();
  // N frames of the motion; a particle that leaves its area (or whose
  // position cannot be held) is dead from then on.
  void Advance(int64_t n);
  bool Idle() override;
  // Drops the links to the emitter and its cells (the emitter goes first).
  void Detach();

 private:
  // Left := DX rounded (or truncated) + X0, Top likewise; a position that
  // cannot be held kills the particle instead.
  void SetPosition(long double dx, int32_t x0, long double dy, int32_t y0, bool round);
};

// Emission values of a particle film track; set only by films.
struct TOrbaParticleParam {
  int32_t X = 0, Y = 0, XRange = 0, YRange = 0, Interval = 0, IntervalRange = 0;
};

// The film of an emitter whose source is a film: a frame animation whose
// owner is switched to each particle in turn, the particle's own Elapsed
// being its play time. The film's Host is the emitter, so that its
// particle track can fill the emitter's parameter record.
class TOrbaMotionParticle final : public TOrbaMotion {
 public:
  TOrbaMotionParticle(TOrbaParticle& emitter, std::unique_ptr<TFilmManager> film);

  // Applies the frame of Particle's Elapsed to it (a frame past the end
  // goes on from the loop start, as particles repeat); true once the film
  // has ended for it.
  bool StepParticle(TOrbaParticleImages& particle);
  // The emitter itself is not animated: its particles are.
  bool Step() override { return false; }
  void Rewind() override {}
  bool Ended() const override { return false; }
  int32_t GetFrameCount() const override { return Film->GetLength(); }

  std::unique_ptr<TFilmManager> Film;
};

class TOrbaParticle : public TOrbaControl {
 public:
  explicit TOrbaParticle(TOrbaBaseList* manager) : TOrbaControl(manager) {}
  ~TOrbaParticle() override;

  // Particles created by one Emit at most; later ones only pass their time.
  static constexpr int32_t kMaxBirthsPerEmit = 4096;

  int32_t State = 0;  // 0: start pending; 1: emitting; 2: draining
  TOrbaParser AppearX, AppearY, Interval;
  std::unique_ptr<TOrbaParticleParam> ParamRecord;
  // The film motion of a film source; null for pictures.
  std::unique_ptr<TOrbaMotionParticle> FilmMotion;
  std::string Source;
  TOrbaImageList Cells;
  std::vector<TOrbaParticleImages*> Particles;  // children, oldest first
  uint8_t PartMotion = PM_NONE;
  long double Params[3] = {0, 0, 0};
  int32_t Alpha = 255;
  int32_t Countdown = 0;
  int32_t Accumulator = 0;
  int32_t Index = 0;
  std::string OnIdle;
  bool Paused = false;
  int32_t Duration = 0;

  uint8_t GetCompoType() const override { return CT_PARTICLE; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  uint8_t GetPartMotion() const override { return PartMotion; }
  void SetPartMotion(uint8_t v) override;
  long double GetParam(int32_t index) const override;
  void SetParam(int32_t index, long double v) override;
  int32_t GetAlpha() const override { return Alpha; }
  void SetAlpha(int32_t v) override;
  int32_t GetIndex() const override { return Index; }
  void SetIndex(int32_t v) override { Index = v; }
  int32_t GetDuration() const override { return Duration; }
  void SetDuration(int32_t v) override { Duration = v; }
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  bool GetPlaying() const override {
    return !Paused && !GetAniPaused() && (FilmMotion == nullptr || !FilmMotion->Film->Paused);
  }
  // The parameter record, attached empty when a particle film track first
  // fills it; from then on births take their place and gap from it.
  TOrbaParticleParam& AttachParamRecord();
  void FreeSurface() override { Cells.FreeSurfaces(); }
  void RestoreSurface() override { Cells.RestoreSurfaces(); }
  // "ParticleNew" hands over its AppearX, AppearY and Delay expressions.
  void TakeCommandExpressions(TComComponent& command) override;

  bool Idle() override;
  // N frames of simulated time: the particles move, and while emitting new
  // ones are born whenever the countdown runs out.
  void Emit(int64_t n, bool emitting);
  // A new particle at (X, Y): a child with the emitter's motion, alpha,
  // parameters and first cell, started.
  TOrbaParticleImages* Birth(int32_t x, int32_t y);
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  void DropParticles();
  // Accumulator += the last tick's length; answers the whole frames in it.
  int64_t TakeFrames();
  // The gap to the next birth and the place of this one.
  int32_t NextBirth(int32_t& x, int32_t& y);
};

}  // namespace orba
