#include "script/save/save_data.h"

#include <limits.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/disk_walk.h"
#include "core/files/file_limits.h"
#include "core/files/vr_file.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/heap_watch.h"
#include "core/system/save_location.h"
#include "core/system/trace.h"
#include "platform/dialogs.h"
#include "platform/text_convert.h"
#include "script/save/save_versions.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

constexpr size_t kStatusHeaderSize = 9;  // "Status" and three digits

// The bytes of an entry stored as it is, in place in the archive read
// into memory; null for a packed entry, or one whose bytes are not all in
// the archive.
const uint8_t* StoredInPlace(TVrFileCollection& c, const TVrFile& file) {
  auto* archive = dynamic_cast<TKsMemoryStream*>(c.Archive.get());
  if (archive == nullptr || file.Data || !file.Raw || file.Offset < 0 || file.Size < 0 ||
      file.Size > archive->GetSize() - file.Offset) {
    return nullptr;
  }
  return archive->Bytes().data() + file.Offset;
}

// The entry's unpacked bytes at position 0: an entry stored as it is read
// in place (so that a large one is not held twice), a packed one unpacked
// into memory.
std::unique_ptr<TKsBigStream> OpenEntry(TVrFileCollection& c, const std::string& name) {
  const TVrFile* file = c.Find(name);
  if (file != nullptr) {
    if (const uint8_t* bytes = StoredInPlace(c, *file)) return std::make_unique<TKsSpanStream>(bytes, file->Size);
  }
  auto content = std::make_unique<TKsMemoryStream>();
  c.ReadEntry(*content, name, kMaxSaveFileBytes);
  content->SetPosition(0);
  return content;
}

// Room for Bytes in a stream about to be written, and some more; never
// more than save data may hold.
void ReserveSaveBytes(TKsMemoryStream& stream, int64_t bytes) {
  constexpr int64_t kMore = int64_t{1} << 20;
  stream.MutableBytes().reserve(static_cast<size_t>(std::clamp<int64_t>(bytes + kMore, 0, kMaxSaveFileBytes + kMore)));
}

// Marks each entry of the file that cannot be unpacked to be written back
// as stored: one damaged slot then neither blocks the saves of the others
// nor is lost, and a save of its own slot replaces it.
void KeepUnreadableEntries(TVrFileCollection& c) {
  for (int i = 0; i < c.Count(); ++i) {
    TVrFile* file = c.GetEntry(i);
    if (file->Data || SjisSameText(file->Name(), kVrEofName) || StoredInPlace(c, *file) != nullptr) continue;
    try {
      TKsMemoryStream content;
      c.ReadEntry(content, file->Name(), kMaxSaveFileBytes);
    } catch (const std::exception& e) {
      file->KeepStored = true;
      if (TraceEnabled()) Trace("save data: " + SjisToUtf8(file->Name()) + " kept as stored: " + SjisToUtf8(e.what()));
    }
  }
}

// The real path (disk bytes) of the folder a file's path lies in; "" when
// there is no such folder.
std::string RealFolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
  char real[PATH_MAX];
  return ::realpath(folder.c_str(), real) != nullptr ? std::string(real) : std::string();
}

// The file the walk found moved to a fresh name beside it, Entry +
// kSetAsideTag + six letters and digits: the name is first made as a new
// empty file (never through a link, nor over anything that exists), then
// the file is renamed over it, both in the walk's folder. The new name in
// the folder, or nothing (errno set) when the file could not be moved.
std::optional<std::string> SetAsideFile(const TDiskWalk& walk) {
  const int folder = walk.FolderFd();
  const TNewFile fresh = CreateFreshFileAt(folder, walk.Entry() + kSetAsideTag, kSetAsideMode);
  if (fresh.Fd < 0) return std::nullopt;
  ::close(fresh.Fd);
  if (::renameat(folder, walk.Entry().c_str(), folder, fresh.Path.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(folder, fresh.Path.c_str(), 0);
    errno = error;
    return std::nullopt;
  }
  return fresh.Path;
}

// Writes Bytes over the file Path (Shift-JIS) through a fresh temporary
// beside it; raises with the system's reason when that fails.
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (ReplaceFileWhole(SjisToUtf8(path), bytes.data(), bytes.size()) == TReplaceResult::Replaced) return;
  throw EWriteError(path + ": not written: " + std::strerror(errno));
}

