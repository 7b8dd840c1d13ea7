// A game run by the script interpreter alone, for the headless runner: the
// game's package or folder is mounted, its settings file gives the title,
// the screen size and the start page, and every tick runs the interpreter
// after queuing the scripted events of that tick. Nothing is drawn: screen
// objects, saves and the other parts of the game state are not part of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/vr_file_manager.h"
#include "script/call_man.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/project_settings.h"
#include "script/run_loop_events.h"
#include "script/sys_func.h"
#include "shell/tick_client.h"

namespace orba {

class TScriptGame : public TTickClient, private TPageHost, private TCallManHost {
 public:
  // Game: a folder (with or without "game.dat") or a package file.
  TScriptGame(std::string game, TScriptedEvents events);
  ~TScriptGame() override;

  bool StartUp() override;
  int32_t ScreenWidth() const override { return settings_.Width; }
  int32_t ScreenHeight() const override { return settings_.Height; }
  std::string Title() const override { return settings_.Title; }
  void RunInterpreter() override;
  void ShutDown() override;

  TCallMan* CallMan() const { return call_man_.get(); }
  TParamCollection& Store() { return store_; }

 private:
  // Pages are read through the file layer.
  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override;
  bool FileAvailable(const std::string& name) override;
  void PostClose() override {}

  std::string game_;
  TScriptedEvents events_;
  TVrFileManager files_;
  TProjectSetting settings_;
  TParamCollection store_;
  TSysFuncMan funcs_{store_};
  TStandaloneObjects objects_;
  TCallManVarHost var_host_;
  std::unique_ptr<TCallMan> call_man_;
};

}  // namespace orba
