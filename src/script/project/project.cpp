#include "script/project/project.h"

#include <utility>

#include "core/files/disk_path.h"
#include "core/files/path_utils.h"
#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/strings/sjis_case.h"
#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"
#include "core/system/save_location.h"
#include "core/system/trace.h"
#include "core/vocab/vocab.h"
#include "core/vocab/wipe_defaults.h"
#include "platform/dialogs.h"
#include "script/project/project_settings.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

constexpr char kInstallFileName[] = "install.dat";
constexpr char kGameFileName[] = "game.dat";

TDialogAnswer Ask(const std::string& title, const std::string& text, TDialogButtons buttons) {
  return MessageBoxes().Ask(title, text, buttons);
}

}  // namespace

// ---- run state of a game slot ---------------------------------------------------------

void TCallManRunState::SaveToStream(TKsBigStream& stream) {
  if (call_man_ != nullptr) call_man_->SaveToStream(stream);
}

void TCallManRunState::LoadFromStream(TKsBigStream& stream, int32_t version) {
  if (call_man_ == nullptr) throw EReadError("save data: no interpreter to restore");
  call_man_->LoadFromStream(stream, version);
}

void TCallManRunState::CallOnLoadPage(const std::string& page, int32_t target) {
  if (call_man_ == nullptr) return;
  TCallMan& cm = *call_man_;
  if (cm.CurrentPage != nullptr) {
    TStack& frame = cm.Frames.Push();
    frame.PageName = cm.CurrentPage->Name;
    frame.PC = cm.PC;
    frame.Continue = cm.Continue;
    frame.Started = cm.Started;
    frame.Sender = cm.Sender;
    frame.Args.Assign(cm.Args);
  }
  cm.CurrentPage = cm.GetPage(page, true);
  cm.PC = target > 0 ? target : 0;
  cm.Started = 0;
}

// ---- start-up -----------------------------------------------------------------------------

TProject::TProject(TProjectEnvironment env) : env_(std::move(env)) {
  SetPageHost(this);
  try {
    StartUp();
  } catch (...) {  // cleaned up, then rethrown
    QuitFlag = 1;
    call_man_.reset();
    SetPageHost(nullptr);
    throw;
  }
}

void TProject::StartUp() {
  TVrFileManager& files = *env_.Files;
  QuitFlag = 1;
  const bool no_folder = env_.Params.empty() || SjisSameText(env_.Params[0], "/config");
  if (no_folder && !LocateGameData()) return;

  TKsMemoryStream opb;
  try {
    files.LoadToStream(opb, kSettingsFileName, kMaxSettingsFileBytes);
  } catch (const std::exception& e) {
    // No settings file: the player closes without a box; the reason is
    // still told.
    Warn(e.what());
    return;
  }
  if (opb.GetSize() == 0) {
    MessageBoxes().ShowMessage(kMsgWarning, kMsgNoProject);
    return;
  }
  TProjectSetting settings;
  settings.LoadFromStream(opb);

  Title = settings.Title;
  SetApplicationTitle(Title);
  Width = settings.Width;
  Height = settings.Height;
  // Zooming transitions aim at the screen's centre unless a Flip says otherwise.
  SetWipeDefaultParams(WP_ZOOMIN, TWipeParams{Width / 2, Height / 2});
  ScreenParam1 = settings.ScreenParam1;
  ScreenParam2 = settings.ScreenParam2;
  StartPage = settings.StartPage;
  ExitPage = settings.ExitPage;
  RegistryKey = settings.RegistryKey;
  ImageCode = settings.ImageCode;
  WriteSaveData = settings.WriteSaveData;
  SleepBetweenTicks = settings.SleepBetweenTicks;
  StreamedExtensions = settings.StreamedExtensions;
  PauseWhenInactive = settings.PauseWhenInactive;
  DiskPrompt = settings.DiskPrompt;
  QuitText = settings.QuitText;
  FolderDisks = settings.FolderDisks;
  files.DiscSettings.DiskPrompt = DiskPrompt;
  files.DiscSettings.QuitText = QuitText;
  files.DiscSettings.OnQuit = [this] {
    QuitFlag = 1;
    PostClose();
  };

  if (env_.Vars != nullptr) {
    empty_ = std::make_unique<TEmptySaveSections>(*env_.Vars, Width, Height);
    TSaveSections sections = empty_->Sections();
    sections.RunState = &run_state_;
    if (TSceneSection* scene = env_.Objects->SceneSection()) sections.Scene = scene;
    if (TSaveSection* cache = env_.Objects->ImageCacheSection()) sections.ImageCache = cache;
    if (TBacklogSection* backlog = env_.Objects->BacklogSection()) sections.Backlog = backlog;
    if (TSaveSection* marks = env_.Objects->ReadMarksSection()) sections.ReadMarks = marks;
    if (env_.PlaceSaveSections) env_.PlaceSaveSections(sections);
    save_data_ = std::make_unique<TSaveDataFile>(GetSaveFileName(), sections);
    TVrFileCollection* memory_files = files.CollectionCount() > 0 ? files.GetCollection(0) : nullptr;
    save_data_->OpenAtStart(memory_files);
    if (!save_data_->Warning().empty()) Warn(save_data_->Warning());
    CreateInitialVars(settings.InitialVars);
  }
  QuitFlag = 0;

  if (files.Exists(kOriginalSettingsFileName)) {
    try {
      TKsMemoryStream original;
      files.LoadToStream(original, kOriginalSettingsFileName, kMaxSettingsFileBytes);
      TProjectSetting other;
      other.LoadFromStream(original);
      FolderDisks = other.FolderDisks;
    } catch (const std::exception& e) {
      Warn(std::string(kOriginalSettingsFileName) + ":" + e.what());
    }
  }

  call_man_ = std::make_unique<TCallMan>(*env_.Funcs, *env_.Objects, static_cast<TCallManHost&>(*this));
  run_state_.SetCallMan(call_man_.get());
  // A start page named outside the game's folder is none.
  if (NameLeavesFolder(StartPage) || !files.Exists(StartPage)) {
    MessageBoxes().ShowMessage(kMsgWarning, kMsgNoStartPage);
    QuitFlag = 1;
    return;
  }
  call_man_->Start(StartPage);
}

