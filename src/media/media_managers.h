// The media managers: each opens the files of one kind as media items,
// owns them until they are given back, and switches its sound on and off.
// Add answers nullptr (and writes why to the trace, and once for each file
// on standard error) for a file it cannot play, so a game goes on without
// the sound. An opening that a quit request cut short is traced only: the
// file is not at fault.
//
// A package does not change while the game runs: a packed entry refused
// for what its own bytes hold (damaged, cut short, too large for its bound,
// not a media file) is refused again at once, for the same reason, without
// unpacking it again: a length probe of a refused sound costs what it
// costs with the file loose. A refusal the system or the moment decided
// (what the game may still write, what the movies open may hold, the room
// the other unpackings left, no temporary file, a file the system would
// not open or read, memory) is judged again at the next opening.
//
// Each sound and movie holds its file open as it plays (a movie twice). So
// that a game opening sound after sound never takes every descriptor the
// player has (its status save needs one at the end), all managers together
// hold at most kMaxOpenMediaFiles items: one more fails as a file that
// cannot be opened, traced each time and said once a run on standard error.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "media/media_item.h"
#include "media/unpacked_media.h"

namespace orba {

class TVrFileCollection;
class TVrFile;
class TVrFileManager;

// The most a packed sound or movie entry is unpacked to in memory, where no
// temporary file can be made to unpack it into (see unpacked_media.h).
inline constexpr int64_t kMaxPackedMediaBytes = int64_t{64} << 20;  // 64 MiB
// The largest MIDI song read: it is read whole (the synthesizer takes it in
// one piece) and songs are a few kilobytes.
inline constexpr int64_t kMaxMidiFileBytes = int64_t{16} << 20;  // 16 MiB
// The refused packed entries a manager keeps: far more than a game names;
// past it they are forgotten and judged again.
inline constexpr size_t kMaxRefusedEntries = 4096;
// The most sounds and movies open at once, of every manager together: far
// more than a game plays at once, and with two descriptors a movie well
// under the usual limit of 1,024 descriptors a process may hold.
inline constexpr size_t kMaxOpenMediaFiles = 256;

class TMediaManager {
 public:
  TMediaManager(TMixer& mixer, TVrFileManager* files) : mixer_(mixer), files_(files) {}
  virtual ~TMediaManager();
  TMediaManager(const TMediaManager&) = delete;
  TMediaManager& operator=(const TMediaManager&) = delete;

  TDMediaItem* Add(const std::string& name);
  // Frees Item and drops it; an item of another manager is left alone.
  void Remove(TDMediaItem* item);
  void SetSoundOn(bool on);
  bool SoundOn() const { return sound_on_; }
  size_t Count() const { return items_.size(); }
  // The items of every manager that are alive now.
  static size_t OpenItems() { return open_items_; }

 protected:
  // The item for Name; raises EMediaError (or another EOrbaError) when the
  // file cannot be played.
  virtual std::unique_ptr<TDMediaItem> Open(const std::string& name) = 0;
  // The file's bytes for a decoder that reads them as the sound plays: a
  // window on the package entry (or on the file on disk) through the file
  // manager's range streams, so a long sound is never held in memory. A
  // packed entry is unpacked into an unnamed temporary file (TUnpackedMedia),
  // as decoders seek about in their file, which a zlib stream cannot: on a
  // worker thread, and once for every opening while any of its readers is
  // held. It is handed over whole, or streamed once past
  // kStreamedMediaBytes, the decoders then reading what is there as it
  // fills. Where no such file can be made, into memory up to
  // kMaxPackedMediaBytes. A packed entry that
  // unpacks to more than MaxUnpacked bytes or than the temporary files may
  // still take ends short (traced); with a MaxUnpacked of at most
  // kMaxPackedMediaBytes (a file read whole) it is unpacked before the
  // stream is handed over and refused here (EFileTooLarge, traced).
  std::unique_ptr<TKsBigStream> OpenFile(const std::string& name, int64_t max_unpacked = kMaxUnpackedMediaBytes);
  // Count streams of the file, each with its own position, for decoders
  // reading on different threads: a packed entry is unpacked once for all.
  std::vector<std::unique_ptr<TKsBigStream>> OpenFiles(const std::string& name, int count,
                                                       int64_t max_unpacked = kMaxUnpackedMediaBytes);
  // What the trace calls the files of this manager.
  virtual const char* Kind() const { return "sound"; }
  const std::vector<std::unique_ptr<TDMediaItem>>& Items() const { return items_; }
  TMixer& mixer_;
  TVrFileManager* files_;

 private:
  // What the opening under way reads from a package, so that Add can tell
  // a refusal the entry will always get from one that a quit or a limit of
  // the moment brought.
  struct TOpening {
    std::string Key;  // the packed entry's; empty for any other file
    std::shared_ptr<TUnpackedMedia> File;
    bool Lasting = true;  // false: refused for a limit of the moment
  };
  // Name's packed entry unpacked into a temporary file; nullptr (traced
  // once) when no temporary file can be made.
  std::shared_ptr<TUnpackedMedia> Unpack(TVrFileCollection& collection, const TVrFile& entry, int64_t limit,
                                         const std::string& key);
  // Whether the opening's Refusal would come again, whatever the moment:
  // only one the entry's own bytes decided.
  static bool Lasting(const TOpening& opening, const EOrbaError& refusal);
  std::vector<std::unique_ptr<TDMediaItem>> items_;
  // The opening under way in Add; nullptr outside it.
  TOpening* opening_ = nullptr;
  // The refusals of packed entries, by key (see above).
  std::map<std::string, std::exception_ptr> refused_;
  bool sound_on_ = true;
  // The items of every manager (window thread only).
  inline static size_t open_items_ = 0;
};

class TWaveItem : public TDMediaItem {
  using TDMediaItem::TDMediaItem;
};
class TCustomOggItem : public TDMediaItem {
  using TDMediaItem::TDMediaItem;
};
class TCddaItem : public TDMediaItem {
  using TDMediaItem::TDMediaItem;
};
class TWmpItem : public TDMediaItem {
  using TDMediaItem::TDMediaItem;
};
class TMidiItem : public TDMediaItem {
 public:
  using TDMediaItem::TDMediaItem;
  bool IsMidi() const override { return true; }
};

// WAVE files.
class TWaveManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;

 protected:
  std::unique_ptr<TDMediaItem> Open(const std::string& name) override;
};

// Ogg Vorbis and WAVE files, played through the program's own mixer.
class TOggManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;

 protected:
  std::unique_ptr<TDMediaItem> Open(const std::string& name) override;
};

// Windows Media files (".wma", ".asf", ".wmv": their audio) through
// libavformat.
class TWmpManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;

 protected:
  std::unique_ptr<TDMediaItem> Open(const std::string& name) override;
};

// CD audio tracks "CD_nn": there is no drive; a file "CD_nn.ogg" or
// "CD_nn.wav" of the game plays in the track's place.
class TCddaManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;

 protected:
  std::unique_ptr<TDMediaItem> Open(const std::string& name) override;
};

// The decoder of a WAVE or Ogg Vorbis file by its content, reading File.
std::unique_ptr<TDecoder> OpenSampledFile(std::unique_ptr<TKsBigStream> file);
// The same for a file kept in memory.
std::unique_ptr<TDecoder> OpenSampledFile(std::vector<uint8_t> bytes);

}  // namespace orba
