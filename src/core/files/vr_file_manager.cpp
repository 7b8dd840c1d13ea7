#include "core/files/vr_file_manager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/file_access.h"
#include "core/files/install_record.h"
#include "core/files/list_files.h"
#include "core/files/write_budget.h"
#include "core/streams/big_file_stream.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

// "ファイルがありません"
const char* const kNoFileText = "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// "作業用ファイルが作れません"
const char* const kNoTempFileText =
    "\x8d\xec\x8b\xc6\x97p\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x8d\xec\x82\xea\x82\xdc\x82\xb9\x82\xf1";

TVrFileManager* g_manager = nullptr;
std::vector<std::string>* g_temp_delete_list = nullptr;

void RemoveDiskFile(const std::string& sjis_path) {
  if (!sjis_path.empty()) ::unlink(SjisToUtf8(sjis_path).c_str());
}

std::string MakeTempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orba-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) return std::string();
  return SjisOfDiskPath(buffer.data()) + "/";
}

// Undoes the octal escapes of a mount table field ("\040" for a space).
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// Keeps what is written to it up to a limit; the write that would pass the
// limit raises EFileTooLarge instead. No memory stream, so that the file
// layer copies into it piece by piece rather than loading the whole file
// first.
class TCappedBytes : public TKsBigStream {
 public:
  TCappedBytes(const std::string& name, int64_t limit) : name_(name), limit_(std::max<int64_t>(limit, 0)) {}
  int64_t GetSize() override { return content_.GetSize(); }
  int64_t GetPosition() override { return content_.GetPosition(); }
  void SetPosition(int64_t position) override { content_.SetPosition(position); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > 0) CheckFileSize(name_, SaturatingAdd(content_.GetPosition(), count), limit_);
    return content_.Write(buffer, count);
  }
  int64_t Read(void* buffer, int64_t count) override { return content_.Read(buffer, count); }
  std::vector<uint8_t> TakeBytes() { return content_.TakeBytes(); }

 private:
  std::string name_;
  int64_t limit_;
  TKsMemoryStream content_;
};

// Folder's "install.dat", read by the player itself: the disc is not the
// game's until the record says so, so the game's file policy is not asked.
// A link, a device or a record that cannot be read is none.
std::optional<TOrbaInstallSet> ReadDiscRecord(const std::string& folder) {
  const std::string path = SjisToUtf8(SlashSeparators(folder + "install.dat"));
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::vector<uint8_t>> bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes = ReadWholeFd(fd, TOrbaInstallSet::kMaxFileBytes);
  ::close(fd);
  if (!bytes) return std::nullopt;
  TKsMemoryStream stream;
  stream.MutableBytes() = std::move(*bytes);
  stream.SetPosition(0);
  TOrbaInstallSet set;
  try {
    set.LoadFromStream(stream);
  } catch (const EOrbaError&) {
    TraceCaught("disc record " + SjisToUtf8(folder) + "install.dat");
    return std::nullopt;
  }
  return set;
}

}  // namespace

std::string NoFileMessage(const std::string& name) { return name + ":" + kNoFileText; }

std::string FormatDiscNumber(const std::string& format, int n) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(format[i]);
    if (IsSjisLeadByte(c) && i + 1 < format.size()) {
      out += format.substr(i, 2);
      ++i;
    } else if (c == '%' && i + 1 < format.size() && format[i + 1] == 'd') {
      out += std::to_string(n);
      ++i;
    } else if (c == '%' && i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::vector<std::string> CdromMountFolders(const std::string& mounts) {
  std::vector<std::string> folders;
  std::istringstream lines(mounts);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    if (!(fields >> device >> point >> type)) continue;
    if (type != "iso9660" && type != "udf") continue;
    folders.push_back(AddPathDelimiter(SjisOfDiskPath(UnescapeMountField(point))));
  }
  return folders;
}

// ---------------------------------------------------------------- lock list

TVrLockData::~TVrLockData() {
  if (FilePath.empty()) return;
  if (g_temp_delete_list) {
    g_temp_delete_list->push_back(FilePath);
  } else {
    RemoveDiskFile(FilePath);
  }
}

bool TVrLockList::IdInUse(int32_t id) const {
  for (const auto& item : Items) {
    if (item->Id == id) return true;
  }
  for (const auto& item : Released) {
    if (item->Id == id) return true;
  }
  return false;
}

