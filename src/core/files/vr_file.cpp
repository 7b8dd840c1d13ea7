#include "core/files/vr_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "core/files/brix_probe.h"
#include "core/files/package_versions.h"
#include "core/files/pe_resource.h"
#include "core/ks_random.h"
#include "core/streams/big_file_stream.h"
#include "core/streams/buffered_stream.h"
#include "core/streams/byte_cursor.h"
#include "core/streams/compression.h"
#include "core/streams/crc32.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/text_convert.h"

namespace orba {

const char* const kVrEofName = "\\EOF\\";

namespace {

constexpr uint32_t kDirectoryKey = 0x3C91A5E7;
// "ファイルがありません"
const char* const kNoFileText = "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// "リソースが見つかりません"
const char* const kNoResourceText = "\x83\x8a\x83\x5c\x81[\x83X\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// "エラー:"
const char* const kErrorPrefix = "\x83G\x83\x89\x81[:";
// "パッケージファイルが壊れています"
const char* const kDamagedText =
    "\x83p\x83" "b\x83P\x81[\x83W\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x89\xf3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";
// Extensions of media that are stored as is; found as a substring, so ".WA"
// matches too.
const char* const kRawExtensions = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";

TKsMemoryStream* AsMemory(TKsBigStream& s) { return dynamic_cast<TKsMemoryStream*>(&s); }

void AppendWhole(TKsBigStream& dest, TKsBigStream& source) {
  source.SetPosition(0);
  const int64_t size = source.GetSize();
  if (dest.CopyFrom(source, size) != size) throw EWriteError();
}

bool IsEofName(const std::string& name) { return SjisSameText(name, kVrEofName); }

std::string NoFileMessage(const std::string& name) { return name + ":" + kNoFileText; }

// The int64 an offset is XORed with: the step, sign-extended.
uint64_t WideStep(uint32_t step) { return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(step))); }

}  // namespace

void RaiseNoFile(const std::string& name, const TDiskFileName& file) {
  if (file.SystemError() != 0) throw file.OpenError();
  throw EOrbaError(NoFileMessage(name));
}

EVrDamagedError::EVrDamagedError(const std::string& file_name, std::string detail)
    : EOrbaError(file_name + ":" + kDamagedText), detail_(std::move(detail)) {}

int32_t DiskFileAge(const std::string& disk_path) {
  struct stat st {};
  if (::stat(disk_path.c_str(), &st) != 0) return 0;
  std::tm t {};
  const time_t when = st.st_mtime;
  if (!::localtime_r(&when, &t)) return 0;
  const int year = t.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (t.tm_mon + 1) << 5 | t.tm_mday);
  const uint32_t time = static_cast<uint32_t>(t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec / 2);
  return static_cast<int32_t>(date << 16 | time);
}

// ---------------------------------------------------------------- TVrFile

bool TVrFile::ShouldPack(TKsBigStream& source) const {
  const std::string ext = SjisUpperCase(SjisExtractFileExt(Name()));
  if (ext == ".BRX") return IsBrixStreamUncompressed(source);
  if (!ext.empty() && std::strstr(kRawExtensions, ext.c_str()) != nullptr) return false;
  return source.GetSize() < kVrPackLimit;
}

void TVrFile::AppendPacked(TKsBigStream& stream, TKsMemoryStream& content, bool raw_above_nine_tenths) {
  const int64_t size = content.GetSize();
  const uint32_t unpacked_crc = CrcOfUnpacked ? StreamCrc32(content) : 0;
  TKsMemoryStream packed;
  CopyWholeStream(packed, content);
  CompressStream(packed);
  TKsMemoryStream* out = &packed;
  if (raw_above_nine_tenths && packed.GetSize() > size * 9 / 10) {
    out = &content;
    Raw = true;
  }
  AppendWhole(stream, *out);
  Crc = CrcOfUnpacked ? unpacked_crc : StreamCrc32(*out);
}

void TVrFile::AppendRaw(TKsBigStream& stream, TKsBigStream& content) {
  Crc = StreamCrc32(content);
  AppendWhole(stream, content);
  Raw = true;
}