// Mounts the archive held in Bytes; raises when its directory cannot be read.
void MountArchive(TVrFileCollection& c, const std::string& path, std::vector<uint8_t> bytes) {
  c.Path = path;
  c.Archive = std::make_unique<TKsMemoryStream>(std::move(bytes));
  c.ReadDirectory(*c.Archive);
}

}  // namespace

std::string GameSlotEntryName(int32_t slot) { return kGameSlotPrefix + std::to_string(slot); }

bool ParseGameSlotEntryName(const std::string& name, int32_t& slot) {
  const size_t prefix = std::strlen(kGameSlotPrefix);
  if (name.size() <= prefix || name.compare(0, prefix, kGameSlotPrefix) != 0) return false;
  int64_t value = 0;
  for (size_t i = prefix; i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return false;
  }
  slot = static_cast<int32_t>(value);
  return true;
}

bool IsSaveFileName(const std::string& name) {
  const size_t n = std::strlen(kSaveFilePrefix);
  return name.size() >= n && SjisSameText(name.substr(0, n), kSaveFilePrefix);
}

int32_t ReadStatusHeader(TKsBigStream& stream) {
  const int64_t start = stream.GetPosition();
  char header[kStatusHeaderSize];
  if (stream.Read(header, kStatusHeaderSize) != static_cast<int64_t>(kStatusHeaderSize) ||
      std::memcmp(header, "Status", 6) != 0) {
    stream.SetPosition(start);
    return 0;
  }
  int32_t version = 0;
  for (size_t i = 6; i < kStatusHeaderSize; ++i) {
    if (header[i] < '0' || header[i] > '9') return 0;  // not a number: version 0, header consumed
    version = version * 10 + (header[i] - '0');
  }
  return version;
}

std::string GetSaveFileName(const std::string& first_param, const std::string& program_path,
                            const std::string& title) {
  if (first_param.empty() || SjisSameText(first_param, "/config")) return ResolveSaveDataFile(program_path, title);
  std::string folder = first_param;
  if (folder.back() != '/') folder += '/';
  return ResolveSaveDataFile(folder, title);
}

TGameSlotHead ReadGameSlotHead(TKsBigStream& stream) {
  TGameSlotHead head;
  head.Version = ReadStreamInt(stream);
  head.Caption = ReadStreamString(stream);
  head.OnLoadPage = ReadStreamString(stream);
  head.OnLoadTarget = ReadStreamInt(stream);
  return head;
}

TSaveDataFile::TSaveDataFile(std::string path, const TSaveSections& sections)
    : path_(std::move(path)), sections_(sections) {}

std::string TSaveDataFile::WritePath() const {
  if (!InTitleDataFolder(path_)) return path_;
  // A link the user put in the data folder keeps leading to the save it
  // names: the new file replaces that one, through a temporary beside it.
  const std::optional<std::string> target = FollowLinks(SjisToUtf8(path_));
  if (!target) throw EFOpenError(path_ + ": a loop of links");
  return SjisOfDiskPath(*target);
}