TVrLockData* TVrLockList::Add(const std::string& name, const std::string& temp_folder) {
  const int32_t id = NextId;
  do {
    NextId = NextId == INT32_MAX ? 0 : NextId + 1;
  } while (IdInUse(NextId));
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(id));
  std::string path = temp_folder + "~ob" + hex + SjisExtractFileExt(name);
  Items.push_back(std::make_unique<TVrLockData>(name, id, std::move(path)));
  return Items.back().get();
}

TVrLockData* TVrLockList::FindName(const std::string& name) const {
  for (const auto& item : Items) {
    if (item->Name == name) return item.get();
  }
  return nullptr;
}

void TVrLockList::DiscardRecord(TVrLockData* record) {
  for (size_t i = 0; i < Items.size(); ++i) {
    if (Items[i].get() != record) continue;
    RemoveDiskFile(record->FilePath);
    record->Discard();
    Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

void TVrLockList::ReleaseExpired(int32_t frame_time) {
  for (size_t i = Released.size(); i > 0; --i) {
    TVrLockData& record = *Released[i - 1];
    const int64_t left = static_cast<int64_t>(record.Remaining) - frame_time;
    record.Remaining = static_cast<int32_t>(left < INT32_MIN ? INT32_MIN : (left > INT32_MAX ? INT32_MAX : left));
    if (record.Remaining < 1) Released.erase(Released.begin() + static_cast<std::ptrdiff_t>(i - 1));
  }
}

// ---------------------------------------------------------------- manager

TVrFileManager::TVrFileManager() {
  // Removable media are searched for a game's disc files; a program without
  // host services (the fuzz programs) searches none.
  if (THostServices* host = InstalledHost()) DiscFolders = CdromMountFolders(host->MountTable());
  if (const char* extra = std::getenv("ORBA_SEARCH_FOLDERS")) {
    std::istringstream folders(extra);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
      if (!folder.empty()) DiscFolders.push_back(AddPathDelimiter(SjisOfDiskPath(folder)));
    }
  }
  TempFolder = MakeTempFolder();
}

TVrFileManager::~TVrFileManager() {
  collections_.clear();
  const bool own_cleanup = g_temp_delete_list == nullptr;
  LockList.Items.clear();
  LockList.Released.clear();
  // Without the process-wide deletion list the files went at once; the
  // folder goes with them. Otherwise FinalVrFiles removes it.
  if (own_cleanup && !TempFolder.empty()) ::rmdir(SjisToUtf8(TempFolder).c_str());
}

int TVrFileManager::AddCollection(std::unique_ptr<TVrFileCollection> collection) {
  collections_.push_back(std::move(collection));
  return static_cast<int>(collections_.size() - 1);
}

int TVrFileManager::AddArchive(const std::string& path) {
  for (const auto& c : collections_) {
    if (!c->BasePath.empty() && c->BasePath.size() == path.size() && PathStartsWith(c->BasePath, path)) return -1;
  }
  auto collection = std::make_unique<TVrFileCollection>();
  collection->OpenPath(path);
  return AddCollection(std::move(collection));
}

int TVrFileManager::AddResourceArchive(const std::string& module_name, const std::string& resource_name,
                                       const std::string& resource_type) {
  auto collection = std::make_unique<TVrFileCollection>();
  collection->OpenResource(module_name, resource_name, resource_type);
  return AddCollection(std::move(collection));
}

void TVrFileManager::RemoveCollection(int index) {
  if (index < 0 || index >= CollectionCount()) return;
  collections_.erase(collections_.begin() + index);
}

void TVrFileManager::SetOverrideFolder(const std::string& folder) { OverrideFolder = AddPathDelimiter(folder); }

TDiskFileName TVrFileManager::FindInFolder(const std::string& folder, const std::string& name) const {
  if (name.empty()) return TDiskFileName();
  return TDiskFileName::Find(folder + name);
}

bool TVrFileManager::InFolder(const std::string& folder, const std::string& name) const {
  return !name.empty() && DiskFileExists(folder + name);
}

TDiskFileName TVrFileManager::FindInSearchFolders(const std::string& name) const {
  TDiskFileName unopened;
  for (const std::string& folder : SearchFolders) {
    TDiskFileName file = FindInFolder(folder, name);
    if (!file.Empty()) return file;
    if (unopened.SystemError() == 0) unopened = std::move(file);
  }
  return unopened;
}

TVrFile* TVrFileManager::FindEntry(const std::string& name) const {
  for (const auto& c : collections_) {
    if (TVrFile* file = c->Find(name)) return file;
  }
  return nullptr;
}

bool TVrFileManager::Exists(const std::string& name) const {
  if (name.empty()) return false;
  if (FindEntry(name)) return true;
  if (!OverrideFolder.empty() && InFolder(OverrideFolder, name)) return true;
  for (const std::string& folder : SearchFolders) {
    if (InFolder(folder, name)) return true;
  }
  return false;
}

void TVrFileManager::LoadDiskFile(TKsBigStream& dest, const std::string& name, const TDiskFileName& file,
                                  int64_t max_size) {
  CheckFileSize(name, file.Size(), max_size);
  if (auto* memory = dynamic_cast<TKsMemoryStream*>(&dest)) {
    file.LoadInto(*memory, max_size);
  } else {
    // The very file that was checked, not whatever its name names now.
    TKsBigFileStream in(file.HeldName(), fmOpenRead);
    const int64_t size = in.GetSize();
    if (CopyStreamData(dest, in, size) != size) throw EWriteError();
  }
  dest.SetPosition(0);
}

void TVrFileManager::LoadToStream(TKsBigStream& dest, const std::string& name, int64_t max_size) {
  if (auto* memory = dynamic_cast<TKsMemoryStream*>(&dest)) memory->Clear();
  // The override file is tried even without an override folder: the name
  // is then a path relative to the current folder.
  TDiskFileName file = FindInFolder(OverrideFolder, name);
  if (!file.Empty()) return LoadDiskFile(dest, name, file, max_size);
  for (const auto& c : collections_) {
    TVrFile* file = c->Find(name);
    if (!file) continue;
    if (file->Data) {
      CheckFileSize(name, file->Data->GetSize(), max_size);
      CopyWholeStream(dest, *file->Data);
      dest.SetPosition(0);
      return;
    }
    if (!c->Archive) continue;
    c->ReadEntry(dest, name, max_size);
    return;
  }
  TDiskFileName found = FindInSearchFolders(name);
  if (!found.Empty()) return LoadDiskFile(dest, name, found, max_size);
  RaiseNoFile(name, file.SystemError() != 0 ? file : found);
}

std::vector<uint8_t> TVrFileManager::LoadBytes(const std::string& name, int64_t max_size) {
  TCappedBytes content(name, max_size);
  LoadToStream(content, name, max_size);
  return content.TakeBytes();
}

std::unique_ptr<TRangeStream> TVrFileManager::OpenRangeStream(const std::string& name) {
  TDiskFileName file = FindInFolder(OverrideFolder, name);
  if (!file.Empty()) return std::make_unique<TFileRangeStream>(file.HeldName());
  for (const auto& c : collections_) {
    if (!c->Find(name)) continue;
    if (std::unique_ptr<TRangeStream> range = c->OpenEntryRange(name)) return range;
  }
  const TDiskFileName found = FindInSearchFolders(name);
  if (!found.Empty()) return std::make_unique<TFileRangeStream>(found.HeldName());
  RaiseNoFile(name, file.SystemError() != 0 ? file : found);
}

std::string TVrFileManager::RealFileName(const std::string& name) {
  // A file on disk is named by its real path: links resolved as checked.
  if (!OverrideFolder.empty()) {
    const TDiskFileName file = FindInFolder(OverrideFolder, name);
    if (!file.Empty()) return SjisOfDiskPath(file.DiskPath());
  }
  if (FindEntry(name)) {
    if (TVrLockData* record = LockList.FindName(name)) {
      ++record->UseCount;
      return record->FilePath;
    }
    return ExtractToTemp(name);
  }
  const TDiskFileName file = FindInSearchFolders(name);
  if (!file.Empty()) return SjisOfDiskPath(file.DiskPath());
  return name;
}

std::string TVrFileManager::ExtractToTemp(const std::string& name) {
  TVrLockData* record = LockList.Add(name, TempFolder);
  // The file is made anew: an old one of the name (even one left read-only)
  // goes, and a symlink there is replaced, never written through.
  const int fd = TempFolder.empty() ? -1 : CreateReplacingFile(SjisToUtf8(record->FilePath));
  if (fd < 0) {
    record->Discard();
    LockList.DiscardRecord(record);
    throw EOrbaError(kNoTempFileText);
  }
  ::close(fd);
  // A failed extraction leaves neither its record nor a partial file, so a
  // later request tries again.
  try {
    TKsBigFileStream out(record->FilePath, fmOpenReadWrite);
    // A file for the platform to open: only the disk bounds it.
    LoadToStream(out, name, INT64_MAX);
  } catch (...) {  // cleaned up, then rethrown
    LockList.DiscardRecord(record);
    throw;
  }
  return record->FilePath;
}

void TVrFileManager::ListFiles(const std::string& folder, std::vector<std::string>& list) const {
  for (const auto& c : collections_) c->ListFolder(folder, list);
  auto add_disk = [&](const std::string& root) {
    // The listing goes through the file-access policy itself.
    std::vector<std::string> found;
    orba::ListFiles(root + folder, faReadOnly | faHidden | faSysFile | faVolumeID | faArchive, true, "", true, false,
                    false, found, false);
    for (const std::string& path : found) list.push_back(path.substr(root.size()));
  };
  if (!OverrideFolder.empty()) add_disk(OverrideFolder);
  for (const std::string& folder_root : SearchFolders) add_disk(folder_root);
}

std::string TVrFileManager::ExtractFolder(const std::string& name) {
  // Absolute paths and package names alike end their folder part at the
  // last separator.
  return SjisExtractFilePath(name);
}

bool TVrFileManager::RequestDisk(int n) {
  for (int i = CollectionCount() - 1; i >= 0; --i) {
    const std::string& base = collections_[static_cast<size_t>(i)]->BasePath;
    for (const std::string& folder : SearchFolders) {
      if (PathStartsWith(base, folder)) {
        RemoveCollection(i);
        break;
      }
    }
  }
  while (true) {
    const TDialogAnswer answer =
        MessageBoxes().Ask(ApplicationTitle(), FormatDiscNumber(DiscSettings.DiskPrompt, n), TDialogButtons::OkCancel);
    if (answer == TDialogAnswer::Ok && MountDisk(n - 1)) return true;
    // A quit signal answers both questions Cancel: it quits, instead of
    // asking them in turn.
    if (QuitRequested()) break;
    if (answer == TDialogAnswer::Ok) continue;
    if (MessageBoxes().Ask(ApplicationTitle(), DiscSettings.QuitText, TDialogButtons::OkCancel) == TDialogAnswer::Ok) break;
  }
  if (DiscSettings.OnQuit) DiscSettings.OnQuit();
  return false;
}

bool TVrFileManager::MountDisk(int index) {
  bool mounted = false;
  if (DiscSettings.TitleId.empty()) return false;
  // Every disc folder: the disc asked for may have replaced another title's.
  for (const std::string& folder : DiscFolders) {
    const std::optional<TOrbaInstallSet> set = ReadDiscRecord(folder);
    if (!set || set->TitleId != DiscSettings.TitleId || set->DiscNumber != index) continue;
    TakeSearchFolder(folder);
    const std::string game = folder + "game.dat";
    if (DiskFileExists(game) && AddArchive(game) >= 0) mounted = true;
  }
  return mounted;
}

void TVrFileManager::TakeDiscsOfTitle(const std::string& title_id) {
  DiscSettings.TitleId = title_id;
  SearchFolders.clear();
  if (title_id.empty()) return;
  for (const std::string& folder : DiscFolders) {
    if (DiscTitleId(folder) == title_id) TakeSearchFolder(folder);
  }
}

void TVrFileManager::TakeSearchFolder(const std::string& folder) {
  if (std::find(SearchFolders.begin(), SearchFolders.end(), folder) != SearchFolders.end()) return;
  SearchFolders.push_back(folder);
  if (FileAccessRestricted()) AllowFileRoot(folder, TAccessRoot::Disc);
}

std::optional<std::string> DiscTitleId(const std::string& folder) {
  const std::optional<TOrbaInstallSet> set = ReadDiscRecord(folder);
  return set ? std::optional<std::string>(set->TitleId) : std::nullopt;
}

// ---------------------------------------------------------------- globals

TVrFileManager* VrFileManager() { return g_manager; }

void InitVrFiles() {
  if (!g_temp_delete_list) g_temp_delete_list = new std::vector<std::string>();
  // A new game has written nothing yet.
  if (!g_manager) GameWriteBudget().Reset();
  if (!g_manager) g_manager = new TVrFileManager();
}

void QueueVrTempFile(const std::string& path) {
  if (g_temp_delete_list) g_temp_delete_list->push_back(path);
}

void DeleteVrTempFiles() {
  if (!g_temp_delete_list) return;
  for (const std::string& path : *g_temp_delete_list) RemoveDiskFile(path);
  g_temp_delete_list->clear();
}

void FinalVrFiles() {
  std::string folder;
  if (g_manager) folder = g_manager->TempFolder;
  delete g_manager;
  g_manager = nullptr;
  DeleteVrTempFiles();
  delete g_temp_delete_list;
  g_temp_delete_list = nullptr;
  if (!folder.empty()) ::rmdir(SjisToUtf8(folder).c_str());
}

}  // namespace orba
