// The "vf" package archive: a directory of named entries followed by their
// bytes, each stored as is or packed with zlib. A game travels in one, and
// "save.dat" is one too. TVrFileCollection mounts one archive (or one folder)
// and reads and writes it; TVrFile is one entry.
//
// Directory (all values little-endian, offsets counted from the directory's
// first byte), version 102 as written:
//   "vf", int32 version, int32 N (the end marker not counted),
//   N x (int32 length, scrambled name bytes), (N+1) x scrambled int64 offset,
//   N raw flags, N int32 ages, N uint32 CRCs, N CRC-of-unpacked flags.
// Version 0 has no magic, plain names and plain int32 offsets, version 100
// scrambled int32 offsets, and both lack the four arrays; version 101 lacks
// the last one. Names and offsets are scrambled with the steps of a
// TKsRandom seeded with 0x3C91A5E7: each name byte is XORed with the low byte
// of the next step (one generator for all names), each offset with the next
// step of a second generator, sign-extended for 64-bit offsets.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/hash_collection.h"
#include "core/errors.h"
#include "core/files/disk_path.h"
#include "core/files/file_limits.h"
#include "core/streams/big_stream.h"
#include "core/streams/range_stream.h"
#include "core/streams/resource_stream.h"

namespace orba {

class TVrFileCollection;

// A package directory that cannot be right: counts or lengths beyond the
// bytes there are, offsets outside the archive or going backwards, an
// unknown version. Its message names the file.
class EVrDamagedError : public EOrbaError {
 public:
  // Detail says which part of the directory or which entry failed.
  explicit EVrDamagedError(const std::string& file_name, std::string detail = {});
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

// Raises what looking the file Name up on disk ended in when File came back
// Empty(): the file's open error (its real path and the system's reason)
// when it is there but could not be opened, else Name's "no file" message
// (EOrbaError).
[[noreturn]] void RaiseNoFile(const std::string& name, const TDiskFileName& file);

// The name of the end marker that closes every directory read.
extern const char* const kVrEofName;  // "\EOF\"

// What a directory may cost in memory, and what one entry costs beyond its
// name: the entry object with its name and lower-cased key, the node of the
// name index, its slot in the item list and, while the directory is read,
// its name, offset and flags. Measured: 168 bytes held per entry once
// mounted, 212 at the peak of the read (the index's table growing). A
// directory listing more entries than the limit holds, or names longer in
// all, is refused as damaged before anything is built: a few kilobytes of
// file can list millions of empty entries.
constexpr int64_t kVrMaxDirectoryMemory = int64_t{300} << 20;
constexpr int64_t kVrEntryMemoryCost = 288;
// A name longer than a string holds in place is held three times while the
// directory is read (as read, as the entry's name and as its key), each in
// a heap block of its bytes, a terminator and the allocator's own 16 bytes
// (measured: 444 bytes an entry at the peak for names of 40 bytes, 922 for
// names of 200).
constexpr int64_t kVrNameCopies = 3;
constexpr int64_t kVrNameBlockOverhead = 17;

// Entries of at least this size are never packed.
constexpr int64_t kVrPackLimit = 5242880;  // 5 MiB

// An entry: its name (the path inside the archive, folders separated by
// "\") is the hash item's name.
class TVrFile : public THashCollectionItem {
 public:
  const char* ClassName() const override { return "TVrFile"; }
  // The collection holding the entry.
  TVrFileCollection& Owner() const;

  int64_t Offset = 0;                     // position of the stored bytes in the archive
  std::unique_ptr<TKsMemoryStream> Data;  // content of an entry added in memory
  int64_t Size = 0;                       // stored bytes
  bool Raw = false;                       // stored as is (else one zlib stream)
  int32_t Age = 0;                        // packed file date and time of the source, 0 unknown
  uint32_t Crc = 0;
  bool CrcOfUnpacked = false;             // Crc covers the unpacked bytes (else the stored ones)
  // Written again as stored, unpacked and packed by no one: an entry read
  // from the archive that cannot be unpacked keeps its bytes instead of
  // failing the write (see WriteData).
  bool KeepStored = false;

  // Appends the stored bytes to Stream and sets Raw, Crc and, for a file on
  // disk, Age. An entry read from the collection's archive and marked
  // KeepStored is copied from there byte for byte, its flags unchanged.
  // Otherwise the content comes from Data, else (for an entry read from
  // the collection's archive) from that archive, else from the file BasePath
  // + Name on disk, else from the collection (ReadEntry).
  void WriteData(TKsBigStream& stream);
  // The pack decision for a source file of this entry's name: a ".BRX" file
  // when its layers are stored uncompressed; never the media extensions of
  // the raw list; anything else below 5 MiB.
  bool ShouldPack(TKsBigStream& source) const;