void TVrFile::WriteData(TKsBigStream& stream) {
  TVrFileCollection& owner = Owner();
  if (KeepStored && !Data && from_archive_ && owner.Archive) {
    // The same bytes: Raw, Age, Crc and CrcOfUnpacked stay as read.
    owner.Archive->SetPosition(Offset);
    if (stream.CopyFrom(*owner.Archive, Size) != Size) throw EReadError();
    return;
  }
  // Raw stays as stored until the stored bytes are read: they are read by
  // it.
  TKsMemoryStream content;
  TKsMemoryStream* source = Data.get();
  if (!source && from_archive_ && owner.Archive) {
    // An entry read from this collection's archive is taken from there, even
    // when a file of its name lies beside the archive.
    // Written back, not read for a game: only the unpacking's own bound.
    owner.ReadArchiveEntry(*this, content, kMaxDecompressedSize);
    source = &content;
  } else if (!source && !owner.BasePath.empty() && DiskFileExists(owner.BasePath + Name())) {
    const TDiskFileName disk(owner.BasePath + Name());
    std::unique_ptr<TKsBigStream> file = disk.OpenRead();
    Raw = false;
    if (ShouldPack(*file)) {
      AppendWhole(content, *file);
      AppendPacked(stream, content, true);
    } else {
      AppendRaw(stream, *file);
    }
    Age = DiskFileAge(disk.DiskPath());
    return;
  } else if (!source) {
    owner.ReadEntry(content, Name(), kMaxDecompressedSize);
    source = &content;
  }
  // Content in memory is packed below the limit whatever it holds.
  Raw = false;
  if (source->GetSize() < kVrPackLimit) {
    AppendPacked(stream, *source, false);
  } else {
    AppendRaw(stream, *source);
  }
}

// ------------------------------------------------------- TVrFileCollection

TVrFileCollection& TVrFile::Owner() const { return *static_cast<TVrFileCollection*>(Collection()); }

TVrFileCollection::~TVrFileCollection() = default;

void TVrFileCollection::CloseArchive() {
  Archive.reset();
  archive_file_ = TDiskFileName();
  Module.reset();
  resource_name_.clear();
  resource_type_.clear();
}

TVrFile* TVrFileCollection::AddItem(const std::string& name) { return &static_cast<TVrFile&>(AddNamed(name)); }

TVrFile* TVrFileCollection::AddEntry(const std::string& name) {
  TVrFile* file = AddItem(name);
  file->Data = std::make_unique<TKsMemoryStream>();
  return file;
}

void TVrFileCollection::DeleteEntry(const std::string& name) {
  const int index = IndexOf(name);
  if (index >= 0) Delete(index);
}

void TVrFileCollection::Open(const std::string& path, bool treat_as_file) {
  Clear();
  CloseArchive();
  Path = path;
  BasePath.clear();
  if (path.empty()) return;
  TDiskFileName file = TDiskFileName::Find(path);
  // A package there that could not be opened is raised with the system's
  // reason, as one is that cannot be read.
  const bool exists = !file.Empty() || file.SystemError() != 0;
  BasePath = AddPathDelimiter(!exists && !treat_as_file ? path : SjisExtractFilePath(path));
  if (!exists) return;
  try {
    if (file.Empty()) throw file.OpenError();
    archive_file_ = std::move(file);
    Archive = archive_file_.OpenRead();
    const std::string ext = SjisUpperCase(SjisExtractFileExt(path));
    // The side file lies beside the archive file and is looked up and judged
    // as the archive's further volumes are.
    std::unique_ptr<TKsBigFileStream> side;
    if (ext != ".EXE" && ext != ".SCR" && ext != ".EXT") {
      if (auto* file = dynamic_cast<TKsBigFileStream*>(Archive.get()))
        side = file->OpenBeside(SjisChangeFileExt(file->FirstEntry(), ".ext"));
    }
    if (ext == ".EXE" || ext == ".SCR") {
      // The int32 at size - 6 is the directory's position; the last two
      // bytes are the marker the program checks before mounting itself.
      const int64_t size = Archive->GetSize();
      if (size < 6) throw EVrDamagedError(path, "no room for the directory position");
      Archive->SetPosition(size - 6);
      const int32_t position = ReadStreamInt(*Archive);
      if (position < 0 || position > size - 6) throw EVrDamagedError(path, "directory position " + std::to_string(position));
      Archive->SetPosition(position);
      ReadDirectory(*Archive);
    } else if (side) {
      side->SetPosition(0);
      ReadDirectory(*side);
    } else {
      Archive->SetPosition(0);
      ReadDirectory(*Archive);
    }
  } catch (...) {  // cleaned up, then rethrown
    Clear();
    CloseArchive();
    throw;
  }
}

