#include "shell/script_game.h"

#include "core/disk_path.h"
#include "core/game_clock.h"

namespace orba {

TScriptGame::TScriptGame(std::string game, TScriptedEvents events)
    : game_(std::move(game)), events_(std::move(events)) {}

TScriptGame::~TScriptGame() { ShutDown(); }

bool TScriptGame::StartUp() {
  if (DiskFolderExists(game_)) {
    files_.SetOverrideFolder(game_);
    const std::string packed = AddPathDelimiter(game_) + "game.dat";
    if (DiskFileExists(packed)) files_.AddArchive(packed);
  } else {
    files_.AddArchive(game_);
  }
  TKsMemoryStream stream;
  files_.LoadToStream(stream, "orba.opb");
  settings_.LoadFromStream(stream);
  files_.DiscSettings.DiskPrompt = settings_.DiskPrompt;
  files_.DiscSettings.QuitText = settings_.QuitText;

  SetPageHost(this);
  store_.SetHost(&var_host_);
  call_man_ = std::make_unique<TCallMan>(funcs_, objects_, static_cast<TCallManHost&>(*this));
  var_host_.SetCallMan(call_man_.get());
  funcs_.SetCallStack(call_man_.get());
  call_man_->Start(settings_.StartPage);
  return true;
}

void TScriptGame::RunInterpreter() {
  if (!call_man_) return;
  events_.QueueDue(TickCount, objects_);
  call_man_->Run();
}

void TScriptGame::ShutDown() {
  if (!call_man_) return;
  funcs_.SetCallStack(nullptr);
  var_host_.SetCallMan(nullptr);
  call_man_.reset();
  store_.SetHost(nullptr);
  SetPageHost(nullptr);
}

void TScriptGame::LoadToStream(const std::string& name, TKsMemoryStream& stream) {
  files_.LoadToStream(stream, name);
}

bool TScriptGame::FileAvailable(const std::string& name) {
  return IsFileAvailable(files_, settings_.FolderDisks, settings_.StreamedExtensions, name);
}

}  // namespace orba
