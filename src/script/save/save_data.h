// "save.dat": a package archive holding the status entry "STATUSSAVEDATA"
// (data that outlasts every game: status variables, read marks, the image
// cache setting, status tables), one entry "GAMESAVEDATA<slot>" per saved
// game, and the files a script saved under names beginning with "save:".
//
// Status entry: the 9 ASCII bytes "Status103", the status variables, the
// read marks, the image cache setting, the status tables (from 103).
// Game slot: int32 version (141), caption, OnLoadPage, int32 OnLoadTarget,
// then the scene, the backlog, the run state, the game variables and the
// game tables (from 123), each read with the slot's version.
//
// Every write rebuilds the whole archive in memory and replaces the file
// through a temporary file of a fresh name beside it, flushed and renamed
// over the old one: a write that fails leaves the old file, and the
// captions, as they were. An entry that cannot be unpacked (a damaged slot)
// is written back as stored, so it blocks no other save and is replaced
// when its own slot is saved.
// A file that cannot be read at start-up counts as no save data; it is left
// alone until the player saves a game, and then kept as "save.dat.bak",
// written from the bytes read at start-up. A file of more than
// kMaxSaveFileBytes, or one whose bytes cannot be read at all, leaves no
// bytes to keep: it is moved aside at start-up to a fresh name beside it
// ("save.dat.set-aside." and six letters and digits), whole, and the saves
// begin a new file. "save.dat" is read in its folder
// and never through a link leading out of it (a game folder may ship one
// to a file of the user): such a name counts as no file, and the first
// save puts a file of its own in the link's place.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/files/file_limits.h"
#include "core/streams/big_stream.h"
#include "core/vocab/vocab.h"
#include "script/save/save_sections.h"

namespace orba {

class TVrFileCollection;

inline constexpr char kStatusEntryName[] = "STATUSSAVEDATA";
inline constexpr char kGameSlotPrefix[] = "GAMESAVEDATA";
inline constexpr char kSaveFilePrefix[] = "save:";
inline constexpr int32_t kStatusVersion = 103;
inline constexpr int32_t kGameStateVersion = kGameSaveVersion;
// The oldest game slot that can be loaded: an older one is refused before
// any of it is read, so the slot's readers keep no gate at or below it.
inline constexpr int32_t kOldestGameStateVersion = 107;
// What stands between the name of a save file moved aside and the six
// letters and digits that make its new name fresh.
inline constexpr char kSetAsideTag[] = ".set-aside.";
// The permission bits of the empty file that takes the fresh name before
// the save file is renamed over it (the file keeps its own).
inline constexpr unsigned kSetAsideMode = 0600;

// "このセーブデータは使用できません\r\n終了してください"
inline constexpr char kMsgSaveDataUnusable[] =
    "\x82\xb1\x82\xcc\x83Z\x81[\x83u\x83" "f\x81[\x83^\x82\xcd\x8eg\x97p\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
    "\r\n\x8fI\x97\xb9\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";

// "GAMESAVEDATA" followed by the slot in decimal.
std::string GameSlotEntryName(int32_t slot);
// The slot of an entry name: "GAMESAVEDATA" (exactly) followed by decimal
// digits giving a number of 0 or more that fits 32 bits; false otherwise.
bool ParseGameSlotEntryName(const std::string& name, int32_t& slot);
// Whether the name begins with "save:" (case-insensitive).
bool IsSaveFileName(const std::string& name);

// The header of a status entry: its version, or 0 when the entry does not
// begin with "Status" (the stream is then back where it was).
int32_t ReadStatusHeader(TKsBigStream& stream);

// The path of "save.dat" (Shift-JIS). FirstParam is the first command-line
// parameter, empty when there is none: a game folder named there keeps
// "save.dat" when it is writable, as the program's folder does otherwise;
// a folder that is not writable sends it to the per-title folder
// (ResolveSaveDataFile). "/config" names no folder.
std::string GetSaveFileName(const std::string& first_param, const std::string& program_path,
                            const std::string& title);

struct TSaveCaption {
  int32_t Slot = 0;
  std::string Caption;
};

// What the head of a game slot holds.
struct TGameSlotHead {
  int32_t Version = 0;
  std::string Caption;
  std::string OnLoadPage;
  int32_t OnLoadTarget = 0;
};
// Reads the version, caption, OnLoadPage and OnLoadTarget of a slot.
TGameSlotHead ReadGameSlotHead(TKsBigStream& stream);

// Save data is read and written up to kMaxSaveFileBytes
// (core/files/file_limits.h): a write that would make a larger file fails
// and keeps the old one. The file is held once while it is read, an entry
// stored as it is read in place and a packed one unpacked beside it. No
// entry unpacks to more than the limit either: the writer stores an entry
// of 5 MiB or more as it is, so no entry of a file within the limit holds
// more.

class TSaveDataFile {
 public:
  // Path is the Shift-JIS name of "save.dat" as the file streams take it.
  TSaveDataFile(std::string path, const TSaveSections& sections);