void TVrFileCollection::OpenResource(const std::string& module_name, const std::string& resource_name,
                                     const std::string& resource_type) {
  Clear();
  CloseArchive();
  // Our own program carries no resources; any other module is read as a
  // Windows program file. One that cannot be read leaves the collection
  // empty, silently.
  std::shared_ptr<TResourceProvider> module;
  const std::optional<std::string> disk = FindDiskPath(module_name);
  THostServices* host = InstalledHost();
  const std::string self = host != nullptr ? host->ProgramFile() : std::string();
  char resolved[PATH_MAX + 1] = {};
  const bool is_self = disk && !self.empty() && ::realpath(disk->c_str(), resolved) && self == resolved;
  Path = module_name;
  BasePath.clear();
  if (!is_self) {
    module = TPeResourceProvider::Open(module_name);
    if (!module) return;
  }
  MountResource(module, resource_name, resource_type);
}

void TVrFileCollection::OpenResource(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                                     const std::string& resource_type) {
  Clear();
  CloseArchive();
  Path.clear();
  BasePath.clear();
  MountResource(std::move(module), resource_name, resource_type);
}

void TVrFileCollection::MountResource(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                                      const std::string& resource_type) {
  auto stream = std::make_unique<TKsBigResourceStream>(module, resource_name, resource_type);
  if (stream->GetSize() == 0) throw EOrbaError(kNoResourceText);
  Module = std::move(module);
  resource_name_ = resource_name;
  resource_type_ = resource_type;
  Archive = std::move(stream);
  try {
    Archive->SetPosition(0);
    ReadDirectory(*Archive);
  } catch (...) {  // cleaned up, then rethrown
    Clear();
    CloseArchive();
    throw;
  }
}

namespace {

// The directory's sections, in file order. Each raises EVrDamagedError
// (naming the part or entry) for a value out of range and lets EReadError
// through for bytes that end early.

// "vf" and the version, or (no magic) version 0 with the position put back.
int32_t ReadDirectoryVersion(TKsBigStream& s, const std::string& path) {
  const int64_t start = s.GetPosition();
  char magic[2] = {};
  s.ReadBuffer(magic, 2);
  if (magic[0] != 'v' || magic[1] != 'f') {
    s.SetPosition(start);
    return 0;
  }
  const int32_t version = ReadStreamInt(s);
  if (version < kPackageScrambledVersion || version > kPackageUnpackedCrcVersion)
    throw EVrDamagedError(path, "version " + std::to_string(version));
  return version;
}

// Names shorter than this are held inside their string, without a heap block.
constexpr int32_t kVrShortName = 16;

// The entry count and the names, unscrambled.
std::vector<std::string> ReadEntryNames(TKsBigStream& s, int32_t version, const std::string& path) {
  const int32_t count = ReadStreamInt(s);
  // Every name takes at least its 4-byte length, and every entry its cost
  // in memory.
  if (count < 0 || count > s.Remaining() / 4) throw EVrDamagedError(path, "entry count " + std::to_string(count));
  if (int64_t{count} * kVrEntryMemoryCost > kVrMaxDirectoryMemory)
    throw EVrDamagedError(path, "entry count " + std::to_string(count) + ": more than " +
                                    std::to_string(kVrMaxDirectoryMemory / kVrEntryMemoryCost) + " entries");
  int64_t cost = int64_t{count} * kVrEntryMemoryCost;
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(count));
  TKsBuffBigStream buffered(s);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t length = ReadStreamInt(buffered);
    if (length < 0 || length > buffered.Remaining())
      throw EVrDamagedError(path, "name length of entry " + std::to_string(i));
    if (length >= kVrShortName) cost += kVrNameCopies * (length + kVrNameBlockOverhead);
    if (cost > kVrMaxDirectoryMemory)
      throw EVrDamagedError(path, "names up to entry " + std::to_string(i) + ": more than " +
                                      std::to_string(kVrMaxDirectoryMemory) + " bytes in memory");
    std::string name(static_cast<size_t>(length), '\0');
    buffered.ReadBuffer(name.data(), length);
    names.push_back(std::move(name));
  }
  if (version >= kPackageScrambledVersion) {
    TKsRandom key(kDirectoryKey);
    for (std::string& name : names) {
      for (char& c : name) c = static_cast<char>(static_cast<uint8_t>(c) ^ (key.Step() & 0xFF));
    }
  }
  return names;
}