std::optional<std::vector<uint8_t>> TSaveDataFile::ReadSaveFile(std::string* set_aside) const {
  const std::string file = SjisToUtf8(path_);
  const std::string folder = RealFolderOf(file);
  if (folder.empty()) return std::nullopt;
  // A link in a game's folder may lead to another file of the folder, never
  // out of it: a game folder may ship "save.dat" as a link to a file of the
  // user.
  const auto inside = [folder](const std::string& real) {
    return folder == "/" || real == folder || (real.size() > folder.size() && real.compare(0, folder.size(), folder) == 0 &&
                                               real[folder.size()] == '/');
  };
  TDiskWalk::TLinkRule rule;
  // In the player's data folder only the user can have put a link (a save
  // kept in a synced folder): it is followed wherever it leads.
  if (!InTitleDataFolder(path_)) {
    rule.Guarded = inside;
    rule.Inside = inside;
  }
  rule.Starts = {folder};
  const TDiskWalk walk(path_, rule);
  if (walk.End() == TWalkEnd::Missing) return std::nullopt;
  const int fd = OpenWalkedFile(walk);
  const int open_error = errno;
  if (fd < 0 && walk.End() == TWalkEnd::Found && S_ISREG(walk.EntryStat().st_mode)) {
    // The file is there but did not open (no descriptor left, no access):
    // taken as no save data, the next save would replace every slot in it.
    const std::string why = std::strerror(open_error);
    Trace("save data: " + file + " cannot be opened: " + why);
    throw EReadError(" cannot be opened: " + why);  // said after the path
  }
  if (fd < 0) {
    Trace("save data: " + file + (walk.End() == TWalkEnd::Refused ? " leads out of its folder" : " is no file") +
          ": taken as no save data");
    return std::nullopt;
  }
  struct stat st {};
  const bool too_large = ::fstat(fd, &st) == 0 && st.st_size > kMaxSaveFileBytes;
  std::optional<std::vector<uint8_t>> bytes;
  // The file is held whole: near the heap ceiling the read ends the game
  // the way the ceiling does, before the bytes pass it.
  if (!too_large && !HeapRoomFor(static_cast<uint64_t>(std::max<int64_t>(st.st_size, 0)))) {
    ::close(fd);
    throw EReadError(" would pass the memory ceiling");  // said after the path
  }
  if (!too_large) bytes = ReadWholeFd(fd, kMaxSaveFileBytes);
  ::close(fd);
  if (bytes) return bytes;
  // No bytes to keep the file from: it would block every save for good.
  // At start-up it is moved aside, kept whole, and the saves begin anew.
  const std::string why = too_large ? "holds more than " + std::to_string(kMaxSaveFileBytes) + " bytes"
                                    : std::string("cannot be read");
  if (set_aside != nullptr) {
    const std::string real = walk.RealPath();
    if (const std::optional<std::string> name = SetAsideFile(walk)) {
      const std::string moved = real.substr(0, real.rfind('/') + 1) + *name;
      *set_aside = SjisOfDiskPath(real) + ": " + why + ": set aside as " + SjisOfDiskPath(moved) +
                   "; the saves go to a new file";
      Trace("save data: " + real + " " + why + ": set aside as " + moved);
      return std::nullopt;
    }
    Trace("save data: " + real + " " + why + ": not set aside: " + std::strerror(errno));
  }
  if (too_large) RefuseLargeFile(path_, kMaxSaveFileBytes);
  throw EReadError(path_ + ": the file cannot be read");
}

bool TSaveDataFile::OpenCollection(TVrFileCollection& c) const {
  // The archive is read from the bytes in hand, so nothing it names is
  // looked up beside it on disk.
  std::optional<std::vector<uint8_t>> bytes = ReadSaveFile();
  if (!bytes) return false;
  MountArchive(c, path_, std::move(*bytes));
  return true;
}

void TSaveDataFile::OpenAtStart(TVrFileCollection* memory_files) {
  damaged_ = false;
  warning_.clear();
  captions_.clear();
  unread_.reset();
  TVrFileCollection c;
  try {
    std::optional<std::vector<uint8_t>> bytes = ReadSaveFile(&warning_);
    if (!bytes) return;
    MountArchive(c, path_, std::move(*bytes));
    if (c.Find(kStatusEntryName) != nullptr) ReadStatusData(*OpenEntry(c, kStatusEntryName));
  } catch (const std::exception& e) {
    damaged_ = true;
    warning_ = path_ + ":" + e.what();
    // The bytes read are kept, so that the unreadable file is backed up
    // from them and never read by name again.
    if (auto* archive = dynamic_cast<TKsMemoryStream*>(c.Archive.get())) unread_ = archive->TakeBytes();
    return;
  }
  if (memory_files != nullptr) {
    for (int i = 0; i < c.Count(); ++i) {
      const std::string name = c.GetEntry(i)->Name();
      if (!IsSaveFileName(name)) continue;
      TVrFile* copy = memory_files->AddEntry(name);
      try {
        c.ReadEntry(*copy->Data, name, kMaxSaveFileBytes);
      } catch (const std::exception&) {
        memory_files->DeleteEntry(name);
      }
    }
  }
  CaptionsOf(c);
  RemoveStaleTemporary();
}

void TSaveDataFile::RemoveStaleTemporary() {
  // A player killed while writing leaves the temporary file of the write
  // beside the file it was to replace. The file reads whole, so the
  // temporary holds nothing that is not lost anyway. Only regular files and
  // symlinks of the temporaries' names go (a link itself, never what it
  // points to).
  std::string file = SjisToUtf8(path_);
  // Beside the file a link in the data folder leads to, where its writes go.
  if (InTitleDataFolder(path_)) file = FollowLinks(file).value_or(file);
  for (const std::string& name : RemoveStaleTemporaries(file)) {
    if (TraceEnabled()) Trace("removed a stale " + name);
  }
}

