#include "media/sound_item.h"

#include <algorithm>
#include <optional>

#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "items/base_list.h"
#include "media/media_system.h"
#include "media/mixer_fade.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

bool IsCdTrack(const std::string& source) { return source.compare(0, 3, "CD_") == 0; }

// The extension as written, from the last '.' (a Shift-JIS trail byte is
// never one); empty for a name without one.
std::string Extension(const std::string& source) {
  const size_t dot = source.rfind('.');
  return dot == std::string::npos ? std::string() : source.substr(dot);
}

std::string LowerExtension(const std::string& source) {
  std::string ext = Extension(source);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

// The manager that plays Source, by its extension (null while the managers
// are not made); none when no player reads the extension.
std::optional<TMediaManager*> ManagerFor(const std::string& source) {
  const std::string ext = LowerExtension(source);
  if (ext == ".mid" || ext == ".sgt") return MidiManager;
  if (ext == ".wma" || ext == ".asf" || ext == ".wmv") return WmpManager;
  if (ext == ".ogg" || ext == ".wav") return OggManager;
  if (IsCdTrack(source)) return CddaManager;
  return std::nullopt;
}

// The manager that plays Source, a file that is there; nullptr when none
// does. A file whose extension no player reads stays silent, and is refused
// as a manager refuses a file it cannot play: traced each time, said once,
// since in a window nothing else tells the author why it is not heard.
TMediaManager* PlayerFor(const std::string& source) {
  if (const std::optional<TMediaManager*> manager = ManagerFor(source)) return *manager;
  const std::string ext = Extension(source);
  const std::string why = ext.empty() ? "no player reads a file without an extension"
                                      : "no player reads the extension \"" + ext + "\"";
  Trace("sound " + source + ": " + why);
  TellRefusal(SjisToUtf8(source + ": sound refused: " + why));
  return nullptr;
}

bool SourceAvailable(const std::string& source) {
  return IsCdTrack(source) || !MediaFileAvailable || MediaFileAvailable(source);
}

}  // namespace

TOrbaSound::TOrbaSound(TOrbaBaseList* manager) : TOrbaComponent(manager) {}

TOrbaSound::~TOrbaSound() { ReleaseScrapped(); }

void TOrbaSound::ReleaseScrapped() {
  if (item_ != nullptr) item_->SetVolume(kSilentLevel);
  fader_.reset();
  ReleaseItem();
}

int32_t TOrbaSound::MixerLevel() const {
  if (item_ != nullptr && item_->IsMidi())
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(Volume) * 10 + kSilentLevel, kSilentLevel, kFullLevel));
  return VolumeToMixerLevel(Volume);
}

void TOrbaSound::OpenItem() {
  if (!SourceAvailable(Source)) {
    if (AutoScrap) Scrap();
    return;
  }
  TMediaManager* manager = PlayerFor(Source);
  if (manager == nullptr) return;
  item_ = manager->Add(Source);
  if (item_ == nullptr) return;
  item_->SetBalance(Balance);
  if (StartPos > 0) item_->SetPosition(StartPos);
}

void TOrbaSound::ReleaseItem() {
  if (item_ == nullptr) return;
  fader_.reset();
  TDMediaItem* item = item_;
  item_ = nullptr;
  item->Owner()->Remove(item);
}

void TOrbaSound::FadeIn() {
  fader_ = std::make_unique<TOrbaMixerFadein>(item_, MixerLevel(), static_cast<uint32_t>(std::max(Delay, 0)));
}

void TOrbaSound::SetSource(std::string v) {
  if (v == Source) return;
  Source = std::move(v);
  ReleaseItem();
  State = SS_STOPPED;
  Paused = false;
  StartPos = 0;
  Ended = false;
}

void TOrbaSound::SetRepeat(bool v) {
  Repeat = v;
  if (item_ == nullptr) return;
  item_->SetRepeat(v);
  if (v && !Paused && item_->GetPosition() >= item_->GetLength() - 1) {
    // The media item stopped at its end: rewound, it is played again from
    // 0 unless an animation pause holds it.
    item_->SetPosition(0);
    item_->SetEnd(false);
    Ended = false;
    if (!Held) item_->Play();
  }
}

void TOrbaSound::SetRepeatPos(int32_t v) {
  if (v == RepeatPos) return;
  RepeatPos = v;
  if (item_ != nullptr) item_->SetRepeatPos(v);
}

void TOrbaSound::SetPaused(bool v) {
  if (v == Paused) return;
  Paused = v;
  ApplyPause();
}

void TOrbaSound::SetAniPaused(bool v) {
  if (v == Held) return;
  Held = v;
  ApplyPause();
}

void TOrbaSound::SetVolume(int32_t v) {
  if (v == Volume) return;
  Volume = v;
  if (item_ != nullptr) item_->SetVolume(MixerLevel());
}

void TOrbaSound::SetBalance(int32_t v) {
  v = std::clamp(v, kSilentLevel, kBalanceRightOnly);
  if (v == Balance) return;
  Balance = v;
  if (item_ != nullptr) item_->SetBalance(v);
}

int32_t TOrbaSound::GetIndex() const { return item_ != nullptr ? item_->GetPosition() : 0; }

void TOrbaSound::SetIndex(int32_t v) {
  StartPos = v;
  if (item_ == nullptr) return;
  item_->SetPosition(v);
  Ended = false;
  if (!Paused && !item_->IsPlaying()) item_->Play();
}

int32_t TOrbaSound::GetCount() const {
  if (item_ != nullptr) return item_->GetLength();
  if (Source.empty() || !SourceAvailable(Source)) return 0;
  TMediaManager* manager = PlayerFor(Source);
  TDMediaItem* probe = manager != nullptr ? manager->Add(Source) : nullptr;
  if (probe == nullptr) return 0;
  const int32_t length = probe->GetLength();
  manager->Remove(probe);
  return length;
}