// The offset table and the per-entry arrays that follow it, read whole.
std::vector<uint8_t> ReadOffsetBlock(TKsBigStream& s, int64_t n, int32_t version, const std::string& path) {
  const int64_t offset_width = version >= kPackageWideOffsetsVersion ? 8 : 4;
  const int64_t array_bytes =
      version >= kPackageUnpackedCrcVersion ? 10 : (version >= kPackageWideOffsetsVersion ? 9 : 0);
  if ((n + 1) * offset_width + n * array_bytes > s.Remaining()) throw EVrDamagedError(path, "offset table cut short");
  std::vector<uint8_t> block(static_cast<size_t>((n + 1) * offset_width + n * array_bytes));
  s.ReadBuffer(block.data(), static_cast<int64_t>(block.size()));
  return block;
}

// The N + 1 offsets (the last one the end of the last entry), unscrambled,
// never going backwards.
std::vector<int64_t> ReadOffsets(TByteCursor& c, int64_t n, int32_t version, const std::string& path) {
  std::vector<int64_t> offsets;
  offsets.reserve(static_cast<size_t>(n + 1));
  TKsRandom key(kDirectoryKey);
  for (int64_t i = 0; i <= n; ++i) {
    int64_t offset;
    if (version >= kPackageWideOffsetsVersion) {
      offset = static_cast<int64_t>(c.U64LE() ^ WideStep(key.Step()));
    } else {
      uint32_t v = c.U32LE();
      if (version == kPackageScrambledVersion) v ^= key.Step();
      offset = static_cast<int32_t>(v);
    }
    if (offset < 0 || (i > 0 && offset < offsets.back()))
      throw EVrDamagedError(path, "offset of entry " + std::to_string(i));
    offsets.push_back(offset);
  }
  return offsets;
}

}  // namespace

void TVrFileCollection::ReadDirectory(TKsBigStream& s) {
  const int64_t archive_size = Archive ? Archive->GetSize() : s.GetSize();
  const int64_t start = s.GetPosition();
  std::vector<std::unique_ptr<TVrFile>> items;
  int version_read = 0;
  const char* section = "header";  // the part being read, for the error
  try {
    const int32_t version = ReadDirectoryVersion(s, Path);
    section = "names";
    const std::vector<std::string> names = ReadEntryNames(s, version, Path);
    const auto n = static_cast<int64_t>(names.size());
    section = "offset table";
    const std::vector<uint8_t> block = ReadOffsetBlock(s, n, version, Path);
    TByteCursor c(block);
    const std::vector<int64_t> offsets = ReadOffsets(c, n, version, Path);
    // The entries stay inside the archive.
    if (start > archive_size || offsets.back() > archive_size - start)
      throw EVrDamagedError(Path, "entries end past the archive");
    for (int64_t i = 0; i < n; ++i) {
      auto file = std::make_unique<TVrFile>();
      file->SetName(names[static_cast<size_t>(i)]);
      file->Size = offsets[static_cast<size_t>(i + 1)] - offsets[static_cast<size_t>(i)];
      file->Offset = offsets[static_cast<size_t>(i)] + start;
      file->from_archive_ = true;
      items.push_back(std::move(file));
    }
    section = "entry arrays";
    if (version >= kPackageWideOffsetsVersion) {
      for (auto& file : items) file->Raw = c.U8() != 0;
      for (auto& file : items) file->Age = c.I32LE();
      for (auto& file : items) file->Crc = c.U32LE();
      if (version >= kPackageUnpackedCrcVersion) {
        for (auto& file : items) file->CrcOfUnpacked = c.U8() != 0;
      }
    }
    version_read = version;
    auto marker = std::make_unique<TVrFile>();
    marker->SetName(kVrEofName);
    marker->Offset = offsets.back();
    items.push_back(std::move(marker));
  } catch (const EReadError& e) {
    throw EVrDamagedError(Path, std::string(section) + ": " + e.what());
  }
  Clear();
  for (auto& item : items) THashCollection::AddItem(std::move(item));
  Version = version_read;
}