 private:
  friend class TVrFileCollection;
  void AppendPacked(TKsBigStream& stream, TKsMemoryStream& content, bool raw_above_nine_tenths);
  // Appends Content as is: Raw, with the CRC of its bytes.
  void AppendRaw(TKsBigStream& stream, TKsBigStream& content);
  bool from_archive_ = false;  // read from the collection's directory
};

// Called while saving: (collection, entry, bytes, index, count, cancel).
using TVrProgressHandler = std::function<void(TVrFileCollection&, TVrFile&, int64_t, int, int, bool&)>;

class TVrFileCollection : public THashCollection {
 public:
  TVrFileCollection() = default;
  ~TVrFileCollection() override;

  // Mounts a package file or a folder. A path naming no file (and
  // TreatAsFile false) mounts the folder itself. A ".exe" or ".scr" file
  // carries its directory position in the int32 at size - 6; a file with a
  // side file of extension ".ext" has its directory there. A damaged
  // directory raises EVrDamagedError and leaves the collection empty.
  void Open(const std::string& path, bool treat_as_file);
  void OpenPath(const std::string& path) { Open(path, false); }
  // Mounts the archive held in a resource of a Windows program file (read
  // with our own reader of its resource directory). A module that cannot be
  // read leaves the collection empty without a message; a missing or empty
  // resource raises "リソースが見つかりません".
  void OpenResource(const std::string& module_name, const std::string& resource_name, const std::string& resource_type);
  // The same over resources a provider already holds.
  void OpenResource(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                    const std::string& resource_type);
  // Reads a directory from the stream's position and replaces the items with
  // it (all or nothing). Offsets are checked against the archive's size (the
  // stream's own when no archive is open).
  void ReadDirectory(TKsBigStream& stream);

  // The unpacked content of an entry into Dest (emptied first when in
  // memory), Dest then at position 0. A name that is no item is read from
  // BasePath on disk (never the archive file itself). Raises
  // "%s:ファイルがありません" when there is none. An entry or file that holds
  // (or unpacks to) more than MaxSize bytes is refused (RefuseLargeFile):
  // into memory before more than that is held, into another stream before
  // more than that is written.
  void ReadEntry(TKsBigStream& dest, const std::string& name, int64_t max_size = kMaxHeldFileBytes);

  TVrFile* AddItem(const std::string& name);
  // An item with an empty memory stream as its Data.
  TVrFile* AddEntry(const std::string& name);
  void DeleteEntry(const std::string& name);
  TVrFile* GetEntry(int index) const { return &Item<TVrFile>(index); }
  // The item of that name (case-insensitive; of two items of one name the
  // one added later), or nullptr.
  TVrFile* Find(const std::string& name) const { return static_cast<TVrFile*>(THashCollection::Find(name)); }

  // Writes the whole archive (version 102) from the stream's position, which
  // must be the start of a stream of its own (the offsets are the stream's
  // positions). An entry whose data fail is reported in a message box, keeps
  // its slot empty, and makes the result false; a cancel from OnProgress
  // ends the save with false. The stream is left after the directory.
  bool SaveToBigStream(TKsBigStream& stream);
  // Writes the whole archive to the package file Path (Shift-JIS; volumes
  // as TKsBigFileStream splits them) without harming the old one on
  // failure: the archive goes to "NAME~partEXT" beside it first, and each of
  // its volumes is then renamed over the target's. False, with the
  // temporary volumes removed and the target untouched, when
  // SaveToBigStream is; a volume that cannot be created, written or renamed
  // raises (EFOpenError, EWriteError).
  bool SaveToFileSafely(const std::string& path);

  // A read-only window on an entry's stored bytes (not inflated), or nullptr
  // when there is no archive or no such item.
  std::unique_ptr<TRangeStream> OpenEntryRange(const std::string& name);
  // Adds the names of the entries directly in Folder (with its trailing
  // "\"), skipping the end marker and names the list already holds.
  void ListFolder(const std::string& folder, std::vector<std::string>& list) const;

  std::string BasePath;
  std::unique_ptr<TKsBigStream> Archive;
  TVrProgressHandler OnProgress;
  std::string Path;
  std::shared_ptr<TResourceProvider> Module;
  // The directory version last read (0, 100, 101 or 102).
  int Version = 0;

 private:
  friend class TVrFile;
  void CloseArchive();
  // Reads the directory of a resource of the module (Path already set).
  void MountResource(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                     const std::string& resource_type);
  // Reads the entry's unpacked content from the open archive.
  void ReadArchiveEntry(const TVrFile& file, TKsMemoryStream& dest, int64_t max_size = kMaxHeldFileBytes);
  std::unique_ptr<THashCollectionItem> NewItem() const override { return std::make_unique<TVrFile>(); }
  TDiskFileName archive_file_;  // the archive file, for windows opened later
  std::string resource_name_, resource_type_;
};

// The packed date and time of a file's last change (local time), 0 when it
// cannot be told.
int32_t DiskFileAge(const std::string& disk_path);

}  // namespace orba