void TProject::CreateInitialVars(const std::vector<TInitialVar>& vars) {
  TParamCollection& store = *env_.Vars;
  for (const TInitialVar& v : vars) {
    // A type that holds no value creates no variable.
    if (!v.HasValue() || store.Find(v.Name) != nullptr) continue;
    TParamCollectionItem* item = store.AddVar(v.Type);
    try {
      item->SetName(v.Name);
    } catch (const std::exception& e) {
      store.FreeVar(item);
      Warn(e.what());
      continue;
    }
    item->Persistent = 1;
    switch (v.Type) {
      case PT_INT: item->SetAsInt(v.IntValue); break;
      case PT_FLOAT: item->SetAsFloat(v.FloatValue); break;
      case PT_BOOL: item->SetAsFlag(v.FlagValue != 0); break;
      default: item->SetAsStr(v.StrValue); break;
    }
  }
}

bool TProject::LocateGameData() {
  TVrFileManager& files = *env_.Files;
  const std::string folder = SjisExtractFilePath(env_.ProgramPath);
  // Beside a program in a folder shared with the user's files, only its
  // own package is the game's.
  const bool beside = !env_.PackageOnly;
  if (beside && DiskFileExists(folder + kInstallFileName) && files.OverrideFolder.empty())
    files.SetOverrideFolder(folder);
  if (!files.Exists(kInstallFileName)) {
    MessageBoxes().ShowMessage(kMsgInformation, kMsgReinstall);
    return false;
  }
  TOrbaInstallSet install;
  try {
    TKsMemoryStream stream;
    files.LoadToStream(stream, kInstallFileName, TOrbaInstallSet::kMaxFileBytes);
    install.LoadFromStream(stream);
  } catch (const std::exception&) {
    MessageBoxes().ShowMessage(kMsgInformation, kMsgReinstall);
    return false;
  }
  const bool installed = install.CompleteInstall != 0;
  if (beside && DiskFileExists(folder + kGameFileName)) {
    files.AddArchive(folder + kGameFileName);
    if (installed) return true;
  } else if (installed && files.CollectionCount() > 1) {
    return true;  // the packages named on the command line or the program's own
  }
  files.TakeDiscsOfTitle(install.TitleId);
  for (;;) {
    if (FindGameDisc(install.TitleId)) return true;
    const bool retry = Ask(kMsgInformation, kMsgInsertDisk, TDialogButtons::OkCancel) == TDialogAnswer::Ok;
    // A quit signal answers both questions Cancel: it quits, instead of
    // asking them in turn.
    if (QuitRequested()) return false;
    if (retry) continue;
    if (Ask(Title, QuitText, TDialogButtons::OkCancel) == TDialogAnswer::Ok) return false;
  }
}

bool TProject::FindGameDisc(const std::string& title_id) {
  TVrFileManager& files = *env_.Files;
  for (const std::string& root : files.SearchFolders) {
    const std::string game = root + kGameFileName;
    const std::string install_path = root + kInstallFileName;
    if (!DiskFileExists(game) || !DiskFileExists(install_path)) continue;
    try {
      TKsMemoryStream stream;
      stream.LoadFromFile(install_path, TOrbaInstallSet::kMaxFileBytes);
      TOrbaInstallSet install;
      install.LoadFromStream(stream);
      if (install.TitleId != title_id) continue;
      files.AddArchive(game);
      return true;
    } catch (const std::exception&) {
      // A disc that cannot be read is not the game's.
    }
  }
  return false;
}

