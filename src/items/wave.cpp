#include "items/wave.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/orba_base.h"

namespace orba {

TCustomDIBX* TOrbaWave::GetSurface() const {
  return Amp != 0 ? const_cast<TDIBXWave*>(&Wave) : TOrbaControl::GetSurface();
}

void TOrbaWave::Attach() {
  TOrbaBase* screen = GetScreen();
  Wave.Target = screen != nullptr ? screen->GetDIB() : nullptr;
  Wave.OriginX = GetScreenLeft();
  Wave.OriginY = GetScreenTop();
}

void TOrbaWave::SizeWave() { Wave.SetSize(Width, std::min(Height, kMaxRows), 0); }

void TOrbaWave::SetLeft(int32_t v) {
  TOrbaControl::SetLeft(v);
  Wave.OriginX = GetScreenLeft();
}

void TOrbaWave::SetTop(int32_t v) {
  TOrbaControl::SetTop(v);
  Wave.OriginY = GetScreenTop();
}

void TOrbaWave::SetWidth(int32_t v) {
  TOrbaControl::SetWidth(v);
  SizeWave();
}

void TOrbaWave::SetHeight(int32_t v) {
  TOrbaControl::SetHeight(v);
  SizeWave();
}

void TOrbaWave::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TOrbaControl::SetBounds(left, top, width, height);
  SizeWave();
  Attach();
}

void TOrbaWave::InflateOwnRect(TRect& rect) const {
  if (GetParent() != nullptr) GetParent()->InflateDirtyRect(rect);
}

void TOrbaWave::InflateDirtyRect(TRect& rect) const {
  TOrbaControl::InflateDirtyRect(rect);
  rect.Left = static_cast<int32_t>(std::max<int64_t>(int64_t{rect.Left} - Amp, INT32_MIN));
  rect.Right = static_cast<int32_t>(std::min<int64_t>(int64_t{rect.Right} + Amp, INT32_MAX));
}

void TOrbaWave::Draw() {
  Attach();
  if (Wave.Target != nullptr) Wave.SetClipRect(Wave.Target->GetClipRect());
  TOrbaControl::Draw();
}

bool TOrbaWave::Idle() {
  Attach();
  const bool answer = TOrbaControl::Idle();
  if (GetAniPaused()) return answer;
  const int64_t time = int64_t{Accumulator} + int64_t{FrameTime} * 256;
  const int64_t steps = time / Delay;
  Accumulator = static_cast<int32_t>(time % Delay);
  if (steps == 0) return answer;
  Phase = static_cast<int32_t>(((Phase - steps) % 256 + 256) % 256);
  constexpr long double kTwoPi = 2 * std::numbers::pi_v<long double>;
  const long double start = kTwoPi * Phase / 256, step = kTwoPi / WaveLen;
  bool changed = false;
  for (size_t i = 0; i < Wave.Offsets.size(); ++i) {
    const long double v = std::nearbyint(std::sin(start + static_cast<long double>(i) * step) * Amp);
    const int32_t offset = static_cast<int32_t>(std::clamp<long double>(v, INT32_MIN, INT32_MAX));
    changed |= offset != Wave.Offsets[i];
    Wave.Offsets[i] = offset;
  }
  if (changed) Invalidate();
  return answer;
}

void TOrbaWave::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  for (int32_t v : {Amp, WaveLen, Delay}) WriteStreamInt(stream, v);
  WriteStreamString(stream, OnIdle);
  WriteStreamBool(stream, Paused);
}

void TOrbaWave::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  Amp = ReadStreamInt(stream);
  // A stored 0 would stop the wave by a division by zero: at least 1.
  SetWaveLen(ReadStreamInt(stream));
  SetDelay(ReadStreamInt(stream));
  SizeWave();
  // The children draw where they did before saving: the origin is the
  // item's place on the screen.
  Attach();
  OnIdle = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
}

}  // namespace orba
