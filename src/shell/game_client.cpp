#include "shell/game_client.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/files/disk_path.h"
#include "core/files/exit_files.h"
#include "core/files/file_access.h"
#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/strings/sjis_case.h"
#include "core/system/quit_request.h"
#include "core/system/save_location.h"
#include "core/system/trace.h"
#include "film/film_loader.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/http_workers.h"
#include "items/orba_globals.h"
#include "media/media_system.h"
#include "platform/audio.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/host.h"
#include "platform/screen_manager.h"
#include "platform/text_convert.h"
#include "script/functions/script_random.h"
#include "shell/screen_copy.h"

namespace orba {

namespace {

constexpr char kGameFileName[] = "game.dat";

void PrintWarning(const std::string& text) {
  std::fprintf(stderr, "orba: %s\n", SjisToUtf8(text).c_str());
}

}  // namespace

std::string ExitQuestion(bool japanese) {
  return japanese ? "\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81\x48"  // 終了しますか？
                  : "Do you want to quit?";
}

namespace {

// How Folder (Shift-JIS) stands to the user's folders.
TFolderStanding StandingOf(const std::string& folder) { return JudgeGameFolder(DiskPathForCreate(folder)); }

}  // namespace

TGameLocation LocateGame(const std::string& game) {
  TGameLocation where;
  if (DiskFolderExists(game)) {
    where.Params.push_back(game);
    where.LockName = game;
    where.Standing = StandingOf(game);
    // Only the folder's package is open: choices are remembered for it.
    if (where.PackageOnly()) where.ChoiceKey = AddPathDelimiter(game) + kGameFileName;
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
  where.Standing = StandingOf(folder);
  where.ChoiceKey = game;
  return where;
}

std::optional<std::string> RefusedGameFolder(const TGameLocation& where) {
  if (!where.IsFolder() || where.Standing != TFolderStanding::HoldsHome) return std::nullopt;
  return SjisToUtf8(where.Params[0]) +
         ": HOME, \"/\" or a folder holding HOME is no game folder; move the game into a folder of its own";
}

TGameClient::TGameClient(std::string game, TScriptedEvents events)
    : game_(std::move(game)), location_(LocateGame(game_)), events_(std::move(events)) {}

TGameClient::~TGameClient() { ShutDown(); }

void MountGame(const TGameLocation& where, TVrFileManager& files, const std::function<void()>& limit) {
  // Collection 0 holds the in-memory files ("mem:" and "save:").
  files.AddCollection(std::make_unique<TVrFileCollection>());
  if (!where.ProgramPath.empty()) {
    const std::string& program = where.ProgramPath;
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
  }
  // The package named is opened as the person named it.
  if (!where.Package.empty()) files.AddArchive(where.Package);
  if (limit) limit();
  if (!where.ProgramPath.empty() && !where.PackageOnly()) {
    const std::string beside = SjisExtractFilePath(where.ProgramPath) + kGameFileName;
    if (DiskFileExists(beside)) files.AddArchive(beside);
  }
  for (const std::string& folder : where.Params) {
    const std::string packed = AddPathDelimiter(folder) + kGameFileName;
    if (where.Package.empty() && DiskFileExists(packed)) files.AddArchive(packed);
  }
  if (!where.Params.empty() && !where.PackageOnly()) files.SetOverrideFolder(where.Params[0]);
}

void TGameClient::LimitFileAccess(bool with_game_folder) {
  const TVrFileManager& files = *VrFileManager();
  RestrictFileAccess();
  access_limited_ = true;
  if (with_game_folder) AllowFileRoot(location_.LockName, TAccessRoot::Game);
  AllowFileRoot(files.TempFolder, TAccessRoot::Temp);
  for (const std::string& folder : files.SearchFolders) AllowFileRoot(folder, TAccessRoot::Disc);
}

bool TGameClient::StartUp() {
  if (const std::optional<std::string> refused = RefusedGameFolder(location_)) {
    std::fprintf(stderr, "orba: %s\n", refused->c_str());
    QuitFlag = 1;
    return false;
  }
  lock_ = CreateInstanceMutex(location_.LockName);
  if (!lock_) {
    lock_refused_ = true;
    Trace("another player runs this game");
    std::fprintf(stderr, "orba: another player runs this game\n");
    return false;
  }
  if (random_seed_)
    RandSeed = *random_seed_;
  else
    SeedRandomFromClock();
  InitVrFiles();
  files_started_ = true;
  TVrFileManager& files = *VrFileManager();
  if (location_.PackageOnly()) {
    PrintWarning(SjisOfDiskPath(RealDiskPath(location_.LockName)) +
                 ": the game lies in HOME, a folder holding it or one of the user's own folders: only its package "
                 "is open to it and its saves go to its data folder; move the game into a folder of its own");
  }
  // Every file the game brings is looked up as its script's files are,
  // from its start-up files on: a link in its folder leads inside it.
  try {
    MountGame(location_, files, [this] { LimitFileAccess(true); });
  } catch (const EVrDamagedError& e) {
    // The package's own message, and which part of its directory failed.
    PrintWarning(std::string(e.what()) + " (" + e.Detail() + ")");
    QuitFlag = 1;
    return false;
  }
  // Past its package, nothing of a folder shared with the user's files.
  if (location_.PackageOnly()) {
    LimitFileAccess(false);
  } else {
    // A game may bring its own fonts, in a folder "fonts" of its folder.
    Fonts().AddFontFolder(AddPathDelimiter(location_.LockName) + "fonts");
  }

  InitOrbaGlobals();
  InitFilmGlobals();
  InitMediaGlobals(&files, AudioOutput());
  Bases->OnSoundOn = [](bool on) { SetMediaSoundOn(on); };
  SetMediaSoundOn(Bases->SoundOn);
  objects_started_ = true;
  TObjectServices& objects = Bases->Services;

  store_ = std::make_unique<TParamCollection>();
  funcs_ = std::make_unique<TSysFuncMan>(*store_);
  Bases->Services.Funcs = funcs_.get();
  if (TextHistoryFormats != nullptr) TextHistoryFormats->Funcs = funcs_.get();
  var_host_ = std::make_unique<TShellVarHost>(objects);
  store_->SetHost(var_host_.get());

  TProjectEnvironment env;
  env.Files = &files;
  env.Vars = store_.get();
  env.Funcs = funcs_.get();
  env.Objects = &objects;
  env.Params = location_.Params;
  env.ProgramPath = location_.ProgramPath;
  env.PackageOnly = location_.PackageOnly();
  env.PostClose = [] { QuitFlag = 1; };
  env.Warn = PrintWarning;
  services_ = AttachGameServices(*funcs_, files, env, Bases);
  try {
    project_ = std::make_unique<TProject>(std::move(env));
  } catch (const ESaveLocationError& e) {
    // The player's text, and the folders it concerns.
    PrintWarning(std::string(e.what()) + " (" + e.Where() + ")");
    QuitFlag = 1;
    return false;
  } catch (const std::exception& e) {
    // A settings file this player cannot read.
    PrintWarning(e.what());
    QuitFlag = 1;
    return false;
  }
  var_host_->SetProject(project_.get());
  ConnectGameServices(*services_, *project_, location_.ChoiceKey);
  // The picture cache reads scrambled pictures with the game's code and
  // decodes only the files the game has.
  TBrixCollection& cache = *BrixCollection();
  cache.IdentCode = project_->ImageCode;
  cache.FileAvailable = [p = project_.get()](const std::string& name) { return p->FileAvailable(name); };
  MediaFileAvailable = cache.FileAvailable;
  if (project_->CallMan() != nullptr) funcs_->SetCallStack(project_->CallMan());
  if (QuitFlag != 0) return false;
  // The screen size comes from the settings file and sizes the window and
  // every screen bitmap: a size no screen can have ends the start.
  const int32_t width = project_->Width, height = project_->Height;
  if (width < 1 || height < 1 || !TOrbaBaseList::ScreenSizeAllowed(width, height)) {
    PrintWarning("the game's screen of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels cannot be shown (1 to " + std::to_string(TOrbaBaseList::kMaxScreenSide) +
                 " a side, at most " + std::to_string(TOrbaBaseList::kMaxScreenPixels) + " pixels)");
    QuitFlag = 1;
    return false;
  }
  if (TScreenManager* screen = ScreenManager())
    screen->StartUp(TScreenSettings{width, height, project_->ScreenParam1, project_->ScreenParam2});
  Bases->SetWidth(width);
  Bases->SetHeight(height);
  Bases->GetBase(0)->InvalidateAll();
  Bases->GetBase(1)->InvalidateAll();
  return true;
}

int32_t TGameClient::ScreenWidth() const { return project_ ? project_->Width : 0; }
int32_t TGameClient::ScreenHeight() const { return project_ ? project_->Height : 0; }
std::string TGameClient::Title() const { return project_ ? project_->Title : std::string(); }
bool TGameClient::PauseWhenInactive() const { return project_ && project_->PauseWhenInactive != 0; }
bool TGameClient::SleepBetweenTicks() const { return !project_ || project_->SleepBetweenTicks != 0; }

void TGameClient::WindowOpened(TVideo& video) {
  if (var_host_) var_host_->SetVideo(&video);
}

bool TGameClient::CloseQuery() {
  if (!project_) return true;
  return MessageBoxes().Ask(project_->Title, ExitQuestion(Host().UserLanguageIsJapanese()),
                            TDialogButtons::OkCancel) == TDialogAnswer::Ok;
}

bool TGameClient::SaveStatus() { return !project_ || project_->SaveStatus(); }

void TGameClient::ReleaseExpiredFiles() {
  if (TVrFileManager* files = VrFileManager()) files->LockList.ReleaseExpired(FrameTime);
}

void TGameClient::DeleteTempFiles() { DeleteVrTempFiles(); }

void TGameClient::RunInterpreter() {
  if (!project_) return;
  if (objects_started_ && Bases != nullptr && events_.Count() > 0) {
    std::vector<std::string> missing;
    events_.QueueDue(TickCount, Bases->Services, &missing);
    for (const std::string& name : missing)
      PrintWarning("tick " + std::to_string(TickCount) + ": no object \"" + name + "\"; the event has no sender");
  }
  project_->Run();
}

void TGameClient::HandleInput(const TInputEvent& event) {
  // A window destroyed from outside asks nothing: the game ends in order
  // before the next tick, as on a quit signal.
  if (event.Kind == TInputKind::WindowDestroyed) {
    Trace("the window was destroyed");
    QuitFlag = 1;
    return;
  }
  if (!objects_started_ || Bases == nullptr) return;
  // A move only sets the pointer's place: one after another is the same as
  // the last alone, so a window that runs no tick (paused while inactive)
  // keeps one, not every move it saw.
  if (event.Kind == TInputKind::MouseMove && !input_.empty() && input_.back().Kind == TInputKind::MouseMove) {
    input_.back() = event;
    return;
  }
  input_.push_back(event);
}

void TGameClient::ApplyInput() {
  // The keys this tick pressed and released so far.
  std::array<bool, 256> pressed{}, released{};
  while (!input_.empty()) {
    const TInputEvent& e = input_.front();
    const bool key = e.Key > 0 && e.Key < 256;
    if (key && e.Kind == TInputKind::KeyUp) {
      if (pressed[static_cast<size_t>(e.Key)]) break;
      released[static_cast<size_t>(e.Key)] = true;
    } else if (key && e.Kind == TInputKind::KeyDown && !e.Repeat) {
      if (released[static_cast<size_t>(e.Key)]) break;
      pressed[static_cast<size_t>(e.Key)] = true;
    }
    ApplyInputEvent(e);
    input_.pop_front();
  }
}

void TGameClient::ApplyInputEvent(const TInputEvent& event) {
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
  if (!objects_started_ || Bases == nullptr) return;
  ApplyInput();
  Bases->UpdateInput();
}

// Before the script: what this tick's script starts or stops is heard from
// this tick's clock on, not from the last tick's.
void TGameClient::CatchUpSound() {
  if (objects_started_) MediaCatchUp(GameClock);
}

void TGameClient::Idle() {
  if (!objects_started_ || Bases == nullptr) return;
  // The sounds first: the script's new sounds are decoded ahead before the
  // next tick plays them.
  MediaTick(GameClock);
  Bases->Idle();
}

void TGameClient::Draw() {
  if (objects_started_ && Bases != nullptr) Bases->Draw();
}

// Copies the active root's dirty rectangles to the window and empties the
// dirty lists of both roots: the inactive root was painted in this tick too,
// and a screen change invalidates both roots whole. While a transition runs
// it paints the whole screen into the manager's bitmap, which is shown whole.
void TGameClient::Present(TVideo& video) {
  if (!objects_started_ || Bases == nullptr) return;
  TOrbaBase* root = Bases->ActiveBase();
  const int32_t width = std::min(root->GetWidth(), Bases->Width);
  const int32_t height = std::min(root->GetHeight(), Bases->Height);
  if (Bases->Transition != nullptr) {
    const std::vector<TRect> whole{TRect{0, 0, width, height}};
    PresentScreen(video, Bases->GetDIB(), whole, width, height, frame_);
  } else {
    std::vector<TRect> rects;
    for (int32_t i = 0; i < root->Dirty.Count(); ++i) rects.push_back(root->Dirty.Get(i));
    PresentScreen(video, root->GetDIB(), rects, width, height, frame_);
  }
  Bases->GetBase(0)->Dirty.Clear();
  Bases->GetBase(1)->Dirty.Clear();
  // Video overlays are drawn over the picture in window pixels.
  DisplayScale = video.DisplayScale();
  if (VideoManager != nullptr) video.SetOverlays(VideoManager->Overlays());
}

bool TGameClient::ProcessSaveLoad() { return project_ && project_->ProcessSaveLoad(); }

void TGameClient::ShutDown() {
  // The exit page and the status save, then each step of freeing the game,
  // report progress to the quit watchdog.
  if (project_ && !project_->End()) status_saved_ = false;
  ReportProgress();
  project_.reset();
  ReportProgress();
  if (TBrixCollection* cache = BrixCollection()) cache->FileAvailable = nullptr;
  MediaFileAvailable = nullptr;
  if (var_host_) {
    var_host_->SetProject(nullptr);
    var_host_->SetVideo(nullptr);
  }
  if (funcs_) funcs_->SetCallStack(nullptr);
  DetachGameServices(services_);
  if (access_limited_) {
    access_limited_ = false;
    ReleaseFileAccess();
  }
  if (TextHistoryFormats != nullptr) TextHistoryFormats->Funcs = nullptr;
  funcs_.reset();
  if (store_) store_->SetHost(nullptr);
  store_.reset();
  var_host_.reset();
  input_.clear();
  if (objects_started_) {
    objects_started_ = false;
    // No download outlives the game, nor keeps the player waiting.
    StopHttpTransfers();
    DoneFilmGlobals();
    ReportProgress();
    // The sound items give their media items back as they go.
    DoneOrbaGlobals();
    ReportProgress();
    DoneMediaGlobals();
    ReportProgress();
  }
  ReleaseInstanceMutex(lock_);
  if (files_started_) {
    files_started_ = false;
    FinalVrFiles();
  }
  // The screen captures the game registered for deletion at its end.
  DeleteExitFiles();
}

}  // namespace orba
