// "install.dat": the record that names a title and a disc, read to find the
// game data beside the program or on a CD-ROM, and written back after a file
// was registered. And the folder-to-disc list of the project settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"

namespace orba {

class TWritePlace;

class TOrbaInstallSet {
 public:
  static constexpr int kWriteVersion = 108;
  // The largest record read. Its counts and lengths are 32-bit, so the
  // format itself bounds nothing below gigabytes; what a record holds is a
  // title, a few texts and the names of the files a game registered, a few
  // kilobytes even for thousands of names. A record is read whole and
  // parsed into as much again, so this keeps both far below the player's
  // memory limit.
  static constexpr int64_t kMaxFileBytes = int64_t{16} << 20;  // 16 MiB
  // The versions from which the record holds a field (before kWideValues,
  // the entry arrays and E to H are 4 bytes each).
  static constexpr int kWideValuesVersion = 100;
  static constexpr int kFlag6Version = 101;
  static constexpr int kFilesVersion = 102;
  static constexpr int kCompleteInstallVersion = 103;
  static constexpr int kFlag7Version = 104;
  static constexpr int kFlag8Version = 105;
  static constexpr int kNamesVersion = 106;
  static constexpr int kText9Version = 107;
  static constexpr int kText10Version = 108;

  // Fields in file order. Those the player does not interpret are carried
  // unchanged.
  int32_t DiscNumber = 0;
  std::string TitleId;
  std::string Text2, Text3, Text4;
  uint8_t Flag1 = 0;
  std::string Text5;
  uint8_t Flag2 = 0;
  std::string Text6;
  int32_t Number1 = 0;
  uint8_t Flag3 = 0, Flag4 = 0;
  std::string Text7, Text8;
  // One value of each array per entry (the entry count is their length).
  std::vector<int64_t> ArrayA, ArrayB, ArrayC, ArrayD;
  int64_t ValueE = 0, ValueF = 0, ValueG = 0, ValueH = 0;
  uint8_t Flag5 = 0, Flag6 = 0;
  std::vector<std::string> Files;  // registered file names
  uint8_t CompleteInstall = 0;     // non-zero: no disc is needed
  uint8_t Flag7 = 0, Flag8 = 0;
  std::vector<std::string> Names;  // the further name list
  std::string Text9, Text10, Text11;

  // The version the record was read with (kWriteVersion for a new one).
  int Version = kWriteVersion;

  // Reads the record from the stream's position. A record that ends early or
  // holds a count larger than its bytes raises EReadError, and one of more
  // than kMaxFileBytes EFileTooLarge (traced); the object is changed only
  // when the whole record was read.
  void LoadFromStream(TKsBigStream& stream);
  // Raises EFOpenError when the file cannot be opened.
  void LoadFromFile(const std::string& file_name);
  // Always version 108, every field.
  void SaveToStream(TKsBigStream& stream) const;
  // Written where the file policy lets the game write (file_access.h),
  // through the folder it checked; raises EFOpenError when it may not or
  // the file cannot be made, EWriteError when writing fails.
  void SaveToFile(const std::string& file_name) const;
  void SaveToPlace(const TWritePlace& place) const;

  // The first registered file equal to Name case-insensitively, or -1.
  int IndexOfFile(const std::string& name) const;
  // The existing index, or Name appended.
  int AddFile(const std::string& name);
};

// Package folders and the disc each lies on.
class TFolderDiskList {
 public:
  struct TItem {
    std::string Folder;
    int32_t Disc = 0;
  };
  std::vector<TItem> Items;

  void Add(const std::string& folder, int32_t disc) { Items.push_back(TItem{folder, disc}); }
  // Compares with a trailing "\" added on both sides, case-insensitively.
  int IndexOfFolder(const std::string& path) const;
  // The disc of the deepest listed folder holding Path; 0 when none does.
  int32_t DiskOf(const std::string& path) const;

  // int32 count, then per item the folder as a string and the disc.
  void SaveToStream(TKsBigStream& stream) const;
  // Clears first; raises EReadError on a short or damaged list and then keeps
  // the old items.
  void LoadFromStream(TKsBigStream& stream);
};

}  // namespace orba
