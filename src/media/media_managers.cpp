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

TMediaManager::~TMediaManager() { open_items_ -= items_.size(); }

TDMediaItem* TMediaManager::Add(const std::string& name) {
  if (open_items_ >= kMaxOpenMediaFiles) {
    Trace(std::string(Kind()) + " " + name + ": cannot be opened: " + std::to_string(kMaxOpenMediaFiles) +
          " sounds and movies are open");
    return nullptr;
  }
  try {
    std::unique_ptr<TDMediaItem> item = Open(name);
    if (item == nullptr) return nullptr;
    item->SetMuted(!sound_on_);
    items_.push_back(std::move(item));
    ++open_items_;
    return items_.back().get();
  } catch (const EOrbaError& e) {
    Trace(std::string(Kind()) + " " + name + ": " + e.what());
    return nullptr;
  }
}

void TMediaManager::Remove(TDMediaItem* item) {
  const size_t before = items_.size();
  items_.erase(std::remove_if(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; }),
               items_.end());
  open_items_ -= before - items_.size();
}

void TMediaManager::SetSoundOn(bool on) {
  sound_on_ = on;
  for (const auto& item : items_) item->SetMuted(!on);
}

std::unique_ptr<TKsBigStream> TMediaManager::OpenFile(const std::string& name, int64_t max_unpacked) {
  return std::move(OpenFiles(name, 1, max_unpacked).front());
}

std::vector<std::unique_ptr<TKsBigStream>> TMediaManager::OpenFiles(const std::string& name, int count,
                                                                    int64_t max_unpacked) {
  if (files_ == nullptr) throw EMediaError("no files");
  std::vector<std::unique_ptr<TKsBigStream>> streams;
  // The entry the file manager reads the name from: the first package
  // entry of that name with bytes to read.
  for (int i = 0; i < files_->CollectionCount(); ++i) {
    const TVrFileCollection& collection = *files_->GetCollection(i);
    const TVrFile* entry = collection.Find(name);
    if (entry == nullptr || (entry->Data == nullptr && collection.Archive == nullptr)) continue;
    if (entry->Data == nullptr && entry->Raw) break;
    // A packed entry has no stored bytes a decoder could read.
    std::shared_ptr<TUnpackedMedia> unpacked = Unpack(name, max_unpacked);
    for (int k = 0; k < count; ++k) {
      if (unpacked != nullptr) {
        streams.push_back(TUnpackedMedia::NewReader(unpacked));
      } else {
        auto memory = std::make_unique<TKsMemoryStream>();
        files_->LoadToStream(*memory, name, std::min(max_unpacked, kMaxPackedMediaBytes));
        streams.push_back(std::move(memory));
      }
    }
    return streams;
  }
  for (int k = 0; k < count; ++k) streams.push_back(files_->OpenRangeStream(name));
  return streams;
}

std::shared_ptr<TUnpackedMedia> TMediaManager::Unpack(const std::string& name, int64_t max_unpacked) {
  std::shared_ptr<TUnpackedMedia> unpacked;
  try {
    unpacked = TUnpackedMedia::Create();
  } catch (const EFOpenError& e) {
    TraceOnce(std::string("unpacked sounds and movies are held in memory: ") + e.what());
    return nullptr;
  }
  const int64_t room = TUnpackedMedia::Room();
  const int64_t limit = std::min(max_unpacked, kMaxUnpackedMediaBytes);
  std::unique_ptr<TKsBigStream> writer = unpacked->NewWriter();
  try {
    files_->LoadToStream(*writer, name, std::min(limit, room));
  } catch (const EFileTooLarge&) {
    if (room >= limit) throw;
    throw EMediaError("the sounds and movies unpacked into temporary files would take more than " +
                      std::to_string(kMaxUnpackedMediaTotal) + " bytes");
  }
  return unpacked;
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
