// The media globals: the mixer over the installed sound output and the
// managers of each kind of sound. The shell starts them with a game, calls
// MediaCatchUp and MediaTick once a tick and stops them at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/media_managers.h"
#include "media/midi_manager.h"
#include "media/video_manager.h"

namespace orba {

class TAudioOutput;

extern TWaveManager* WaveManager;
extern TOggManager* OggManager;
extern TCddaManager* CddaManager;
extern TMidiManager* MidiManager;
extern TWmpManager* WmpManager;
extern TVideoManager* VideoManager;
// Window pixels per game pixel in percent (the presenter's scale): video
// overlay rectangles are given in window pixels.
extern int32_t DisplayScale;
// Whether the game has a file (the project's answer); every name is taken as
// present while unset.
extern std::function<bool(const std::string&)> MediaFileAvailable;

// Makes the mixer and the managers over Output (nullptr: silent, no time
// passes); reads files through Files. Also registers the sound and video
// items.
void InitMediaGlobals(TVrFileManager* files, std::shared_ptr<TAudioOutput> output);
void DoneMediaGlobals();
// The tick, before the script runs: an output that the tick drives renders
// the game time up to GameMs with the sounds as the last tick left them, so
// that a sound this tick's script starts is heard from this tick's clock on.
void MediaCatchUp(uint32_t game_ms);
// The tick, after the script: decodes ahead for every sound and moves the
// videos to their positions.
void MediaTick(uint32_t game_ms);
// Every manager's sound switch.
void SetMediaSoundOn(bool on);

}  // namespace orba
