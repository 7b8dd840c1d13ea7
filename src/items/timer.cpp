#include "items/timer.h"

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/base_list.h"

namespace orba {

void TOrbaTimer::Create() {
  TOrbaComponent::Create();
  LastTick = GameClock;
}

void TOrbaTimer::Restart() {
  if (Manager != nullptr) Manager->Events.RemoveSender(Handle());
  LastTick = GameClock;
}

void TOrbaTimer::SetOnNotify(std::string v) {
  OnNotify = std::move(v);
  Restart();
}

void TOrbaTimer::SetDelay(int32_t v) {
  Delay = v;
  Restart();
}

void TOrbaTimer::SetPaused(bool v) {
  if (v == Paused) return;
  Paused = v;
  Restart();
}

bool TOrbaTimer::Idle() {
  if (Fired && AutoScrap) return !EventQueued(PR_ONNOTIFY);
  if (Delay < 0 || Paused) return false;
  if (Delay > 0 && GameClock - LastTick < static_cast<uint32_t>(Delay)) return false;
  LastTick += static_cast<uint32_t>(Delay);
  if (EventQueued(PR_ONNOTIFY)) return false;
  QueueEvent(OnNotify, PR_ONNOTIFY);
  Fired = true;
  return false;
}

void TOrbaTimer::SaveToStream(TKsBigStream& stream) const {
  TOrbaComponent::SaveToStream(stream);
  WriteStreamString(stream, OnNotify);
  WriteStreamInt(stream, Delay);
  WriteStreamBool(stream, Paused);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamBool(stream, Fired);
}

void TOrbaTimer::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaComponent::LoadFromStream(stream, version);
  OnNotify = ReadStreamString(stream);
  Delay = ReadStreamInt(stream);
  Paused = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  Fired = ReadStreamBool(stream);
  LastTick = GameClock;
}

}  // namespace orba
