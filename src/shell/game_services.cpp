#include "shell/game_services.h"

#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/files/disk_path.h"
#include "core/files/file_access.h"
#include "core/system/chosen_folders.h"
#include "core/system/trace.h"
#include "platform/host.h"
#include "platform/text_convert.h"

#include "core/files/vr_file_manager.h"
#include "core/streams/big_stream.h"
#include "script/functions/sys_func.h"
#include "script/project/project.h"
#include "script/save/save_data.h"

namespace orba {

TGameServices::TGameServices(TSysFuncMan& funcs, TVrFileManager& files, TOrbaBaseList* objects)
    : funcs_(funcs), files_(files), db_funcs_(db_, this), file_funcs_(files, *this, this) {
  file_funcs_.SaveSlots = this;
  if (objects != nullptr) {
    object_funcs_ = std::make_unique<TObjectFuncService>(*objects);
    screens_ = std::make_unique<TBaseListScreens>(*objects);
    file_funcs_.Screens = screens_.get();
  }
  funcs_.SetTableService(&db_funcs_);
  funcs_.SetFileService(&file_funcs_);
  funcs_.SetObjectService(object_funcs_.get());
}

TGameServices::~TGameServices() {
  funcs_.SetTableService(nullptr);
  funcs_.SetFileService(nullptr);
  funcs_.SetObjectService(nullptr);
  db_.Clear();
}

void TGameServices::SetSaveData(TSaveDataFile* save_data) {
  slots_ = save_data != nullptr ? std::make_unique<TSaveDataSlots>(*save_data) : nullptr;
}

void TGameServices::PlaceSaveSections(TSaveSections& sections) {
  sections.GameTables = &game_tables_;
  sections.StatusTables = &status_tables_;
}

bool TGameServices::FileAvailable(const std::string& name) {
  if (available_) return available_(name);
  return !name.empty() && files_.Exists(name);
}

std::vector<uint8_t> TGameServices::LoadFile(const std::string& name, int64_t max_size) {
  return files_.LoadBytes(name, max_size);
}

bool TGameServices::WriteSaveFile(const std::string& name, const std::vector<uint8_t>& data) {
  return slots_ != nullptr && slots_->WriteSaveFile(name, data);
}

std::string TGameServices::GetSaveCaption(int32_t slot) {
  return slots_ != nullptr ? slots_->GetSaveCaption(slot) : std::string();
}

std::vector<std::pair<std::string, int32_t>> TGameServices::SaveCaptions() {
  return slots_ != nullptr ? slots_->SaveCaptions() : std::vector<std::pair<std::string, int32_t>>{};
}

std::unique_ptr<TGameServices> AttachGameServices(TSysFuncMan& funcs, TVrFileManager& files,
                                                  TProjectEnvironment& env, TOrbaBaseList* objects) {
  auto services = std::make_unique<TGameServices>(funcs, files, objects);
  TGameServices* s = services.get();
  env.PlaceSaveSections = [s](TSaveSections& sections) { s->PlaceSaveSections(sections); };
  env.ClearGameTables = [s] { s->ClearGameTables(); };
  return services;
}

namespace {

// Restricts the file access of the game's script to its folders and to
// what the player chose for it, in this run or an earlier one; the record of
// those choices is shut to it. Choices are kept for the package file the
// game is (ChoiceKey), so that another package beside it never gets them,
// or for the game's folder when the game is one.
void OpenGameFolders(TGameServices& services, const std::string& save_file, const std::string& choice_key) {
  const TVrFileManager& files = services.Files();
  RestrictFileAccess();
  const std::string game = AllowFileRoot(files.OverrideFolder, TAccessRoot::Game);
  AllowFileRoot(files.TempFolder, TAccessRoot::Temp);
  AllowFileRoot(SjisExtractFilePath(save_file), TAccessRoot::Data);
  for (const std::string& folder : files.SearchFolders) AllowFileRoot(folder, TAccessRoot::Disc);
  const std::string system = Host().SystemFolder();
  if (!system.empty()) AllowFileRoot(DiskPathToSjis(system + "/" + kWallpaperFileName), TAccessRoot::Single);
  const std::string record = ChosenFoldersFile();
  const std::string key = choice_key.empty() ? game : RealDiskPath(choice_key);
  // A record that cannot be shut (its path has no Shift-JIS form) is not
  // used; without a package or folder the game has nothing to know its
  // choices by.
  if (record.empty() || AllowFileRoot(DiskPathToSjis(record), TAccessRoot::Shut).empty() || key.empty()) return;
  // A remembered folder that is no folder any more, or a link now, opens
  // nothing. It is the player's own path: looked at directly, not as the
  // game's.
  for (const std::string& folder : RememberedFolders(key)) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(folder, ec)))
      AllowFileRoot(DiskPathToSjis(folder), TAccessRoot::Chosen);
  }
  services.SetFolderChosen([key](const std::string& folder) { RememberChosenFolder(key, folder); });
}

}  // namespace

void ConnectGameServices(TGameServices& services, TProject& project, const std::string& choice_key) {
  TProject* p = &project;
  services.SetFileAvailable([p](const std::string& name) { return p->FileAvailable(name); });
  services.SetSaveData(project.SaveData());
  std::string save_file;
  try {
    save_file = project.GetSaveFileName();
  } catch (const std::exception& e) {
    // No folder for "save.dat": the game has no data folder to open.
    Trace("no data folder: " + SjisToUtf8(e.what()));
  }
  OpenGameFolders(services, save_file, choice_key);
}

void DetachGameServices(std::unique_ptr<TGameServices>& services) {
  if (services) ReleaseFileAccess();
  services.reset();
}

}  // namespace orba