void TVrFileCollection::ReadArchiveEntry(const TVrFile& file, TKsMemoryStream& dest, int64_t max_size) {
  dest.Clear();
  // An entry whose stored bytes alone pass what its content may hold is
  // refused unread: deflate adds at most 5 bytes to each stored block of
  // 64 KiB and 6 for the zlib frame, far within the allowance here.
  const int64_t most_stored = file.Raw ? max_size : SaturatingAdd(max_size, max_size / 1024 + 64);
  if (file.Size > most_stored) RefuseLargeFile(file.Name(), max_size);
  Archive->SetPosition(file.Offset);
  if (file.Size > 0) {
    if (dest.CopyFrom(*Archive, file.Size) != file.Size) throw EReadError();
    try {
      if (!file.Raw) DecompressStream(dest, max_size);
    } catch (const EZUnpackedTooLarge&) {
      dest.Clear();
      RefuseLargeFile(file.Name(), max_size);
    }
  }
  dest.SetPosition(0);
}

void TVrFileCollection::ReadEntry(TKsBigStream& dest, const std::string& name, int64_t max_size) {
  TKsMemoryStream* memory = AsMemory(dest);
  if (memory) memory->Clear();
  TVrFile* file = Find(name);
  if (file && !file->Data && !Archive) file = nullptr;  // no stored bytes to read
  if (file && file->Data) {
    CheckFileSize(name, file->Data->GetSize(), max_size);
    CopyWholeStream(dest, *file->Data);
  } else if (file && file->Raw && !memory) {
    // Stored as is: straight from the archive, without a copy in memory.
    CheckFileSize(name, file->Size, max_size);
    Archive->SetPosition(file->Offset);
    if (dest.CopyFrom(*Archive, file->Size) != file->Size) throw EReadError();
  } else if (file && memory) {
    ReadArchiveEntry(*file, *memory, max_size);
  } else if (file) {
    // Packed: unpacked piece by piece straight into Dest.
    Archive->SetPosition(file->Offset);
    try {
      if (file->Size > 0) DecompressToStream(*Archive, file->Size, dest, max_size);
    } catch (const EZUnpackedTooLarge&) {
      RefuseLargeFile(name, max_size);
    }
  } else {
    const std::string disk_name = BasePath + name;
    const TDiskFileName source = BasePath.empty() ? TDiskFileName() : TDiskFileName::Find(disk_name);
    // The archive itself is no entry of its own, however it is named.
    const bool archive = SjisSameText(disk_name, Path) ||
                         (archive_file_.DiskPath().size() && source.DiskPath() == archive_file_.DiskPath());
    if (archive) throw EOrbaError(NoFileMessage(name));
    if (source.Empty()) RaiseNoFile(name, source);
    CheckFileSize(name, source.Size(), max_size);
    if (memory) {
      source.LoadInto(*memory, max_size);
    } else {
      std::unique_ptr<TKsBigStream> in = source.OpenRead();
      AppendWhole(dest, *in);
    }
  }
  dest.SetPosition(0);
}

