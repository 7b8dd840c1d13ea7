// What the interpreter needs of the objects (TObjectServices), answered by
// one object manager: lookups, the commands that create and change items,
// the input state scripts read, and the scene and picture-cache sections of
// the save data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "items/base_list_scene.h"
#include "items/brix_cache.h"
#include "script/interp/object_services.h"

namespace orba {

class TOrbaBaseList;
class TOrbaObject;
class TSysFuncMan;
class TCustomWipe;

class TBaseListServices final : public TObjectServices {
 public:
  explicit TBaseListServices(TOrbaBaseList& manager) : manager_(manager), scene_(manager) {}
  // The function library the commands' expressions run in (and the
  // message windows' variables).
  TSysFuncMan* Funcs = nullptr;

  bool IsAlive(TObjectHandle object) const override;
  std::string GetObjectName(TObjectHandle object) const override;
  TObjectHandle FindObject(const std::string& name) const override;
  TTimerList* EventQueue() override;
  void ResetObjects() override;
  void CreateTimer(TComComponent& command) override;
  TObjectHandle CreateItem(TComComponent& command) override;
  TObjectHandle CreatePropMotion(const TPropMotionSetup& setup) override;
  void GetProp(TObjectHandle object, uint8_t prop_id, TParamCollectionItem& variable) override;
  void SetProp(TObjectHandle object, uint8_t prop_id, const TCustomParam& value) override;
  void ScrapObject(TObjectHandle object) override;
  void PlayObject(TObjectHandle object) override;
  int32_t GetObjectState(TObjectHandle object) override;
  void SetObjectState(TObjectHandle object, uint8_t state) override;
  void SetObjectDelay(TObjectHandle object, int32_t delay) override;
  std::string GetObjectSource(TObjectHandle object) override;
  void MoveCabinet(const std::string& cabinet_name, bool save, bool invert,
                   const std::vector<std::string>& names,
                   const std::vector<bool>& name_valid) override;
  void TakeScreenSnapshot() override;
  void CarryChildren(int32_t mode, const std::vector<std::string>& names) override;
  TTransitionSetup* StartTransition(int32_t kind, int32_t length, bool reverse) override;
  int32_t GetWipeLength() const override;
  void SetWipePos(int32_t position) override;
  void FinishFlip(bool clear_old) override;
  bool GetKeyPush(int32_t key) const override;
  bool GetKeyClick(int32_t key) const override;
  bool GetKeyRepeat(int32_t key) const override;
  bool GetLClick() const override;
  void SetLClick(bool value) override;
  bool GetRClick() const override;
  void SetRClick(bool value) override;
  bool GetLPush() const override;
  bool GetRPush() const override;
  bool GetWheelDown() const override;
  bool GetWheelUp() const override;
  int32_t GetMouseX() const override;
  int32_t GetMouseY() const override;
  bool GetCGDither() const override;
  void SetCGDither(bool value) override;
  TSceneSection* SceneSection() override { return &scene_; }
  TSaveSection* ImageCacheSection() override { return &cache_setting_; }
  TBacklogSection* BacklogSection() override { return &backlog_; }
  TSaveSection* ReadMarksSection() override { return &read_marks_; }
  bool IsMessageWindow(TObjectHandle object) const override;
  int32_t InsertMessage(TObjectHandle window, bool record, const std::string& page_name,
                        int32_t command_index) override;
  int32_t GetMessagePageCount(TObjectHandle window) const override;
  void ClearMessage(TObjectHandle window) override;
  void ShowBacklog(TObjectHandle window, int32_t start, int32_t count, const std::string& format,
                   bool pack_rows) override;
  void ClearBacklog() override;
  void DefineBacklogFormat(const std::string& object_name, const std::string& format) override;
  void ClearReadMarks() override;
  int32_t GetDefaultHistoryCount() const override;
  int32_t GetDefaultHistoryMaxCount() const override;
  void SetDefaultHistoryMaxCount(int32_t value) override;
  void SetDefaultHistoryParams(const std::array<int32_t, 6>& params) override;

 private:
  // The set-up calls of the transition the manager is running.
  class TWipeSetup final : public TTransitionSetup {
   public:
    TCustomWipe* Wipe = nullptr;
    void SetParam(int32_t index, int32_t value) override;
    void SetMaskName(const std::string& name) override;
    void Prepare() override;
  };
  TOrbaObject* Find(TObjectHandle object) const;
  TWipeSetup wipe_setup_;
  TOrbaBaseList& manager_;
  TBaseListScene scene_;
  TBrixCacheSetting cache_setting_;
  TBacklogFormatsSection backlog_;
  TReadMarksSection read_marks_;
};

}  // namespace orba
