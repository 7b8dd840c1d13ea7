#include "platform/sdl/sdl_audio.h"

#include <SDL.h>

#include <cstring>
#include <stdexcept>

namespace orba {

namespace {

SDL_AudioDeviceID OpenDevice(SDL_AudioSpec& want, SDL_AudioSpec& have) {
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

}  // namespace

TSdlAudio::TSdlAudio() {
  SDL_AudioSpec want{}, have{};
  want.freq = kAudioRate;
  want.format = AUDIO_S16SYS;
  want.channels = kAudioChannels;
  want.samples = 1024;
  want.callback = &TSdlAudio::Callback;
  want.userdata = this;
  SDL_AudioDeviceID id = 0;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) id = OpenDevice(want, have);
  if (id == 0) {
    // No sound device: the dummy driver consumes the mix in real time.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
      throw std::runtime_error(std::string("no sound output: ") + SDL_GetError());
    id = OpenDevice(want, have);
    if (id == 0) throw std::runtime_error(std::string("no sound output: ") + SDL_GetError());
  }
  device_ = id;
  buffer_frames_ = have.samples;
  const char* driver = SDL_GetCurrentAudioDriver();
  driver_ = driver != nullptr ? driver : "";
}

TSdlAudio::~TSdlAudio() {
  SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TSdlAudio::Start(TAudioSource* source) {
  Lock();
  source_ = source;
  Unlock();
  SDL_PauseAudioDevice(device_, source != nullptr ? 0 : 1);
}

void TSdlAudio::Lock() { SDL_LockAudioDevice(device_); }
void TSdlAudio::Unlock() { SDL_UnlockAudioDevice(device_); }

void TSdlAudio::Callback(void* self, uint8_t* stream, int len) {
  auto* audio = static_cast<TSdlAudio*>(self);
  std::memset(stream, 0, static_cast<size_t>(len));
  if (audio->source_ != nullptr)
    audio->source_->Render(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / (2 * kAudioChannels));
}

}  // namespace orba
