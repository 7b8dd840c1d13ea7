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

std::unique_ptr<TKsBigStream> TMediaManager::OpenFile(const std::string& name, int64_t max_unpacked) {
  if (files_ == nullptr) throw EMediaError("no files");
  // The entry the file manager reads the name from: the first package
  // entry of that name with bytes to read.
  for (int i = 0; i < files_->CollectionCount(); ++i) {
    const TVrFileCollection& collection = *files_->GetCollection(i);
    const TVrFile* entry = collection.Find(name);
    if (entry == nullptr || (entry->Data == nullptr && collection.Archive == nullptr)) continue;
    if (entry->Data == nullptr && entry->Raw) break;
    // A packed entry has no stored bytes a decoder could read: it is
    // unpacked into memory, once, and only so far.
    auto memory = std::make_unique<TKsMemoryStream>();
    files_->LoadToStream(*memory, name, max_unpacked);
    return memory;
  }
  return files_->OpenRangeStream(name);
}

std::unique_ptr<TDecoder> OpenSampledFile(std::unique_ptr<TKsBigStream> file) {
  char magic[4] = {};
  file->SetPosition(0);
  if (file->Read(magic, 4) == 4 && std::memcmp(magic, "OggS", 4) == 0) return MakeOggDecoder(std::move(file));
  try {
    ReadWaveFormat(*file);
  } catch (const EWaveCoding&) {
    // Compressed codings are left to libavcodec.
    return MakeAvDecoder(std::move(file));
  }
  return MakeWaveDecoder(std::move(file));
}

std::unique_ptr<TDecoder> OpenSampledFile(std::vector<uint8_t> bytes) {
  return OpenSampledFile(std::make_unique<TKsMemoryStream>(std::move(bytes)));
}

std::unique_ptr<TDMediaItem> TWmpManager::Open(const std::string& name) {
  return std::make_unique<TWmpItem>(mixer_, this, MakeAvDecoder(OpenFile(name)));
}

std::unique_ptr<TDMediaItem> TWaveManager::Open(const std::string& name) {
  return std::make_unique<TWaveItem>(mixer_, this, MakeWaveDecoder(OpenFile(name)));
}

std::unique_ptr<TDMediaItem> TOggManager::Open(const std::string& name) {
  return std::make_unique<TCustomOggItem>(mixer_, this, OpenSampledFile(OpenFile(name)));
}

std::unique_ptr<TDMediaItem> TCddaManager::Open(const std::string& name) {
  for (const char* ext : {".ogg", ".wav"}) {
    if (files_ != nullptr && files_->Exists(name + ext))
      return std::make_unique<TCddaItem>(mixer_, this, OpenSampledFile(OpenFile(name + ext)));
  }
  Trace("sound " + name + ": no CD drive and no file " + name + ".ogg or " + name + ".wav");
  return nullptr;
}

}  // namespace orba
