#include "media/media_system.h"

#include "core/system/trace.h"
#include "media/mixer.h"
#include "media/sound_item.h"
#include "media/unpacked_media.h"
#include "media/video_item.h"

namespace orba {

TWaveManager* WaveManager = nullptr;
TOggManager* OggManager = nullptr;
TCddaManager* CddaManager = nullptr;
TMidiManager* MidiManager = nullptr;
TWmpManager* WmpManager = nullptr;
TVideoManager* VideoManager = nullptr;
int32_t DisplayScale = 100;
std::function<bool(const std::string&)> MediaFileAvailable;

namespace {
std::unique_ptr<TMixer> mixer;
}  // namespace

void InitMediaGlobals(TVrFileManager* files, std::shared_ptr<TAudioOutput> output) {
  DoneMediaGlobals();
  mixer = std::make_unique<TMixer>(std::move(output));
  WaveManager = new TWaveManager(*mixer, files);
  OggManager = new TOggManager(*mixer, files);
  CddaManager = new TCddaManager(*mixer, files);
  WmpManager = new TWmpManager(*mixer, files);
  const std::string font = TMidiManager::FindSoundFont();
  if (font.empty()) Trace("MIDI: no sound font; MIDI files keep their time without sound");
  MidiManager = new TMidiManager(*mixer, files, font);
  VideoManager = new TVideoManager(*mixer, files);
  RegisterSoundItem();
  RegisterVideoItem();
}

void DoneMediaGlobals() {
  delete WaveManager;
  delete OggManager;
  delete CddaManager;
  delete MidiManager;
  delete WmpManager;
  delete VideoManager;
  WaveManager = nullptr;
  OggManager = nullptr;
  CddaManager = nullptr;
  MidiManager = nullptr;
  WmpManager = nullptr;
  VideoManager = nullptr;
  mixer.reset();
}

void MediaCatchUp(uint32_t game_ms) {
  if (mixer) mixer->Pump(game_ms);
}

void MediaTick(uint32_t game_ms) {
  if (mixer) mixer->Fill();
  if (VideoManager != nullptr) VideoManager->Tick(game_ms);
  // A streamed file found short or damaged as it plays is told in the tick
  // that found it.
  TUnpackedMedia::TraceFailures();
}

void SetMediaSoundOn(bool on) {
  for (TMediaManager* m : {static_cast<TMediaManager*>(WaveManager), static_cast<TMediaManager*>(OggManager),
                           static_cast<TMediaManager*>(CddaManager), static_cast<TMediaManager*>(MidiManager), static_cast<TMediaManager*>(WmpManager),
                           static_cast<TMediaManager*>(VideoManager)})
    if (m != nullptr) m->SetSoundOn(on);
}

}  // namespace orba
