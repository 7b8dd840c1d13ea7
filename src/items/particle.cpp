#include "items/particle.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "items/base_list.h"
#include "script/expr/expr_exec.h"
#include "script/functions/script_random.h"
#include "script/interp/com_component.h"
#include "script/values/params.h"

namespace orba {

namespace {

constexpr long double kTwoPi = 2 * std::numbers::pi_v<long double>;

// V rounded to the nearest integer (ties to even) or truncated, held in
// int32; Lost is set when it does not fit (or is not a number).
int32_t ToInt32(long double v, bool round, bool& lost) {
  v = round ? std::rint(v) : std::trunc(v);  // ties to even, as nearbyint, without its cost
  if (!(v >= INT32_MIN && v <= INT32_MAX)) {
    lost = true;
    return v < 0 ? INT32_MIN : INT32_MAX;
  }
  return static_cast<int32_t>(v);
}

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

bool EndsWith(const std::string& name, const char* ext) {
  return name.size() >= 4 && SjisLowerCase(name.substr(name.size() - 4)) == ext;
}

}  // namespace

// ---- TOrbaParticleImages ---------------------------------------------------------

TOrbaParticleImages::~TOrbaParticleImages() {
  if (Emitter == nullptr) return;
  auto& list = Emitter->Particles;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TOrbaParticleImages::Detach() {
  Emitter = nullptr;
  OverrideDIB = nullptr;
  OverrideMask = nullptr;
  Index = -1;
}

TOrbaImageList* TOrbaParticleImages::GetImageList() const { return Emitter != nullptr ? &Emitter->Cells : nullptr; }

long double TOrbaParticleImages::GetParam(int32_t index) const {
  switch (index) {
    case 0: return Param1;
    case 1: return Param2;
    case 2: return Param3;
    default: return 0;
  }
}

void TOrbaParticleImages::SetParam(int32_t index, long double v) {
  switch (index) {
    case 0: Param1 = v; break;
    case 1: Param2 = v; break;
    case 2: Param3 = v; break;
    default: break;
  }
}

void TOrbaParticleImages::SetPosition(long double dx, int32_t x0, long double dy, int32_t y0, bool round) {
  bool lost = false;
  const int64_t l = int64_t{ToInt32(dx, round, lost)} + x0, t = int64_t{ToInt32(dy, round, lost)} + y0;
  if (lost || l != Saturate(l) || t != Saturate(t)) {
    Dead = true;
    return;
  }
  SetLeft(static_cast<int32_t>(l));
  SetTop(static_cast<int32_t>(t));
}

void TOrbaParticleImages::Start() {
  SetOffsetX(Width / 2);
  SetOffsetY(Height / 2);
  switch (PartMotion) {
    case PM_SNOW:
      X0 = Left;
      Y0 = Top;
      PhaseSpeed = ScriptRandomReal() * 0.02L + 0.02L;
      if (Param1 <= 0) Param1 = 0.1L;
      if (Param2 < Param3) Amplitude = ScriptRandomReal() * (Param3 - Param2);
      break;
    case PM_STAR: {
      X0 = Left;
      Y0 = Top;
      Angle = ScriptRandomReal() * kTwoPi;
      Radius = Param1 + 0.1L;
      SetPosition(std::cos(Angle) * Radius, X0, std::sin(Angle) * Radius, Y0, true);
      const TOrbaControl* parent = GetParent();
      const long double pw = parent != nullptr ? parent->GetWidth() : 0, ph = parent != nullptr ? parent->GetHeight() : 0;
      const long double fx = X0 < pw / 2 ? pw : 0, fy = Y0 < ph / 2 ? ph : 0;
      MaxDistance = std::hypot(fx - X0, fy - Y0);
      Param3 = ScriptRandomReal() * Param3 * 0.3L + Param3 * 0.7L;
      break;
    }
    case PM_FLUFF:
      Param2 = ScriptRandomReal() * (Param3 - Param2) + Param2;
      X = Left;
      Y0 = Top;
      break;
    case PM_TWISTER:
      X0 = Left;
      T = Top;
      Amplitude = ScriptRandomReal() * (Param2 / 2 * 0.05L) + Param2 / 2 * 0.95L;
      Radius = ScriptRandomReal() * Param3 * 0.5L + Param3 * 0.5L;
      break;
    default: break;
  }
}

void TOrbaParticleImages::Advance(int64_t n) {
  Elapsed = Saturate(int64_t{Elapsed} + n * FrameInterval);
  if (Dead) return;
  const TOrbaControl* parent = GetParent();
  const int64_t pw = parent != nullptr ? parent->GetWidth() : 0, ph = parent != nullptr ? parent->GetHeight() : 0;
  const long double frames = static_cast<long double>(n);
  switch (PartMotion) {
    case PM_SNOW: {
      Angle += PhaseSpeed * frames;
      T += Param1 * frames;
      int32_t k = 0;
      bool lost = false;
      if (T >= 1) {
        k = ToInt32(T, false, lost);
        T -= k;
      }
      if (lost) {
        Dead = true;
        return;
      }
      SetPosition(std::sin(Angle) * (Param2 + Amplitude), X0, static_cast<long double>(k), Top, true);
      if (Dead) return;
      if (ph <= GetRelativeTop()) Dead = true;
      break;
    }
    case PM_STAR:
      if (n > 1) Radius *= std::pow(Param2, frames - 1);
      if (!(std::fabs(Radius) <= INT32_MAX)) {
        Dead = true;
        return;
      }
      SetPosition(std::cos(Angle) * Radius, X0, std::sin(Angle) * Radius, Y0, true);
      Radius *= Param2;
      if (MaxDistance <= Radius) Dead = true;
      Angle += Param3;
      break;
    case PM_FLUFF: {
      X += Param2 * frames;
      T += frames;
      SetPosition(X, 0, -std::trunc(Param1 * T * T), Y0, false);
      if (Dead) return;
      const int64_t rl = GetRelativeLeft(), rt = GetRelativeTop();
      if (rt + Height < 0 || (Param2 >= 0 ? rl >= pw : rl + Width < 0)) Dead = true;
      break;
    }
    case PM_TWISTER: {
      Angle += Radius * frames;
      if (Angle > kTwoPi) Angle -= kTwoPi;
      const long double f = std::fabs(std::cos(Angle / 2)) * 0.5L + 0.5L;
      const int32_t zoom = static_cast<int32_t>(std::nearbyint(f * 256));
      SetZoomX(zoom);
      SetZoomY(zoom);
      T -= Param1;
      SetPosition(std::sin(Angle) * Amplitude * f, X0, T, 0, false);
      if (Dead) return;
      SetPriority(static_cast<int32_t>(std::nearbyint((f - 0.5L) / 0.5L * 2000 - 1000)));
      if (int64_t{GetRelativeTop()} + Height < 0) Dead = true;
      break;
    }
    default: Dead = true; break;
  }
}

bool TOrbaParticleImages::Idle() {
  TOrbaMotionParticle* film = Emitter != nullptr ? Emitter->FilmMotion.get() : nullptr;
  if (Dead) {
    TOrbaCustomImage::Idle();
  } else if (film != nullptr) {
    // The film plays on this particle instead of its cells; the leaving
    // tests of its motion kind (in Advance) end it as well.
    TOrbaCustomImage::Idle();
    if (film->StepParticle(*this)) Dead = true;
  } else {
    TOrbaCustomImages::Idle();
  }
  if (!Dead) return false;
  if (Emitter != nullptr) {
    auto& list = Emitter->Particles;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    Emitter = nullptr;
  }
  return true;
}

// ---- TOrbaMotionParticle --------------------------------------------------------

TOrbaMotionParticle::TOrbaMotionParticle(TOrbaParticle& emitter, std::unique_ptr<TFilmManager> film)
    : Film(std::move(film)) {
  Film->MotionMode = true;
  Film->Host = &emitter;
  Film->Owner = nullptr;
}

bool TOrbaMotionParticle::StepParticle(TOrbaParticleImages& particle) {
  const int32_t count = Film->GetLength();
  const TFilmFrame at = FilmFrameAt(particle.Elapsed, count, Film->LoopStart, particle.GetRepeat());
  if (at.Wrapped) particle.Elapsed = TimeOfFrame(at.Frame, 60);
  if (at.Frame >= 0 && at.Frame < count) {
    Film->Owner = &particle;
    Film->BaseX = Film->Relative ? particle.GetLeft() : 0;
    Film->BaseY = Film->Relative ? particle.GetTop() : 0;
    Film->BasePriority = particle.GetPriority();
    Film->ApplyFilmAt(at.Frame);
    Film->Owner = nullptr;
  }
  return at.Ended;
}

// ---- TOrbaParticle ---------------------------------------------------------------

TOrbaParticle::~TOrbaParticle() {
  // The particles are children, freed after this body by the control; they
  // must not reach the cells or the list, which go first.
  for (TOrbaParticleImages* p : Particles) p->Detach();
  Particles.clear();
}

void TOrbaParticle::DropParticles() {
  for (TOrbaControl* child : GetChildren())
    if (auto* p = dynamic_cast<TOrbaParticleImages*>(child)) {
      p->Detach();
      p->Scrap();
    }
  Particles.clear();
}

void TOrbaParticle::SetSource(std::string v) {
  if (v == Source) return;
  Source = std::move(v);
  DropParticles();
  Cells.Clear();
  FilmMotion.reset();
  if (EndsWith(Source, ".brx")) {
    Cells.LoadBrix(this, Source, false);
  } else if (IsFilmName(Source)) {
    // A particle film drives the particles; a film the film layer cannot
    // play is named in the trace and the particles show no film.
    if (std::unique_ptr<TFilmManager> film = LoadFilmOrTrace(Source))
      FilmMotion = std::make_unique<TOrbaMotionParticle>(*this, std::move(film));
  }
  State = 0;
}

void TOrbaParticle::SetPartMotion(uint8_t v) {
  if (v == PartMotion) return;
  PartMotion = v;
  State = 0;
}

long double TOrbaParticle::GetParam(int32_t index) const {
  return index >= 0 && index <= 2 ? Params[index] : 0;
}

void TOrbaParticle::SetParam(int32_t index, long double v) {
  if (index >= 0 && index <= 2) Params[index] = v;
}

void TOrbaParticle::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = v;
  Invalidate();
}

void TOrbaParticle::TakeCommandExpressions(TComComponent& command) {
  if ((command.GetOpcode() & 0x7F) != OP_ParticleNew) return;
  if (const TOrbaParser* e = command.Expressions[PR_APPEARX].get()) AppearX.Assign(*e);
  if (const TOrbaParser* e = command.Expressions[PR_APPEARY].get()) AppearY.Assign(*e);
  if (const TOrbaParser* e = command.Expressions[PR_DELAY].get()) Interval.Assign(*e);
}

int64_t TOrbaParticle::TakeFrames() {
  const int64_t time = int64_t{Accumulator} + FrameTime;
  Accumulator = static_cast<int32_t>(time % FrameInterval);
  return time / FrameInterval;
}

bool TOrbaParticle::Idle() {
  const bool answer = TOrbaControl::Idle();
  if (GetAniPaused()) return answer;
  switch (State) {
    case 0:
      State = 1;
      Countdown = 0;
      Emit(Index / FrameInterval, true);
      Accumulator = Index % FrameInterval;
      break;
    case 1:
      Emit(TakeFrames(), true);
      if (Duration > 0) {
        Duration = Saturate(int64_t{Duration} - FrameTime);
        if (Duration < 1) State = 2;
      }
      break;
    default:
      if (Particles.empty()) return true;
      Emit(TakeFrames(), false);
      break;
  }
  return answer;
}

TOrbaParticleParam& TOrbaParticle::AttachParamRecord() {
  if (ParamRecord == nullptr) ParamRecord = std::make_unique<TOrbaParticleParam>();
  return *ParamRecord;
}

int32_t TOrbaParticle::NextBirth(int32_t& x, int32_t& y) {
  int64_t gap = FrameInterval;
  if (ParamRecord != nullptr) {
    TOrbaParticleParam& r = *ParamRecord;
    x = Saturate(int64_t{r.X} + ScriptRandom(r.XRange));
    y = Saturate(int64_t{r.Y} + ScriptRandom(r.YRange));
    gap = int64_t{r.Interval} + ScriptRandom(r.IntervalRange);
  } else {
    x = y = 0;
    TSysFuncMan* funcs = Manager != nullptr ? Manager->Services.Funcs : nullptr;
    auto run = [funcs](TOrbaParser& e, int32_t& out) {
      if (funcs == nullptr || e.Empty()) return;
      e.Result.reset();
      ExecuteParser(e, *funcs);
      if (e.Result) out = e.Result->GetAsInt();
    };
    int32_t interval = FrameInterval;
    run(Interval, interval);
    gap = interval;
    run(AppearX, x);
    run(AppearY, y);
  }
  return gap < 3 ? 2 : Saturate(gap);
}

TOrbaParticleImages* TOrbaParticle::Birth(int32_t x, int32_t y) {
  auto* p = NewOrbaObject<TOrbaParticleImages>(Manager);
  // Byte 0x01, the emitter's name, byte 0x01 and the smallest number no
  // object carries after them: the manager's name index finds it without a
  // walk, so many births per tick stay cheap.
  const std::string mark(1, kInternalMark);
  p->AssignName(Manager->MakeUniqueName(mark + GetName() + mark));
  p->Emitter = this;
  p->SetIgnoreMouse(IM_ALL);
  p->SetParent(this);
  Particles.push_back(p);
  p->PartMotion = PartMotion;
  p->SetLeft(x);
  p->SetTop(y);
  p->SetAlpha(Alpha);
  p->Param1 = Params[0];
  p->Param2 = Params[1];
  p->Param3 = Params[2];
  if (Cells.Count() > 0) p->SetIndex(0);
  p->Start();
  return p;
}

void TOrbaParticle::Emit(int64_t n, bool emitting) {
  const int64_t elapsed = n * FrameInterval;
  int64_t countdown = Countdown;
  if (emitting) countdown -= elapsed;
  int64_t rest = elapsed;
  if (n > 0)
    for (size_t i = Particles.size(); i-- > 0;) Particles[i]->Advance(n);
  if (emitting && PartMotion != PM_NONE && Manager != nullptr) {
    for (int32_t births = 0; countdown < 1; ++births) {
      int32_t x = 0, y = 0;
      const int32_t gap = NextBirth(x, y);
      countdown += gap;
      rest -= gap;
      if (births >= kMaxBirthsPerEmit) {
        // The rest of the time passes without births.
        const int64_t more = countdown < 1 ? (1 - countdown + gap - 1) / gap : 0;
        countdown += more * gap;
        rest -= more * gap;
        break;
      }
      TOrbaParticleImages* p = Birth(x, y);
      if (rest > 0) p->Advance(rest / FrameInterval);
    }
  }
  Countdown = Saturate(countdown);
}

void TOrbaParticle::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  AppearX.SaveToStream(stream);
  AppearY.SaveToStream(stream);
  Interval.SaveToStream(stream);
  WriteStreamString(stream, Source);
  WriteStreamByte(stream, PartMotion);
  for (long double p : Params) WriteStreamFloat(stream, p);
  WriteStreamInt(stream, Alpha);
  WriteStreamInt(stream, Index);
  WriteStreamString(stream, OnIdle);
  WriteStreamBool(stream, Paused);
  WriteStreamInt(stream, Duration);
}

void TOrbaParticle::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  AppearX.LoadFromStream(stream);
  AppearY.LoadFromStream(stream);
  Interval.LoadFromStream(stream);
  SetSource(ReadStreamString(stream));
  PartMotion = ReadByteVal(stream);
  for (long double& p : Params) p = ReadStreamFloat(stream);
  Alpha = ReadStreamInt(stream);
  Index = ReadStreamInt(stream);
  OnIdle = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
  Duration = ReadStreamInt(stream);
  State = 0;
}

}  // namespace orba
