#include "media/media_managers.h"

#include <algorithm>
#include <cstring>

#include "core/files/file_limits.h"
#include "core/files/vr_file_manager.h"
#include "core/streams/compression.h"
#include "core/streams/big_stream.h"
#include "core/streams/stream_encoding.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "media/av_decoder.h"
#include "media/ogg_decoder.h"
#include "media/wave_reader.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

// The stored bytes of a packed entry as its worker reads them. A read
// that comes back short before the entry's end is one the system failed
// (the package's file could not be read there): it is raised as such, not
// taken for bytes that end early, which would be the entry's own fault.
class TStoredEntry : public TKsBigStream {
 public:
  TStoredEntry(TKsBigStream& stored, const std::string& name) : stored_(stored), name_(name) {}
  int64_t GetSize() override { return stored_.GetSize(); }
  int64_t GetPosition() override { return stored_.GetPosition(); }
  void SetPosition(int64_t position) override { stored_.SetPosition(position); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t got = stored_.Read(buffer, count);
    const int64_t at = stored_.GetPosition();
    if (got < count && at < stored_.GetSize())
      throw EStreamError(name_ + ": the package could not be read at byte " + std::to_string(at) + " of the entry");
    return got;
  }

 private:
  TKsBigStream& stored_;
  const std::string name_;
};

}  // namespace

TMediaManager::~TMediaManager() { open_items_ -= items_.size(); }

TDMediaItem* TMediaManager::Add(const std::string& name) {
  if (open_items_ >= kMaxOpenMediaFiles) {
    Trace(std::string(Kind()) + " " + name + ": cannot be opened: " + std::to_string(kMaxOpenMediaFiles) +
          " sounds and movies are open");
    // One line for the run, whatever the files and however many: the trace
    // names each refusal.
    TellRefusal("sounds and movies refused: " + std::to_string(kMaxOpenMediaFiles) +
                " are open, the most the player holds at once");
    return nullptr;
  }
  // What the opening reads is noted, and its unpacking held, only while
  // the opening is judged.
  TOpening opening;
  opening_ = &opening;
  struct TForget {
    TOpening*& Opening;
    ~TForget() { Opening = nullptr; }
  } forget{opening_};
  try {
    std::unique_ptr<TDMediaItem> item = Open(name);
    if (item == nullptr) return nullptr;
    item->SetMuted(!sound_on_);
    items_.push_back(std::move(item));
    ++open_items_;
    return items_.back().get();
  } catch (const EOrbaError& e) {
    const TUnpackedMedia* file = opening.File.get();
    if (QuitRequested() && file != nullptr && file->State() != TUnpackedMedia::TState::kComplete) {
      Trace(std::string(Kind()) + " " + name + ": the quit cut its unpacking short");
      return nullptr;
    }
    Trace(std::string(Kind()) + " " + name + ": " + e.what());
    if (!opening.Key.empty() && Lasting(opening, e)) {
      if (refused_.size() >= kMaxRefusedEntries) refused_.clear();
      refused_[opening.Key] = std::current_exception();
    }
    // In a window the game goes on without a sound: the author is told once
    // for each file. One past its size limit was told as it was refused.
    if (dynamic_cast<const EFileTooLarge*>(&e) == nullptr)
      TellRefusal(SjisToUtf8(name + ": " + Kind() + " refused: " + e.what()));
    return nullptr;
  }
}

