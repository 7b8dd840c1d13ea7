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

class TBaseListServices final : public TObjectServices {
 public:
  explicit TBaseListServices(TOrbaBaseList& manager) : manager_(manager), scene_(manager) {}
  // The function library the commands' expressions run in.
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

 private:
  TOrbaObject* Find(TObjectHandle object) const;
  TOrbaBaseList& manager_;
  TBaseListScene scene_;
  TBrixCacheSetting cache_setting_;
};

}  // namespace orba
