// A file stream with 64-bit sizes that spreads one logical file over volumes:
// volume 0 is the named file, volume n >= 1 the name with its extension
// replaced by ".%03d" ("game.dat", "game.001", "game.002", ...). Every volume
// but the last holds exactly VolumeSize bytes, so archives can pass the 2 GiB
// and 4 GiB limits of file systems and plain streams.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"

namespace orba {

class TDiskWalk;

// File-open modes: the access in the low 4 bits, the sharing in bits 4 to 7.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TKsBigFileStream : public TKsBigStream {
 public:
  static constexpr int64_t kDefaultVolumeSize = int64_t{1} << 30;  // 1 GiB
  static constexpr int64_t kChunkSize = 1 << 20;                    // copy buffer

  // Read and read-write access open the existing volumes: volume 0, then
  // volume n + 1 for as long as volume n is exactly VolumeSize long and the
  // next file exists. Volume 0 missing raises EFOpenError.
  //
  // Read access opens volume 0 by its name (a regular file only, never
  // waiting on a FIFO) and looks every later volume up in the folder where
  // that file really lies, named after it, through the file-access policy's
  // WalkBeside: a link planted there must lead inside that folder (or the
  // game's folders), so a package's volume never reaches another file of the
  // user. A volume there that may not be read counts as one that cannot be
  // opened: it is taken as a full volume of which nothing can be read, and
  // the next one is still looked for. A folder of a volume's name is no
  // volume: the volumes end before it.
  //
  // Any other access (write) starts from scratch: volumes 0, 1, 2, ... are
  // deleted up to the first one missing, and Write creates them anew. A
  // stream that writes never opens or writes through a symlink: an existing
  // volume that is one is not opened (volume 0 raises EFOpenError), and a
  // volume Write creates replaces the link itself.
  //
  // The sharing bits are accepted but not enforced: Linux has no mandatory
  // share modes.
  TKsBigFileStream(const std::string& file_name, uint16_t mode, int64_t volume_size = kDefaultVolumeSize);
  ~TKsBigFileStream() override;

  int64_t GetSize() override;
  int64_t GetPosition() override { return position_; }
  // Clamped into [0, size].
  void SetPosition(int64_t position) override;
  // Creates the volumes it needs; a volume that cannot be created raises
  // EFOpenError, a failing write EWriteError.
  int64_t Write(const void* buffer, int64_t count) override;
  // Returns fewer bytes at the end of the last volume or when a volume
  // cannot be read.
  int64_t Read(void* buffer, int64_t count) override;

  // Read access: a read stream over the file Name (Shift-JIS, no folder)
  // in the folder where volume 0 was found, looked up and judged as the
  // further volumes are (a package's side file); null when there is none or
  // a folder has its name. One there that may not be read raises
  // EFOpenError.
  std::unique_ptr<TKsBigFileStream> OpenBeside(const std::string& name) const;
  // Read access: the Shift-JIS name of the file volume 0 is in its folder
  // (the name itself, or a link's target).
  const std::string& FirstEntry() const { return entry_; }

  // The Shift-JIS name of volume n of this file.
  std::string VolumeFileName(int n) const { return VolumeFileName(file_name_, n); }
  // Volume 0 is FileName itself; volume n >= 1 is FileName with its
  // extension (if any) replaced by ".%03d" of n.
  static std::string VolumeFileName(const std::string& file_name, int n);
  int VolumeCount() const { return static_cast<int>(volumes_.size()); }
  int64_t VolumeSize() const { return volume_size_; }
  const std::string& FileName() const { return file_name_; }

 private:
  struct Volume {
    int fd = -1;  // -1: a volume that could not be opened
    int64_t size = 0;
  };
  // Read access over the file a walk found, open as Fd.
  TKsBigFileStream(const TDiskWalk& walk, int fd, int64_t volume_size);
  bool Writable() const { return (mode_ & 3) != fmOpenRead; }
  void OpenForReading();
  // Takes Fd, the file at RealPath (disk bytes), as volume 0 and opens the
  // volumes that follow it.
  void OpenVolumes(int fd, const std::string& real_path);
  void CreateVolume(int n);
  // Walks `count` bytes from the position volume piece by volume piece:
  // piece(volume, offset in it, at most n, bytes moved so far) moves up to n
  // bytes and returns the count; fewer than n ends the walk. Advances the
  // position and returns the total.
  template <typename Piece>
  int64_t EachPiece(int64_t count, Piece piece);

  std::string file_name_;
  uint16_t mode_;
  int64_t volume_size_;
  int64_t position_ = 0;
  std::vector<Volume> volumes_;
  std::string folder_;  // read access: the real folder (disk bytes) of volume 0, "" for "/"
  std::string entry_;   // read access: FirstEntry; "" when where volume 0 lies is unknown
};

}  // namespace orba
