#include "media/midi_manager.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/files/file_limits.h"
#include "media/midi_file.h"
#include "platform/audio.h"

namespace orba {

namespace {

// "MIDIマッパー": the name of the device that stands for the default one.
const char kMapperName[] = "MIDI\x83\x7d\x83\x62\x83\x70\x81\x5b";

// A song rendered by its own FluidSynth synthesizer at the output's rate.
// The player runs on the synthesizer's sample clock, so rendering is
// deterministic; the length comes from the file's tempo map.
class TFluidDecoder : public TDecoder {
 public:
  TFluidDecoder(std::vector<uint8_t> song, const std::string& sound_font) : song_(std::move(song)) {
    timeline_ = TMidiTimeline::Read(song_.data(), song_.size());
    frames_ = static_cast<int64_t>(timeline_.LengthMicros() * kAudioRate / 1000000);
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", kAudioRate);
    fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr || fluid_synth_sfload(synth_, sound_font.c_str(), 1) == FLUID_FAILED) {
      Free();
      throw EMediaError("the sound font " + sound_font + " does not load");
    }
    Restart(0);
  }
  ~TFluidDecoder() override { Free(); }
  int32_t Rate() const override { return kAudioRate; }
  int32_t Channels() const override { return 2; }
  int64_t Frames() const override { return frames_; }
  void Seek(int64_t frame) override { Restart(std::clamp<int64_t>(frame, 0, frames_)); }
  size_t Read(float* out, size_t frames) override {
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames), frames_ - pos_));
    if (n > 0) fluid_synth_write_float(synth_, static_cast<int>(n), out, 0, 2, out, 1, 2);
    pos_ += static_cast<int64_t>(n);
    return n;
  }

 private:
  void Restart(int64_t frame) {
    if (player_ != nullptr) {
      fluid_player_stop(player_);
      delete_fluid_player(player_);
    }
    fluid_synth_system_reset(synth_);
    player_ = new_fluid_player(synth_);
    if (player_ == nullptr || fluid_player_add_mem(player_, song_.data(), song_.size()) != FLUID_OK)
      throw EMediaError("FluidSynth does not read the song");
    fluid_player_play(player_);
    if (frame > 0)
      fluid_player_seek(player_, static_cast<int>(std::min<uint64_t>(
                                     timeline_.TickAt(static_cast<uint64_t>(frame) * 1000000 / kAudioRate), INT32_MAX)));
    pos_ = frame;
  }
  void Free() {
    if (player_ != nullptr) delete_fluid_player(player_);
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    if (settings_ != nullptr) delete_fluid_settings(settings_);
    player_ = nullptr;
    synth_ = nullptr;
    settings_ = nullptr;
  }
  std::vector<uint8_t> song_;
  TMidiTimeline timeline_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
  int64_t frames_ = 0, pos_ = 0;
};

}  // namespace

TMidiManager::TMidiManager(TMixer& mixer, TVrFileManager* files, std::string sound_font)
    : TMediaManager(mixer, files), sound_font_(std::move(sound_font)) {
  // FluidSynth's own messages would go to the terminal; failures reach the
  // trace through EMediaError.
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
    fluid_set_log_function(level, nullptr, nullptr);
}

std::string TMidiManager::GetDeviceName(int32_t index) const {
  if (index < 0 || index >= DeviceCount()) return kMapperName;
  return std::filesystem::path(sound_font_).filename().string();
}

std::string TMidiManager::GetCurrentDeviceName() const { return GetDeviceName(0); }

std::string TMidiManager::FindSoundFont() {
  if (const char* chosen = std::getenv("ORBA_SOUND_FONT")) return chosen;
  for (const char* path : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                           "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"}) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return path;
  }
  return "";
}

std::unique_ptr<TDMediaItem> TMidiManager::Open(const std::string& name) {
  const std::string ext = name.size() >= 4 ? name.substr(name.size() - 4) : "";
  if (ext == ".sgt" || ext == ".SGT") throw EMediaError("DirectMusic segments are not played");
  // FluidSynth's player and the tempo map take the song in one piece; MIDI
  // songs are a few kilobytes.
  std::unique_ptr<TKsBigStream> file = OpenFile(name, kMaxMidiFileBytes);
  CheckFileSize(name, file->GetSize(), kMaxMidiFileBytes);
  std::vector<uint8_t> song = ReadWholeFile(std::move(file));
  if (sound_font_.empty()) {
    const TMidiTimeline timeline = TMidiTimeline::Read(song.data(), song.size());
    return std::make_unique<TMidiItem>(
        mixer_, this,
        std::make_unique<TSilentDecoder>(kAudioRate, static_cast<int64_t>(timeline.LengthMicros() * kAudioRate / 1000000)));
  }
  return std::make_unique<TMidiItem>(mixer_, this, std::make_unique<TFluidDecoder>(std::move(song), sound_font_));
}

}  // namespace orba
