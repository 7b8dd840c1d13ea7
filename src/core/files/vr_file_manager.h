// The one file-access layer of the player. Game data is asked for by a
// relative name (a page, a picture, a sound); the manager looks it up in the
// override folder, the mounted packages in mount order, and the CD-ROM search
// folders, and answers whether it exists, loads it, hands out a read-only
// window on its stored bytes, or extracts it to a temporary file for code
// that can only open a path on disk (sounds and movies read the stored
// bytes through the window instead). It also swaps the packages of a
// multi-disc title.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files/disk_path.h"
#include "core/files/file_limits.h"
#include "core/files/vr_file.h"
#include "core/streams/range_stream.h"

namespace orba {

// The error text of a file the manager cannot find: "NAME:ファイルがありません".
std::string NoFileMessage(const std::string& name);

// One extracted temporary file.
class TVrLockData {
 public:
  TVrLockData(std::string name, int32_t id, std::string path)
      : Name(std::move(name)), Id(id), FilePath(std::move(path)) {}
  // Queues the file for deletion (while the deletion list exists).
  ~TVrLockData();
  TVrLockData(const TVrLockData&) = delete;
  TVrLockData& operator=(const TVrLockData&) = delete;

  std::string Name;  // the name that was looked up
  int32_t Id = 0;
  int32_t UseCount = 1;
  int32_t Remaining = 0;  // milliseconds left once released
  std::string FilePath;   // TempFolder + "~ob" + 8 hex digits + extension

  // Forgets the file without queueing it (a failed extraction).
  void Discard() { FilePath.clear(); }
};

class TVrLockList {
 public:
  // A new record; its id is NextId, which then moves past every id in use.
  TVrLockData* Add(const std::string& name, const std::string& temp_folder);
  // The record whose Name equals Name exactly, or nullptr.
  TVrLockData* FindName(const std::string& name) const;
  // Removes and frees a record, deleting its file at once.
  void DiscardRecord(TVrLockData* record);
  // Each tick: lowers the Remaining time of the released records by the
  // tick's length and frees those whose time has run out.
  void ReleaseExpired(int32_t frame_time);

  std::vector<std::unique_ptr<TVrLockData>> Items;
  std::vector<std::unique_ptr<TVrLockData>> Released;
  int32_t NextId = 0;

 private:
  bool IdInUse(int32_t id) const;
};

// What a disc request needs from the open project.
struct TVrDiscSettings {
  std::string TitleId;     // compared with the "install.dat" of each disc
  std::string DiskPrompt;  // one "%d" for the disc number
  std::string QuitText;
  // Called when the player gives up the request: sets the quit flag and
  // closes the main window.
  std::function<void()> OnQuit;
};

class TVrFileManager {
 public:
  // Notes the disc folders (iso9660 and udf mounts now, plus the folders
  // of ORBA_SEARCH_FOLDERS) and makes the private temporary folder. No disc
  // is searched before TakeDiscsOfTitle names the game's title.
  TVrFileManager();
  ~TVrFileManager();
  TVrFileManager(const TVrFileManager&) = delete;
  TVrFileManager& operator=(const TVrFileManager&) = delete;

  // Mounts a package file or folder at the end and returns its index; -1
  // when a mounted collection already has that BasePath. A damaged package
  // raises and mounts nothing.
  int AddArchive(const std::string& path);
  int AddResourceArchive(const std::string& module_name, const std::string& resource_name,
                         const std::string& resource_type);
  // Mounts a collection made elsewhere (the in-memory collection 0).
  int AddCollection(std::unique_ptr<TVrFileCollection> collection);
  TVrFileCollection* GetCollection(int index) const { return collections_[static_cast<size_t>(index)].get(); }
  int CollectionCount() const { return static_cast<int>(collections_.size()); }
  void RemoveCollection(int index);

  void SetOverrideFolder(const std::string& folder);

