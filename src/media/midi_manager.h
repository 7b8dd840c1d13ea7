// The MIDI manager: MIDI files played by FluidSynth with the General MIDI
// sound font found at start-up. The one device is the sound font. Without a
// sound font a MIDI item still keeps the song's time, silently.
#pragma once

#include <string>

#include "media/media_managers.h"

namespace orba {

class TMidiManager : public TMediaManager {
 public:
  // SoundFont: the .sf2 file to play with, or "" for silent timing.
  TMidiManager(TMixer& mixer, TVrFileManager* files, std::string sound_font);

  // The name of the device in use: the sound font's file name, or the
  // mapper's name without one.
  std::string GetCurrentDeviceName() const;
  // The name of device Index; the mapper's name outside the list.
  std::string GetDeviceName(int32_t index) const;
  int32_t DeviceCount() const { return sound_font_.empty() ? 0 : 1; }
  // Selects the device Name; a name not in the list selects entry 0.
  void SetDeviceName(const std::string& name) {}

  // The first General MIDI sound font of the usual folders, or "".
  static std::string FindSoundFont();

 protected:
  std::unique_ptr<TDMediaItem> Open(const std::string& name) override;

 private:
  std::string sound_font_;
};

}  // namespace orba
