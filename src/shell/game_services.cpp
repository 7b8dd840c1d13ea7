#include "shell/game_services.h"

#include <utility>

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

std::string TGameServices::LoadFile(const std::string& name) {
  TKsMemoryStream stream;
  files_.LoadToStream(stream, name);
  const std::vector<uint8_t>& bytes = stream.Bytes();
  return std::string(bytes.begin(), bytes.end());
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

void ConnectGameServices(TGameServices& services, TProject& project) {
  TProject* p = &project;
  services.SetFileAvailable([p](const std::string& name) { return p->FileAvailable(name); });
  services.SetSaveData(project.SaveData());
}

void DetachGameServices(std::unique_ptr<TGameServices>& services) { services.reset(); }

}  // namespace orba