bool TVrFileCollection::SaveToBigStream(TKsBigStream& stream) {
  std::vector<TVrFile*> entries;
  for (int i = 0; i < Count(); ++i) {
    if (!IsEofName(GetEntry(i)->Name())) entries.push_back(GetEntry(i));
  }
  const int64_t n = static_cast<int64_t>(entries.size());
  stream.WriteBuffer("vf", 2);
  WriteStreamInt(stream, kPackageUnpackedCrcVersion);  // the newest directory form
  WriteStreamInt(stream, static_cast<int32_t>(n));
  {
    TKsRandom key(kDirectoryKey);
    for (TVrFile* file : entries) {
      std::string scrambled = file->Name();
      for (char& c : scrambled) c = static_cast<char>(static_cast<uint8_t>(c) ^ (key.Step() & 0xFF));
      WriteStreamString(stream, scrambled);
    }
  }
  const int64_t directory_arrays = stream.GetPosition();
  const std::vector<uint8_t> room(static_cast<size_t>((n + 1) * 8 + n * 10), 0);
  stream.WriteBuffer(room.data(), static_cast<int64_t>(room.size()));

  std::vector<int64_t> offsets(static_cast<size_t>(n + 1));
  bool all_written = true;
  for (int64_t j = 0; j < n; ++j) {
    TVrFile& file = *entries[static_cast<size_t>(j)];
    const int index = file.Index();
    bool cancel = false;
    if (OnProgress) {
      OnProgress(*this, file, 0, index, Count(), cancel);
      if (cancel) return false;
    }
    const int64_t start = stream.GetPosition();
    offsets[static_cast<size_t>(j)] = start;
    try {
      file.WriteData(stream);
    } catch (const std::exception&) {
      // The entry keeps its slot, stored empty; the others keep theirs.
      MessageBoxes().ShowMessage(ApplicationTitle(), kErrorPrefix + file.Name());
      stream.SetPosition(start);
      if (TKsMemoryStream* memory = AsMemory(stream)) memory->SetSize(start);
      file.Raw = true;
      file.Crc = 0;
      all_written = false;
    }
    if (OnProgress) {
      OnProgress(*this, file, stream.GetPosition() - start, index, Count(), cancel);
      if (cancel) return false;
    }
  }
  offsets[static_cast<size_t>(n)] = stream.GetPosition();

  TKsMemoryStream arrays;
  TKsRandom key(kDirectoryKey);
  for (int64_t offset : offsets) WriteStreamInt64(arrays, static_cast<int64_t>(static_cast<uint64_t>(offset) ^ WideStep(key.Step())));
  for (TVrFile* file : entries) WriteStreamBool(arrays, file->Raw);
  for (TVrFile* file : entries) WriteStreamInt(arrays, file->Age);
  for (TVrFile* file : entries) WriteStreamInt(arrays, static_cast<int32_t>(file->Crc));
  for (TVrFile* file : entries) WriteStreamBool(arrays, file->CrcOfUnpacked);
  stream.SetPosition(directory_arrays);
  stream.WriteBuffer(arrays.Memory(), arrays.GetSize());
  return all_written;
}

bool TVrFileCollection::SaveToFileSafely(const std::string& path) {
  const std::string temporary = SjisChangeFileExt(path, "") + "~part" + SjisExtractFileExt(path);
  auto volume = [](const std::string& name, int v) {
    return SjisToUtf8(TKsBigFileStream::VolumeFileName(SjisNameForCreate(name), v));
  };
  bool ok;
  int volumes;
  {
    TKsBigFileStream stream(SjisNameForCreate(temporary), fmOpenWrite);
    ok = SaveToBigStream(stream);
    volumes = stream.VolumeCount();
  }
  if (!ok) {
    for (int v = 0; v < volumes; ++v) std::remove(volume(temporary, v).c_str());
    return false;
  }
  volumes = std::max(volumes, 1);
  for (int v = 0; v < volumes; ++v) {
    if (std::rename(volume(temporary, v).c_str(), volume(path, v).c_str()) != 0) {
      for (int rest = v; rest < volumes; ++rest) std::remove(volume(temporary, rest).c_str());
      throw EWriteError(path + ": cannot be written");
    }
  }
  return true;
}

std::unique_ptr<TRangeStream> TVrFileCollection::OpenEntryRange(const std::string& name) {
  TVrFile* file = Archive ? Find(name) : nullptr;
  if (!file || file->Data) return nullptr;
  if (Module) return std::make_unique<TResourceRangeStream>(Module, resource_name_, resource_type_, file->Offset, file->Size);
  return std::make_unique<TFileRangeStream>(archive_file_.StreamName(), file->Offset, file->Size);
}

void TVrFileCollection::ListFolder(const std::string& folder, std::vector<std::string>& list) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& name = GetEntry(i)->Name();
    if (IsEofName(name)) continue;
    if (!SjisSameText(SjisExtractFilePath(name), folder)) continue;
    bool held = false;
    for (const std::string& existing : list) held = held || SjisSameText(existing, name);
    if (!held) list.push_back(name);
  }
}

}  // namespace orba