void TSaveDataFile::WriteStatusData(TKsBigStream& stream) {
  const std::string header = "Status" + std::to_string(kStatusVersion);
  stream.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
  sections_.Vars->SaveStatusVars(stream);
  sections_.ReadMarks->SaveToStream(stream);
  sections_.ImageCache->SaveToStream(stream);
  sections_.StatusTables->SaveToStream(stream);
}

void TSaveDataFile::ReadStatusData(TKsBigStream& stream) {
  const int32_t version = ReadStatusHeader(stream);
  sections_.Vars->LoadStatusVars(stream);
  sections_.ReadMarks->LoadFromStream(stream, version);
  sections_.ImageCache->LoadFromStream(stream, version);
  if (version >= kStatusTablesVersion) sections_.StatusTables->LoadFromStream(stream, version);
}

bool TSaveDataFile::SaveStatus(bool write_save_data) {
  if (sections_.Vars == nullptr || sections_.ReadMarks == nullptr || sections_.ImageCache == nullptr ||
      sections_.StatusTables == nullptr) {
    return true;
  }
  if (!write_save_data || !DiskFolderExists(SjisExtractFilePath(path_))) return true;
  if (damaged_) return true;  // the unreadable file waits for a game save
  return UpdateEntry(kStatusEntryName, [this](TKsBigStream& s) { WriteStatusData(s); }, false);
}

void TSaveDataFile::WriteGameData(TKsBigStream& stream, const std::string& on_load_page, int32_t on_load_target,
                                  const std::string& caption) {
  WriteStreamInt(stream, kGameStateVersion);
  WriteStreamString(stream, caption);
  WriteStreamString(stream, on_load_page);
  WriteStreamInt(stream, on_load_target);
  sections_.Scene->SaveToStream(stream);
  sections_.Backlog->SaveToStream(stream);
  sections_.RunState->SaveToStream(stream);
  sections_.Vars->SaveGameVars(stream);
  sections_.GameTables->SaveToStream(stream);
}

void TSaveDataFile::ReadGameData(TKsBigStream& stream) {
  const TGameSlotHead head = ReadGameSlotHead(stream);
  const int32_t v = head.Version;
  if (v < kOldestGameStateVersion) throw EReadError("save data: game slot version " + std::to_string(v));
  sections_.Scene->LoadFromStream(stream, v);
  if (v >= kSlotAllHistoriesVersion) {
    sections_.Backlog->LoadFromStream(stream, v);
  } else {
    sections_.Backlog->LoadDefaultHistory(stream, v);
  }
  sections_.RunState->LoadFromStream(stream, v);
  if (!head.OnLoadPage.empty()) sections_.RunState->CallOnLoadPage(head.OnLoadPage, head.OnLoadTarget);
  sections_.Vars->LoadGameVars(stream, v);
  if (v >= kSlotGameTablesVersion) sections_.GameTables->LoadFromStream(stream, v);
  sections_.Scene->AfterLoad();
}

bool TSaveDataFile::SaveGame(int32_t slot, const std::string& on_load_page, int32_t on_load_target,
                             const std::string& caption, bool write_save_data) {
  if (caption.empty()) return true;
  const bool ok = UpdateEntry(
      GameSlotEntryName(slot),
      [&](TKsBigStream& s) { WriteGameData(s, on_load_page, on_load_target, caption); }, true);
  if (!ok) return false;
  SetSaveCaption(slot, caption);
  return SaveStatus(write_save_data);
}

TSaveDataFile::TLoadResult TSaveDataFile::LoadGame(int32_t slot) {
  if (damaged_) return TLoadResult::NoSlot;
  const std::string name = GameSlotEntryName(slot);
  try {
    TVrFileCollection c;
    if (!OpenCollection(c) || c.Find(name) == nullptr) return TLoadResult::NoSlot;
    ReadGameData(*OpenEntry(c, name));
    return TLoadResult::Loaded;
  } catch (const std::exception& e) {
    LastError = e.what();
  }
  TDialogRequest box;
  box.Title = ApplicationTitle();
  box.Text = kMsgSaveDataUnusable;
  MessageBoxes().Show(box);
  return TLoadResult::Unusable;
}

