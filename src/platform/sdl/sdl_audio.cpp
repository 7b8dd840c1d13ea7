#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstring>
#include <stdexcept>

namespace orba {

namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Where there is no sound card, ALSA prints its own "ALSA lib ..." lines for
// every device SDL tries; the player falls back to the dummy driver without
// a word, so the library's printing is switched off. SDL loads libasound at
// run time: the same library, loaded here, carries the hook, and stays
// loaded so that the hook stays valid.
void SilenceAlsa() {
  static const bool done = [] {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr) return false;
    using THandler = void (*)(const char*, int, const char*, int, const char*, ...);
    using TSetHandler = int (*)(THandler);
    if (auto set = reinterpret_cast<TSetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(&IgnoreAlsaError);
    return true;
  }();
  (void)done;
}

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
  SilenceAlsa();
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
