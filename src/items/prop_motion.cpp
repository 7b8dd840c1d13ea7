#include "items/prop_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/prop_dispatch.h"
#include "script/values/params.h"

namespace orba {

namespace {
// The highest property id plus one.
constexpr uint8_t kPropIdCount = 165;
}  // namespace

long double TOrbaPropMotion::ValueAt(int32_t elapsed) const {
  if (elapsed == 0) return StartValue;
  if (elapsed >= int64_t{Duration} - 1) return EndValue;
  const long double e = elapsed, d = Duration, delta = EndValue - StartValue;
  const long double quarter = std::numbers::pi_v<long double> / 2;
  switch (Mode) {
    case MT_INC: return EndValue - std::sin((d - e - 1) * quarter / d) * delta;
    case MT_DEC: return StartValue + std::sin(e * quarter / d) * delta;
    default: return StartValue + delta * e / d;
  }
}

bool TOrbaPropMotion::Idle() {
  if (Paused || Manager == nullptr) return false;
  TOrbaObject* target = nullptr;
  if (Target) {
    // A target removed meanwhile (or marked for removal) ends the motion
    // without a write.
    target = Manager->Lookup(Target);
    if (target == nullptr || target->IsScrapped()) return true;
  } else {
    target = Manager->FindObject(TargetName);
    if (target == nullptr || PropId >= kPropIdCount) return true;
    Target = target->Handle();
    TParamFloat start;
    DoGetProp(start, *target, PropId);
    StartValue = start.GetAsFloat();
  }
  const bool done = Elapsed != 0 && Elapsed >= int64_t{Duration} - 1;
  TParamFloat value;
  value.SetAsFloat(ValueAt(Elapsed));
  DoSetProp(*target, PropId, value);
  Elapsed = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Elapsed} + FrameTime, 0, INT32_MAX));
  return done;
}

void TOrbaPropMotion::SaveToStream(TKsBigStream& stream) const {
  TOrbaComponent::SaveToStream(stream);
  // A target not looked up yet is kept by name. A target that is gone is
  // saved with no property: the loaded motion then ends on its first update
  // instead of finding the screen root by the empty name.
  const TOrbaObject* target = Manager != nullptr && Target ? Manager->Lookup(Target) : nullptr;
  const bool gone = Target && (target == nullptr || target->IsScrapped());
  WriteStreamString(stream, gone ? std::string() : target != nullptr ? target->GetName() : TargetName);
  WriteStreamInt(stream, gone ? 255 : PropId);
  WriteStreamFloat(stream, EndValue);
  WriteStreamInt(stream, Duration);
  WriteStreamInt(stream, Mode);
  WriteStreamFloat(stream, StartValue);
  WriteStreamInt(stream, Elapsed);
  WriteStreamBool(stream, Paused);
}

void TOrbaPropMotion::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaComponent::LoadFromStream(stream, version);
  TargetName = ReadStreamString(stream);
  PropId = static_cast<uint8_t>(ReadStreamInt(stream));
  EndValue = ReadStreamFloat(stream);
  Duration = ReadStreamInt(stream);
  Mode = static_cast<uint8_t>(ReadStreamInt(stream));
  StartValue = ReadStreamFloat(stream);
  Elapsed = ReadStreamInt(stream);
  if (version >= kSceneMotionPausedVersion) Paused = ReadStreamBool(stream);
  // The next update looks the target up again and reads its value afresh.
  Target = TObjectHandle{};
}

}  // namespace orba