bool TSaveDataFile::UpdateEntry(const std::string& name, const std::function<void(TKsBigStream&)>& fill,
                                bool replaces_damaged) {
  LastError.clear();
  if (damaged_ && !replaces_damaged) {
    // The unreadable file is left alone: nothing was written.
    LastError = path_ + ": the file could not be read at start-up and is not replaced by this write";
    return false;
  }
  try {
    TVrFileCollection c;
    if (!damaged_) OpenCollection(c);
    const TVrFile* old = c.Find(name);
    const int64_t old_size = old != nullptr ? old->Size : 0;
    c.DeleteEntry(name);
    KeepUnreadableEntries(c);
    TVrFile* entry = c.AddEntry(name);
    // The entry and the archive are given room for what they will likely
    // hold, so that neither passes through twice its size while it grows
    // (room not written to takes no memory). Each asks the heap watch
    // first: a save of many megabytes near the ceiling ends the game the
    // way the ceiling does instead of passing it by a file's size.
    if (!RoomForSave(old_size)) return false;
    ReserveSaveBytes(*entry->Data, old_size);
    fill(*entry->Data);
    // What would make a file the player does not read back is not written.
    const auto too_large = [this](int64_t size) {
      if (size <= kMaxSaveFileBytes) return false;
      LastError = path_ + ": the save data would hold more than " + std::to_string(kMaxSaveFileBytes) + " bytes";
      return true;
    };
    if (too_large(entry->Data->GetSize())) return false;
    TKsMemoryStream archive;
    const int64_t archive_size = (c.Archive ? c.Archive->GetSize() : 0) - old_size + entry->Data->GetSize();
    if (!RoomForSave(archive_size)) return false;
    ReserveSaveBytes(archive, archive_size);
    if (!c.SaveToBigStream(archive)) {
      LastError = path_ + ": an entry could not be written";
      return false;
    }
    if (too_large(archive.GetSize())) return false;
    if (damaged_) {
      // Keep the file that could not be read before replacing it, from the
      // bytes read at start-up: its name may lead elsewhere by now.
      if (!unread_) throw EReadError(path_ + ": the file that could not be read is not at hand to keep");
      WriteWholeFile(WritePath() + ".bak", *unread_);
    }
    WriteWholeFile(WritePath(), archive.Bytes());
  } catch (const std::exception& e) {
    LastError = e.what();
    return false;
  }
  damaged_ = false;
  unread_.reset();
  return true;
}

bool TSaveDataFile::RoomForSave(int64_t bytes) {
  if (HeapRoomFor(static_cast<uint64_t>(std::max<int64_t>(bytes, 0)))) return true;
  LastError = path_ + ": the save data would pass the memory ceiling";
  return false;
}

std::string TSaveDataFile::GetSaveCaption(int32_t slot) const {
  for (const TSaveCaption& c : captions_) {
    if (c.Slot == slot) return c.Caption;
  }
  return std::string();
}

void TSaveDataFile::SetSaveCaption(int32_t slot, const std::string& caption) {
  for (TSaveCaption& c : captions_) {
    if (c.Slot == slot) {
      c.Caption = caption;
      return;
    }
  }
  captions_.push_back(TSaveCaption{slot, caption});
}

void TSaveDataFile::LoadSaveCaptions() {
  captions_.clear();
  if (damaged_) return;
  TVrFileCollection c;
  try {
    if (!OpenCollection(c)) return;
  } catch (const std::exception&) {
    return;
  }
  CaptionsOf(c);
}

void TSaveDataFile::CaptionsOf(TVrFileCollection& c) {
  captions_.clear();
  for (int i = 0; i < c.Count(); ++i) {
    const std::string name = c.GetEntry(i)->Name();
    int32_t slot = 0;
    if (!ParseGameSlotEntryName(name, slot)) continue;
    try {
      const std::unique_ptr<TKsBigStream> entry = OpenEntry(c, name);
      ReadStreamInt(*entry);
      captions_.push_back(TSaveCaption{slot, ReadStreamString(*entry)});
    } catch (const std::exception&) {
      // A damaged slot has no caption.
    }
  }
}

}  // namespace orba