void TMediaManager::Remove(TDMediaItem* item) {
  const size_t before = items_.size();
  items_.erase(std::remove_if(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; }),
               items_.end());
  open_items_ -= before - items_.size();
  TUnpackedMedia::TraceFailures();
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
  TUnpackedMedia::TraceFailures();
  std::vector<std::unique_ptr<TKsBigStream>> streams;
  // The entry the file manager reads the name from: the first package
  // entry of that name with bytes to read.
  for (int i = 0; i < files_->CollectionCount(); ++i) {
    TVrFileCollection& collection = *files_->GetCollection(i);
    const TVrFile* entry = collection.Find(name);
    if (entry == nullptr || (entry->Data == nullptr && collection.Archive == nullptr)) continue;
    if (entry->Data == nullptr && entry->Raw) break;
    // A packed entry has no stored bytes a decoder could read. One of the
    // package (not held in memory, where the game may change it) that was
    // refused before is refused again at once.
    const int64_t limit = std::min(max_unpacked, kMaxUnpackedMediaBytes);
    const std::string key = collection.Path + '\n' + name + '\n' + std::to_string(entry->Offset) + '\n' +
                            std::to_string(entry->Size) + '\n' + std::to_string(limit);
    if (entry->Data == nullptr) {
      if (opening_ != nullptr) opening_->Key = key;
      if (const auto refused = refused_.find(key); refused != refused_.end()) std::rethrow_exception(refused->second);
    }
    std::shared_ptr<TUnpackedMedia> unpacked = Unpack(collection, *entry, limit, key);
    for (int k = 0; k < count; ++k) {
      if (unpacked != nullptr) {
        streams.push_back(TUnpackedMedia::NewReader(unpacked));
        // An entry whose unpacking failed before it could be streamed (a
        // limit reached, damaged bytes) is refused for that reason, not for
        // what a decoder makes of the bytes it got.
        if (k == 0 && !TUnpackedMedia::Streamed(*streams.back()) &&
            unpacked->State() == TUnpackedMedia::TState::kFailed) {
          TUnpackedMedia::TraceFailures();
          throw EMediaError(unpacked->FailureText());
        }
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

bool TMediaManager::Lasting(const TOpening& opening, const EOrbaError& refusal) {
  // A limit of the moment, or a file the system would not open (out of
  // descriptors, say): not what the entry holds.
  if (dynamic_cast<const EMediaLimit*>(&refusal) != nullptr || dynamic_cast<const EFOpenError*>(&refusal) != nullptr)
    return false;
  if (!opening.Lasting || opening.File == nullptr) return opening.Lasting;
  if (opening.File->State() != TUnpackedMedia::TState::kFailed) return true;
  return TUnpackedMedia::EntryFailure(opening.File->Failure());
}

std::shared_ptr<TUnpackedMedia> TMediaManager::Unpack(TVrFileCollection& collection, const TVrFile& entry,
                                                      int64_t limit, const std::string& key) {
  const std::string& name = entry.Name();
  // One unpacking of an entry serves every opening of it with the same
  // bound while any reader holds it. One cut at what the other files left
  // would fit another time, whichever opening made it.
  if (std::shared_ptr<TUnpackedMedia> shared = TUnpackedMedia::Find(key)) {
    if (opening_ != nullptr) {
      opening_->File = shared;
      if (shared->Bound() < limit) opening_->Lasting = false;
    }
    return shared;
  }
  // The worker reads the stored bytes through a window of its own: the
  // collection's archive stream is the game thread's.
  const bool held = entry.Data != nullptr;
  std::shared_ptr<TKsBigStream> stored;
  if (!held && (stored = collection.OpenEntryRange(name)) == nullptr) return nullptr;
  std::shared_ptr<TUnpackedMedia> unpacked;
  try {
    unpacked = TUnpackedMedia::Create(name);
    if (opening_ != nullptr) opening_->File = unpacked;
  } catch (const EFOpenError& e) {
    TraceOnce(std::string("unpacked sounds and movies are held in memory: ") + e.what());
    // Held in memory, the entry meets a smaller bound than another time.
    if (opening_ != nullptr) opening_->Lasting = false;
    return nullptr;
  }
  const int64_t room = TUnpackedMedia::Room();
  const int64_t bound = std::min(limit, room);
  if (bound < limit && opening_ != nullptr) opening_->Lasting = false;
  TUnpackedMedia::TFill fill = [stored, name, bound](TKsBigStream& out) {
    TStoredEntry entry_bytes(*stored, name);
    try {
      DecompressToStream(entry_bytes, stored->GetSize(), out, bound, TInflateOrder::kFirstBytesFirst);
    } catch (const EZUnpackedTooLarge&) {
      throw EFileTooLarge(name, bound);
    }
  };
  // An entry held in memory is the game thread's, which may change it or
  // let it go while a worker still runs (one left behind after a quit):
  // it is copied here, and the worker writes the copy.
  if (held) {
    std::shared_ptr<TKsMemoryStream> copy;
    if (entry.Data->GetSize() <= bound) {
      copy = std::make_shared<TKsMemoryStream>();
      files_->LoadToStream(*copy, name, bound);
    }
    fill = [copy, name, bound](TKsBigStream& out) {
      // Refused by the worker, as a packed entry too large is.
      if (copy == nullptr) throw EFileTooLarge(name, bound);
      CopyWholeStream(out, *copy);
    };
  }
  unpacked->Start(std::move(fill), bound);
  // An entry held in memory is written whole before it is handed over, and
  // a small bound (a song read whole) is met before the file is handed
  // over, so that a file too large is refused here, as from disk.
  if ((held || limit <= kMaxPackedMediaBytes) && unpacked->WaitEnd() == TUnpackedMedia::TState::kFailed) {
    const std::string failure = unpacked->FailureText();
    TUnpackedMedia::TraceFailures();
    if (unpacked->Failure() != TUnpackedMedia::TFailure::kTooLarge) throw EMediaError(failure);
    if (room >= limit) RefuseLargeFile(name, limit);
    throw EMediaError("the sounds and movies unpacked into temporary files would take more than " +
                      std::to_string(TUnpackedMedia::TotalLimit()) + " bytes");
  }
  TUnpackedMedia::Remember(key, unpacked);
  return unpacked;
}

std::unique_ptr<TDecoder> OpenSampledFile(std::unique_ptr<TKsBigStream> file) {
  char magic[4] = {};
  file->SetPosition(0);
  if (file->Read(magic, 4) == 4 && std::memcmp(magic, "OggS", 4) == 0) return MakeOggDecoder(std::move(file));
  // A WAVE file's chunks are checked against the most a packed entry still
  // unpacking may reach, so that it plays from its first bytes.
  TUnpackedMedia::SetSizeAnswer(*file, TUnpackedSizeAnswer::kBound);
  try {
    ReadWaveFormat(*file);
  } catch (const EWaveCoding&) {
    // Compressed codings are left to libavcodec, which asks the real size.
    TUnpackedMedia::SetSizeAnswer(*file, TUnpackedSizeAnswer::kFinal);
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
  std::unique_ptr<TKsBigStream> file = OpenFile(name);
  TUnpackedMedia::SetSizeAnswer(*file, TUnpackedSizeAnswer::kBound);  // as in OpenSampledFile
  return std::make_unique<TWaveItem>(mixer_, this, MakeWaveDecoder(std::move(file)));
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