// ---- shut-down ----------------------------------------------------------------------------

TProject::~TProject() { End(); }

bool TProject::End() {
  if (ended_) return status_saved_;
  ended_ = true;
  // A game that took the heap past its ceiling runs no more script and
  // keeps the status save of its last ordered end.
  if (HeapCeilingPassed()) {
    Trace("heap ceiling: no exit page, no status save");
  } else {
    if (call_man_ && !ExitPage.empty()) {
      // An exit page that cannot be run leaves the status save to be written.
      try {
        // An exit page named outside the game's folder is none.
        if (NameLeavesFolder(ExitPage)) throw EOrbaError(NoFileMessage(ExitPage));
        call_man_->Start(ExitPage);
        QuitFlag = 0;
        call_man_->Run();
      } catch (const std::exception& e) {
        Warn(ExitPage + ":" + e.what());
      }
      QuitFlag = 1;
    }
    if (call_man_) status_saved_ = SaveStatus();
  }
  run_state_.SetCallMan(nullptr);
  call_man_.reset();
  SetPageHost(nullptr);
  return status_saved_;
}

// ---- the tick -----------------------------------------------------------------------------

void TProject::Run() {
  if (call_man_) call_man_->Run();
}

bool TProject::ProcessSaveLoad() {
  const auto save = [this] {
    if (PendingSave < 0) return;
    const int32_t slot = PendingSave;
    PendingSave = -1;
    SaveGame(slot, PendingOnLoadPage, PendingOnLoadTarget, PendingCaption);
  };
  if (PendingOrder == TPendingOrder::SaveThenLoad) save();
  const bool loaded = PendingLoad >= 0;
  if (loaded) {
    const int32_t slot = PendingLoad;
    PendingLoad = -1;
    LoadGame(slot);
  }
  save();
  PendingOrder = TPendingOrder::LoadThenSave;
  return loaded;
}

// ---- save data ------------------------------------------------------------------------------

std::string TProject::GetSaveFileName() const {
  if (save_path_.empty()) {
    const std::string first = env_.Params.empty() ? std::string() : env_.Params[0];
    // Nothing is kept beside a game in a folder shared with the user's
    // files: its saves go to its data folder.
    save_path_ = env_.PackageOnly ? ResolveSaveDataFile(std::string(), Title)
                                  : orba::GetSaveFileName(first, env_.ProgramPath, Title);
  }
  return save_path_;
}

bool TProject::SaveStatus() {
  if (!save_data_) return true;
  if (save_data_->SaveStatus(WriteSaveData != 0)) return true;
  Warn(save_data_->LastError);
  return false;
}

bool TProject::SaveGame(int32_t slot, const std::string& on_load_page, int32_t on_load_target,
                        const std::string& caption) {
  if (!save_data_) return false;
  if (save_data_->SaveGame(slot, on_load_page, on_load_target, caption, WriteSaveData != 0)) return true;
  Warn(save_data_->LastError);
  return false;
}

void TProject::LoadGame(int32_t slot) {
  if (!save_data_) return;
  if (save_data_->LoadGame(slot) == TSaveDataFile::TLoadResult::Unusable) {
    if (!save_data_->LastError.empty()) Warn(save_data_->LastError);
    QuitFlag = 1;
    PostClose();
  }
}

// ---- what the interpreter asks ------------------------------------------------------------

bool TProject::FileAvailable(const std::string& name) {
  return IsFileAvailable(*env_.Files, FolderDisks, StreamedExtensions, name);
}

void TProject::RequestSave(int32_t slot, const std::string& on_load_page, int32_t on_load_target,
                           const std::string& caption) {
  PendingSave = slot;
  PendingOnLoadPage = on_load_page;
  PendingOnLoadTarget = on_load_target;
  PendingCaption = caption;
  // Asked for after a load: it records the loaded state.
  PendingOrder = TPendingOrder::LoadThenSave;
}

void TProject::RequestLoad(int32_t slot) {
  PendingLoad = slot;
  // Asked for after a save: the save records the state the script ran in.
  PendingOrder = TPendingOrder::SaveThenLoad;
}

void TProject::PostClose() {
  if (env_.PostClose) env_.PostClose();
}

void TProject::LoadToStream(const std::string& name, TKsMemoryStream& stream) {
  env_.Files->LoadToStream(stream, name, kMaxPageFileBytes);
}

void TProject::PageTooOld(const std::string& caption, const std::string& text) {
  QuitFlag = 1;
  MessageBoxes().ShowMessage(caption, text);
  PostClose();
}

void TProject::PageFreed(const std::string& name) {
  if (env_.Vars == nullptr) return;
  if (TParamCollectionItem* item = env_.Vars->Find(std::string(1, '\x01') + name)) env_.Vars->FreeVar(item);
}

void TProject::Warn(const std::string& text) const {
  if (env_.Warn) env_.Warn(text);
}

}  // namespace orba
