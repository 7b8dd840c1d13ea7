#include "shell/game_client.h"

#include <cstdio>

#include "core/disk_path.h"
#include "core/game_clock.h"
#include "core/sjis_case.h"
#include "core/vr_file_manager.h"
#include "platform/text_convert.h"
#include "platform/trace.h"
#include "script/script_random.h"

namespace orba {

namespace {

constexpr char kGameFileName[] = "game.dat";

void PrintWarning(const std::string& text) {
  std::fprintf(stderr, "orba: %s\n", SjisToUtf8(text).c_str());
}

}  // namespace

TGameLocation LocateGame(const std::string& game) {
  TGameLocation where;
  if (DiskFolderExists(game)) {
    where.Params.push_back(game);
    where.LockName = game;
    return where;
  }
  const std::string ext = SjisUpperCase(SjisExtractFileExt(game));
  // A file named without a folder lies in the current one.
  const std::string path = SjisExtractFilePath(game);
  const std::string folder = path.empty() ? std::string("./") : path;
  if (ext == ".EXE" || ext == ".SCR") {
    where.ProgramPath = game;
  } else {
    where.Package = game;
    where.Params.push_back(folder);
  }
  where.LockName = folder;
  return where;
}

TGameClient::TGameClient(std::string game, TScriptedEvents events)
    : game_(std::move(game)), location_(LocateGame(game_)), events_(std::move(events)) {}

TGameClient::~TGameClient() { ShutDown(); }

void TGameClient::Mount(TVrFileManager& files) {
  // Collection 0 holds the in-memory files ("mem:" and "save:").
  files.AddCollection(std::make_unique<TVrFileCollection>());
  if (!location_.ProgramPath.empty()) {
    const std::string& program = location_.ProgramPath;
    // The program carries its package appended, or as a resource; a program
    // with neither mounts nothing.
    try {
      files.AddArchive(program);
    } catch (const std::exception&) {
    }
    try {
      files.AddResourceArchive(program, "DUMMY", "BINTYPE");
    } catch (const std::exception&) {
    }
    const std::string beside = SjisExtractFilePath(program) + kGameFileName;
    if (DiskFileExists(beside)) files.AddArchive(beside);
  }
  if (!location_.Package.empty()) files.AddArchive(location_.Package);
  for (const std::string& folder : location_.Params) {
    const std::string packed = AddPathDelimiter(folder) + kGameFileName;
    if (location_.Package.empty() && DiskFileExists(packed)) files.AddArchive(packed);
  }
  if (!location_.Params.empty()) files.SetOverrideFolder(location_.Params[0]);
}

bool TGameClient::StartUp() {
  lock_ = CreateInstanceMutex(location_.LockName);
  if (!lock_) {
    lock_refused_ = true;
    Trace("another player runs this game");
    return false;
  }
  SeedRandomFromClock();
  InitVrFiles();
  files_started_ = true;
  TVrFileManager& files = *VrFileManager();
  Mount(files);

  store_ = std::make_unique<TParamCollection>();
  funcs_ = std::make_unique<TSysFuncMan>(*store_);
  var_host_ = std::make_unique<TGameVarHost>(objects_);
  store_->SetHost(var_host_.get());

  TProjectEnvironment env;
  env.Files = &files;
  env.Vars = store_.get();
  env.Funcs = funcs_.get();
  env.Objects = &objects_;
  env.Params = location_.Params;
  env.ProgramPath = location_.ProgramPath;
  env.PostClose = [] { QuitFlag = 1; };
  env.Warn = PrintWarning;
  services_ = AttachGameServices(*funcs_, files, env);
  try {
    project_ = std::make_unique<TProject>(std::move(env));
  } catch (const std::exception& e) {
    // A settings file this player cannot read.
    PrintWarning(e.what());
    QuitFlag = 1;
    return false;
  }
  var_host_->SetProject(project_.get());
  ConnectGameServices(*services_, *project_);
  if (project_->CallMan() != nullptr) funcs_->SetCallStack(project_->CallMan());
  return QuitFlag == 0;
}

int32_t TGameClient::ScreenWidth() const { return project_ ? project_->Width : 0; }
int32_t TGameClient::ScreenHeight() const { return project_ ? project_->Height : 0; }
std::string TGameClient::Title() const { return project_ ? project_->Title : std::string(); }
bool TGameClient::PauseWhenInactive() const { return project_ && project_->PauseWhenInactive != 0; }

void TGameClient::ReleaseExpiredFiles() {
  if (TVrFileManager* files = VrFileManager()) files->LockList.ReleaseExpired(FrameTime);
}

void TGameClient::DeleteTempFiles() { DeleteVrTempFiles(); }

void TGameClient::RunInterpreter() {
  if (!project_) return;
  events_.QueueDue(TickCount, objects_);
  project_->Run();
}

bool TGameClient::ProcessSaveLoad() { return project_ && project_->ProcessSaveLoad(); }

void TGameClient::ShutDown() {
  project_.reset();
  if (var_host_) var_host_->SetProject(nullptr);
  if (funcs_) funcs_->SetCallStack(nullptr);
  DetachGameServices(services_);
  funcs_.reset();
  if (store_) store_->SetHost(nullptr);
  store_.reset();
  var_host_.reset();
  ReleaseInstanceMutex(lock_);
  if (files_started_) {
    files_started_ = false;
    FinalVrFiles();
  }
}

}  // namespace orba