  bool Exists(const std::string& name) const;
  // The unpacked content into Dest (emptied first when in memory), Dest then
  // at position 0. Raises "%s:ファイルがありません". A file of more than
  // MaxSize bytes is refused (RefuseLargeFile) before more than that is
  // held in memory or written to Dest; a Dest that is no memory stream
  // takes the content piece by piece.
  void LoadToStream(TKsBigStream& dest, const std::string& name, int64_t max_size = kMaxHeldFileBytes);
  // The whole unpacked content of Name, when it holds at most MaxSize bytes:
  // read once, straight into the bytes handed back, so that no more than
  // MaxSize bytes (and one piece being copied) are ever held for it. Raises
  // EFileTooLarge, before it holds more, for a larger file, and as
  // LoadToStream when there is none or it cannot be read.
  std::vector<uint8_t> LoadBytes(const std::string& name, int64_t max_size);
  // A read-only window on the stored bytes, owned by the caller.
  std::unique_ptr<TRangeStream> OpenRangeStream(const std::string& name);
  // A path on disk the platform can open: the override or search-folder
  // file, or a temporary file extracted from a package; else the name.
  std::string RealFileName(const std::string& name);
  // Writes the named file to a new temporary file and returns its path.
  std::string ExtractToTemp(const std::string& name);
  TVrFile* FindEntry(const std::string& name) const;
  void ListFiles(const std::string& folder, std::vector<std::string>& list) const;
  static std::string ExtractFolder(const std::string& name);

  // Disc change: unmounts the packages of the search folders and asks for
  // disc N (from 1) until it is mounted or the player gives up (false).
  bool RequestDisk(int n);
  // Mounts "game.dat" of every disc folder whose "install.dat" has the
  // title's id and disc number Index; the folder becomes a search folder.
  bool MountDisk(int index);
  // Sets the game's title id and takes as search folders (opened to the
  // game for reading) only the disc folders whose "install.dat" carries it,
  // so that a disc of the user's own is never read. An empty id takes none.
  void TakeDiscsOfTitle(const std::string& title_id);

  // Every disc folder noted at start-up, the game's or not.
  std::vector<std::string> DiscFolders;
  // The disc folders of the game's title: searched for its files.
  std::vector<std::string> SearchFolders;
  std::string OverrideFolder;
  TVrLockList LockList;
  std::string TempFolder;
  TVrDiscSettings DiscSettings;

 private:
  // Adds a disc folder of the title to the search folders, opened to the
  // game once its file access is restricted.
  void TakeSearchFolder(const std::string& folder);
  // The file Name in Folder (or the first search folder holding it) opened
  // through the file-access policy; Empty() when there is none, with the
  // system's reason when one was there but could not be opened (the first
  // such of the search folders).
  TDiskFileName FindInFolder(const std::string& folder, const std::string& name) const;
  TDiskFileName FindInSearchFolders(const std::string& name) const;
  // Whether there is such a file, without opening it.
  bool InFolder(const std::string& folder, const std::string& name) const;
  void LoadDiskFile(TKsBigStream& dest, const std::string& name, const TDiskFileName& file, int64_t max_size);
  std::vector<std::unique_ptr<TVrFileCollection>> collections_;
};

// The title id in Folder's "install.dat" (Folder Shift-JIS with a trailing
// separator), read by the player itself whatever the game may open; nullopt
// when there is none or it cannot be read.
std::optional<std::string> DiscTitleId(const std::string& folder);

// The search folders of a mount table (the text of /proc/self/mounts): the
// mount points of iso9660 and udf file systems, with a trailing "\".
std::vector<std::string> CdromMountFolders(const std::string& mounts);

// The manager instance (nullptr outside InitVrFiles .. FinalVrFiles).
TVrFileManager* VrFileManager();
void InitVrFiles();
// Frees the manager (queueing every extracted file), deletes the queued
// files and removes the temporary folder.
void FinalVrFiles();
// Deletes the files queued for deletion, ignoring failures.
void DeleteVrTempFiles();
// Queues a file for deletion (while the list exists).
void QueueVrTempFile(const std::string& path);

// Removes a name from the memory cache of loaded files. The player keeps no
// such cache (every load reads its source), so there is nothing to remove.
inline void VrCacheRemove(TVrFileManager& /*manager*/, const std::string& /*name*/) {}

// Fills a "%d" format with a number; "%%" gives "%"; any other "%" stays as
// it is. Formats come from game data, so nothing else is interpreted.
std::string FormatDiscNumber(const std::string& format, int n);

}  // namespace orba
