#include "platform/audio.h"

#include <mutex>

namespace orba {

namespace {
std::mutex slot_lock;
std::shared_ptr<TAudioOutput> installed;
}  // namespace

std::shared_ptr<TAudioOutput> AudioOutput() {
  std::lock_guard<std::mutex> lock(slot_lock);
  return installed;
}

std::shared_ptr<TAudioOutput> SetAudioOutput(std::shared_ptr<TAudioOutput> output) {
  std::lock_guard<std::mutex> lock(slot_lock);
  installed.swap(output);
  return output;
}

}  // namespace orba