bool TOrbaSound::GetPlaying() const { return item_ != nullptr && item_->IsPlaying(); }

void TOrbaSound::ApplyPause() {
  if (item_ == nullptr) return;
  if (!Paused && !Held) {
    if (State == SS_FADING_IN) {
      FadeIn();
    } else {
      item_->SetVolume(MixerLevel());
      item_->Play();
    }
  } else {
    item_->Pause();
    item_->SetVolume(kSilentLevel);
  }
}

void TOrbaSound::SetState(uint8_t state) {
  fader_.reset();
  Ended = false;
  State = state;
  if (State == SS_FADING_IN && Delay < 1) State = SS_PLAYING;
  if (State == SS_STOPPED) {
    if (item_ == nullptr) return;
    ReleaseItem();
    StartPos = 0;
    Scrap();
    return;
  }
  if (State == SS_PLAYING || State == SS_FADING_IN) {
    if (item_ != nullptr) return;
    OpenItem();
    if (item_ == nullptr) return;
    item_->SetRepeat(Repeat);
    item_->SetRepeatPos(RepeatPos);
    if (State == SS_PLAYING) {
      item_->SetVolume(MixerLevel());
      if (Paused) item_->Pause();
      else item_->Play();
      if (StartPos > 0) item_->SetPosition(StartPos);
    } else if (!Paused) {
      FadeIn();
    }
    return;
  }
  if (State == SS_FADING_OUT) {
    if (item_ == nullptr) {
      Scrap();
      return;
    }
    FadeOut();
    SetName("SCRAP_" + GetName());
  }
}

void TOrbaSound::FadeOut() {
  fader_ = std::make_unique<TOrbaMixerFadeout>(item_, kSilentLevel, static_cast<uint32_t>(std::max(Delay, 0)));
  StartPos = 0;
}

void TOrbaSound::Play() {
  StartPos = 0;
  Paused = false;
  Ended = false;
  SetState(SS_FADING_IN);
  if (item_ == nullptr) return;
  fader_ = PlayFromStart(*item_, MixerLevel(), Delay);
}

bool TOrbaSound::Idle() {
  if (item_ != nullptr && item_->IsEnd()) {
    item_->SetEnd(false);
    if (Repeat) {
      item_->SetPosition(0);
    } else {
      Ended = true;
      if (AutoScrap) return true;
      if (!OnPlayEnd.empty()) QueueEvent(OnPlayEnd, PR_ONPLAYEND);
    }
  }
  if (fader_ != nullptr && fader_->Step()) {
    const bool faded_out = dynamic_cast<TOrbaMixerFadeout*>(fader_.get()) != nullptr;
    fader_.reset();
    if (faded_out) return true;
  }
  return false;
}

void TOrbaSound::SaveToStream(TKsBigStream& stream) const {
  TOrbaComponent::SaveToStream(stream);
  WriteStreamString(stream, Source);
  WriteStreamBool(stream, Repeat);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamBool(stream, Paused);
  WriteStreamBool(stream, Held);
  WriteStreamBool(stream, Ended);
  WriteStreamInt(stream, Volume);
  WriteStreamInt(stream, Balance);
  WriteStreamInt(stream, Delay);
  WriteStreamInt(stream, GetIndex());
  // A short one-shot sound is not worth restarting after a load.
  const bool short_once = State < SS_STOPPED && !Repeat && GetCount() < 3000;
  WriteStreamByte(stream, short_once ? uint8_t{SS_STOPPED} : State);
  WriteStreamString(stream, OnPlayEnd);
  WriteStreamBool(stream, RewindOnLoad);
  WriteStreamBool(stream, MuteOnLoad);
  WriteStreamInt(stream, RepeatPos);
}

void TOrbaSound::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaComponent::LoadFromStream(stream, version);
  std::string source = ReadStreamString(stream);
  Repeat = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  const bool paused = ReadStreamBool(stream);
  const bool held = ReadStreamBool(stream);
  const bool ended = ReadStreamBool(stream);
  Volume = ReadStreamInt(stream);
  Balance = ReadStreamInt(stream);
  const int32_t delay = ReadStreamInt(stream);
  const int32_t position = ReadStreamInt(stream);
  uint8_t state = ReadByteVal(stream);
  OnPlayEnd = ReadStreamString(stream);
  RewindOnLoad = version >= kSceneRewindOnLoadVersion ? ReadStreamBool(stream) : false;
  MuteOnLoad = version >= kSceneMuteOnLoadVersion ? ReadStreamBool(stream) : false;
  RepeatPos = version >= kSceneRepeatPosVersion ? ReadStreamInt(stream) : 0;
  if (MuteOnLoad) Volume = 0;
  SetSource(std::move(source));
  StartPos = RewindOnLoad ? 0 : position;
  Paused = paused;
  Held = held;
  Ended = ended;
  if (Ended) {
    // The sound had played to its end; one that was fading out has nothing
    // left to fade and goes, as it would have at the end of its fade.
    Delay = delay;
    State = state;
    if (State == SS_FADING_OUT) Scrap();
    return;
  }
  // A sound saved while fading out starts again and fades out again over
  // its whole fade time; like every fade-out it renames itself, so the
  // "SCRAP_" name it was saved with gains a second "SCRAP_".
  if (state == SS_FADING_OUT) SetState(SS_PLAYING);
  Delay = delay;
  SetState(state);
  if (Paused || Held) ApplyPause();
}

void RegisterSoundItem() {
  RegisterCompoType(CT_SOUND, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaSound>(manager);
  });
}

}  // namespace orba
