#include "media/media_managers.h"

#include <algorithm>
#include <cstring>

#include "core/files/vr_file_manager.h"
#include "core/streams/big_stream.h"
#include "core/system/trace.h"
#include "media/av_decoder.h"
#include "media/ogg_decoder.h"
#include "media/wave_reader.h"

namespace orba {

TDMediaItem* TMediaManager::Add(const std::string& name) {
  try {
    std::unique_ptr<TDMediaItem> item = Open(name);
    if (item == nullptr) return nullptr;
    item->SetMuted(!sound_on_);
    items_.push_back(std::move(item));
    return items_.back().get();
  } catch (const EOrbaError& e) {
    Trace(std::string(Kind()) + " " + name + ": " + e.what());
    return nullptr;
  }
}

void TMediaManager::Remove(TDMediaItem* item) {
  items_.erase(std::remove_if(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; }),
               items_.end());
}

void TMediaManager::SetSoundOn(bool on) {
  sound_on_ = on;
  for (const auto& item : items_) item->SetMuted(!on);
}

std::vector<uint8_t> TMediaManager::LoadFile(const std::string& name) {
  if (files_ == nullptr) throw EMediaError("no files");
  TKsMemoryStream stream;
  files_->LoadToStream(stream, name);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.GetSize());
}

std::unique_ptr<TDecoder> OpenSampledFile(std::vector<uint8_t> bytes) {
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), "OggS", 4) == 0) return MakeOggDecoder(std::move(bytes));
  try {
    ReadWaveFormat(bytes.data(), bytes.size());
  } catch (const EWaveCoding&) {
    // Compressed codings are left to libavcodec.
    return MakeAvDecoder(std::move(bytes));
  }
  return MakeWaveDecoder(std::move(bytes));
}

std::unique_ptr<TDMediaItem> TWmpManager::Open(const std::string& name) {
  return std::make_unique<TWmpItem>(mixer_, this, MakeAvDecoder(LoadFile(name)));
}

std::unique_ptr<TDMediaItem> TWaveManager::Open(const std::string& name) {
  return std::make_unique<TWaveItem>(mixer_, this, MakeWaveDecoder(LoadFile(name)));
}

std::unique_ptr<TDMediaItem> TOggManager::Open(const std::string& name) {
  return std::make_unique<TCustomOggItem>(mixer_, this, OpenSampledFile(LoadFile(name)));
}

std::unique_ptr<TDMediaItem> TCddaManager::Open(const std::string& name) {
  for (const char* ext : {".ogg", ".wav"}) {
    if (files_ != nullptr && files_->Exists(name + ext))
      return std::make_unique<TCddaItem>(mixer_, this, OpenSampledFile(LoadFile(name + ext)));
  }
  Trace("sound " + name + ": no CD drive and no file " + name + ".ogg or " + name + ".wav");
  return nullptr;
}

}  // namespace orba
