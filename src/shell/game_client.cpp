#include "shell/game_client.h"

#include <algorithm>
#include <cstdio>

#include "core/disk_path.h"
#include "core/game_clock.h"
#include "core/sjis_case.h"
#include "core/vr_file_manager.h"
#include "film/film_loader.h"
#include "items/base_list.h"
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

  InitOrbaGlobals();
  InitFilmGlobals();
  objects_started_ = true;
  // Scripted events name their senders through the stand-in registry, so a
  // run with them keeps it; the objects are still drawn.
  TObjectServices& objects = events_.Count() > 0 ? static_cast<TObjectServices&>(objects_) : Bases->Services;

  store_ = std::make_unique<TParamCollection>();
  funcs_ = std::make_unique<TSysFuncMan>(*store_);
  Bases->Services.Funcs = funcs_.get();
  var_host_ = std::make_unique<TGameVarHost>(objects);
  store_->SetHost(var_host_.get());

  TProjectEnvironment env;
  env.Files = &files;
  env.Vars = store_.get();
  env.Funcs = funcs_.get();
  env.Objects = &objects;
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
  if (project_->Width > 0 && project_->Height > 0) {
    Bases->SetWidth(project_->Width);
    Bases->SetHeight(project_->Height);
    Bases->GetBase(0)->InvalidateAll();
    Bases->GetBase(1)->InvalidateAll();
  }
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

void TGameClient::HandleInput(const TInputEvent& event) {
  if (!objects_started_ || Bases == nullptr) return;
  switch (event.Kind) {
    case TInputKind::MouseMove:
      Bases->MouseMove(event.X, event.Y);
      break;
    case TInputKind::ButtonDown:
    case TInputKind::ButtonUp:
      Bases->MouseMove(event.X, event.Y);
      Bases->MouseButton(event.Button == TMouseButton::Left, event.Kind == TInputKind::ButtonDown);
      break;
    case TInputKind::Wheel:
      // Positive notches turn away from the user: the wheel goes up.
      if (event.Notches != 0) Bases->MouseWheel(event.Notches < 0);
      break;
    case TInputKind::KeyDown:
      if (event.Key > 0 && event.Key < 256) {
        Bases->SetKeyState(event.Key, true);
        Bases->SetKeyClick(event.Key, true);
      }
      break;
    case TInputKind::KeyUp:
      if (event.Key > 0 && event.Key < 256) Bases->SetKeyState(event.Key, false);
      break;
    default:
      break;
  }
}

void TGameClient::UpdateInput() {
  if (objects_started_ && Bases != nullptr) Bases->UpdateInput();
}

void TGameClient::Idle() {
  if (objects_started_ && Bases != nullptr) Bases->Idle();
}

void TGameClient::Draw() {
  if (objects_started_ && Bases != nullptr) Bases->Draw();
}

void TGameClient::Present(TVideo& video) {
  if (!objects_started_ || Bases == nullptr) return;
  TOrbaBase* root = Bases->ActiveBase();
  TCustomDIBX* dib = root != nullptr ? root->GetDIB() : nullptr;
  if (dib == nullptr || dib->IsEmpty() || root->Dirty.Count() == 0) return;
  const int32_t width = std::min(root->Width, Bases->Width);
  const int32_t height = std::min(root->Height, Bases->Height);
  if (width <= 0 || height <= 0) return;
  const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (frame_.size() != size) frame_.assign(size, 0);
  std::vector<TScreenRect> dirty;
  for (int32_t i = 0; i < root->Dirty.Count(); ++i) {
    const TRect& r = root->Dirty.Get(i);
    const int32_t left = std::max(r.Left, 0), top = std::max(r.Top, 0);
    const int32_t right = std::min(r.Right, width), bottom = std::min(r.Bottom, height);
    if (left >= right || top >= bottom) continue;
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = left; x < right; ++x)
        frame_[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
            dib->GetPixel(x, y) & 0xFFFFFFu;
    dirty.push_back(TScreenRect{left, top, right, bottom});
  }
  root->Dirty.Clear();
  if (!dirty.empty()) video.Present(TFrameView{frame_.data(), width, height, width}, dirty);
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
  if (objects_started_) {
    objects_started_ = false;
    DoneFilmGlobals();
    DoneOrbaGlobals();
  }
  ReleaseInstanceMutex(lock_);
  if (files_started_) {
    files_started_ = false;
    FinalVrFiles();
  }
}

}  // namespace orba