  const std::string& Path() const { return path_; }

  // Start-up: reads the status entry when there is one, copies the "save:"
  // entries into MemoryFiles (the in-memory collection; may be null), and
  // rebuilds the captions. A file that cannot be read (or whose status entry
  // cannot) is taken as no save data: Damaged() is then true and Warning()
  // says why. A file with no bytes to keep (too large, or unreadable) is
  // moved aside instead: Damaged() is false, Warning() names both files and
  // the next save writes a new file. Once the file has read whole, a
  // temporary file a killed write left beside it is removed.
  void OpenAtStart(TVrFileCollection* memory_files);
  bool Damaged() const { return damaged_; }
  const std::string& Warning() const { return warning_; }

  // The status entry: write (header and pieces) and read.
  void WriteStatusData(TKsBigStream& stream);
  void ReadStatusData(TKsBigStream& stream);
  // Replaces the status entry and, when WriteSaveData is set and the folder
  // exists, writes the file. Does nothing while a piece is missing or the
  // file on disk is one that could not be read. False when writing failed
  // (LastError says why).
  bool SaveStatus(bool write_save_data);

  // A game slot.
  void WriteGameData(TKsBigStream& stream, const std::string& on_load_page, int32_t on_load_target,
                     const std::string& caption);
  // Reads a whole slot into the pieces; raises on anything unusable (a
  // version below 107 included).
  void ReadGameData(TKsBigStream& stream);
  // Saves the slot and then the status entry; an empty caption saves
  // nothing. The file is written whatever WriteSaveData says. False when the
  // slot could not be written (the old file and the captions stay), or when
  // the status entry could not be written after it; LastError says why.
  bool SaveGame(int32_t slot, const std::string& on_load_page, int32_t on_load_target, const std::string& caption,
                bool write_save_data);

  enum class TLoadResult { NoSlot, Loaded, Unusable };
  // NoSlot when there is no file or no such slot (nothing changes). Unusable
  // when the slot cannot be read: the warning box with kMsgSaveDataUnusable
  // has been shown and the caller ends the game.
  TLoadResult LoadGame(int32_t slot);

  // Replaces one entry of the file with what Fill writes into it and writes
  // the file. ReplacesDamaged says whether this write may replace a file
  // that could not be read (it is kept as "save.dat.bak" first). False when
  // it failed or when it may not replace such a file; the old file stays
  // and LastError says why.
  bool UpdateEntry(const std::string& name, const std::function<void(TKsBigStream&)>& fill, bool replaces_damaged);

  // Captions of the saved slots, in the order of the file's entries.
  std::string GetSaveCaption(int32_t slot) const;
  void SetSaveCaption(int32_t slot, const std::string& caption);
  void LoadSaveCaptions();
  const std::vector<TSaveCaption>& Captions() const { return captions_; }

  std::string LastError;

 private:
  // Whether the heap watch finds room for Bytes of save data held at once
  // (HeapRoomFor); without it LastError says so, and the ceiling counts as
  // passed, which ends the game.
  bool RoomForSave(int64_t bytes);
  // Removes the temporaries a killed write left beside "save.dat"
  // (RemoveStaleTemporaries of core/files/atomic_file.h).
  void RemoveStaleTemporary();
  // The name the file is written under: "save.dat" itself, or in the
  // player's data folder the file a link there leads to.
  std::string WritePath() const;
  // The bytes of "save.dat", read in its folder: a link is followed only
  // while it leads to another place inside the folder (anywhere in the
  // player's data folder, where only the user puts links). Nothing when there is
  // no file, or when its name leads out of the folder or to no regular file
  // (traced); raises when reading fails. Given Set_aside, a file too large
  // to read or whose bytes cannot be read is moved aside instead
  // (SetAsideFile) and Set_aside says so; nothing is then answered.
  std::optional<std::vector<uint8_t>> ReadSaveFile(std::string* set_aside = nullptr) const;
  // Rebuilds the captions from the archive C.
  void CaptionsOf(TVrFileCollection& c);
  // Mounts the archive of the bytes read; false when there is no file,
  // raises when it cannot be read.
  bool OpenCollection(TVrFileCollection& c) const;

  std::string path_;
  TSaveSections sections_;
  std::vector<TSaveCaption> captions_;
  bool damaged_ = false;
  std::string warning_;
  // The bytes of a file that could not be read at start-up, kept for its
  // backup.
  std::optional<std::vector<uint8_t>> unread_;
};

}  // namespace orba
