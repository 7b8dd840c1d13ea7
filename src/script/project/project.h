// The open game: it finds the game data, reads the settings file, restores
// the status save and the saved files of "save.dat", creates the initial
// variables and the call manager and starts the start page. Every tick the
// main window runs the interpreter through it and then lets it carry out the
// game save or load that a command asked for. When it goes it runs the exit
// page and writes the status save.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/files/install_record.h"
#include "script/interp/call_man.h"
#include "script/interp/page.h"
#include "script/project/project_settings.h"
#include "script/save/save_data.h"
#include "script/save/save_sections.h"

namespace orba {

class TParamCollection;
class TSysFuncMan;
class TVrFileManager;

// "情報"
inline constexpr char kMsgInformation[] = "\x8f\xee\x95\xf1";
// "ディスク%dを入れてから[OK]をクリックしてください"
inline constexpr char kDefaultDiskPrompt[] =
    "\x83" "f\x83" "B\x83X\x83N%d\x82\xf0\x93\xfc\x82\xea\x82\xc4\x82\xa9\x82\xe7[OK]\x82\xf0\x83N\x83\x8a\x83" "b"
    "\x83N\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";
// "終了します"
inline constexpr char kDefaultQuitText[] = "\x8fI\x97\xb9\x82\xb5\x82\xdc\x82\xb7";
// "プロジェクトがありません"
inline constexpr char kMsgNoProject[] =
    "\x83v\x83\x8d\x83W\x83" "F\x83N\x83g\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// "スタートページがありません"
inline constexpr char kMsgNoStartPage[] =
    "\x83X\x83^\x81[\x83g\x83y\x81[\x83W\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// "インストールし直してください"
inline constexpr char kMsgReinstall[] =
    "\x83" "C\x83\x93\x83X\x83g\x81[\x83\x8b\x82\xb5\x92\xbc\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";
// "ディスクを入れてください"
inline constexpr char kMsgInsertDisk[] =
    "\x83" "f\x83" "B\x83X\x83N\x82\xf0\x93\xfc\x82\xea\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";

inline constexpr char kSettingsFileName[] = "orba.opb";
inline constexpr char kOriginalSettingsFileName[] = "/original_orba.opb";
// The largest settings file read: settings are a title, a screen, a few
// page names and the initial variables, a few kilobytes.
inline constexpr int64_t kMaxSettingsFileBytes = int64_t{16} << 20;  // 16 MiB

// What the main window hands the project.
struct TProjectEnvironment {
  TVrFileManager* Files = nullptr;    // required
  TParamCollection* Vars = nullptr;   // the variable store; may be missing
  TSysFuncMan* Funcs = nullptr;       // required
  TObjectServices* Objects = nullptr; // required (a null implementation without screen objects)
  // The command-line parameters (Shift-JIS) and the program's file.
  std::vector<std::string> Params;
  std::string ProgramPath;
  // The game lies in a folder shared with the user's own files: only its
  // packages are open, nothing beside them, and "save.dat" lies in its data
  // folder.
  bool PackageOnly = false;
  // Asks the main window to close.
  std::function<void()> PostClose;
  // Something went wrong that the player goes on after: the text is shown
  // to the user (not a message box).
  std::function<void(const std::string&)> Warn;
  // Puts the game's own pieces into the save sections before "save.dat" is
  // first read, and clears the game tables at a game reset; may be missing.
  std::function<void(TSaveSections&)> PlaceSaveSections;
  std::function<void()> ClearGameTables;
};

// The run state of a game slot: the call manager's stream.
class TCallManRunState : public TRunStateSection {
 public:
  void SetCallMan(TCallMan* call_man) { call_man_ = call_man; }
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  // The loaded game first runs the page as a call, then returns to the
  // saved position.
  void CallOnLoadPage(const std::string& page, int32_t target) override;

 private:
  TCallMan* call_man_ = nullptr;
};

class TProject : public TCallManHost, public TPageHost {
 public:
  // The whole start-up. A game that cannot be started leaves the quit flag
  // set (after a message box saying why); a settings file of a later
  // version raises.
  explicit TProject(TProjectEnvironment env);
  // Ends the game (End) unless it was ended.
  ~TProject() override;
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  std::string Title = kMsgInformation;
  int32_t Width = 0, Height = 0;
  int32_t ScreenParam1 = 0, ScreenParam2 = 0;
  std::string StartPage, ExitPage, RegistryKey;
  int32_t ImageCode = 0;
  uint8_t WriteSaveData = 1;
  uint8_t SleepBetweenTicks = 1;
  std::string StreamedExtensions;
  uint8_t PauseWhenInactive = 0;
  int32_t PendingLoad = -1;
  int32_t PendingSave = -1;
  std::string PendingOnLoadPage;
  std::string PendingCaption;
  int32_t PendingOnLoadTarget = 0;
  // Which of a pending save and a pending load runs first: the one the
  // script asked for last runs last, so that a load then a save copies the
  // loaded slot and a save then a load keeps the state the script ran in.
  enum class TPendingOrder : uint8_t { LoadThenSave, SaveThenLoad };
  TPendingOrder PendingOrder = TPendingOrder::LoadThenSave;
  TFolderDiskList FolderDisks;
  std::string DiskPrompt = kDefaultDiskPrompt;
  std::string QuitText = kDefaultQuitText;

  TCallMan* CallMan() const { return call_man_.get(); }
  // "save.dat" and its captions; nullptr until the settings were read.
  TSaveDataFile* SaveData() const { return save_data_.get(); }
  // The pieces written into game slots and the status entry.
  TEmptySaveSections* EmptySections() const { return empty_.get(); }

  // The ordered end, once: runs the exit page, writes the status save and
  // lets the interpreter go. False when the status save could not be
  // written (the warning said why), so that the player ends with a
  // failure; true when it was written or is not to be.
  bool End();

  // The interpreter's work of one tick.
  void Run();
  // The pending save and the pending load, in PendingOrder; true when a
  // game was loaded (the main window paints nothing in that tick).
  bool ProcessSaveLoad();
  // Writes the status entry (reaching the disk only when WriteSaveData is
  // set); false when writing failed.
  bool SaveStatus();
  bool SaveGame(int32_t slot, const std::string& on_load_page, int32_t on_load_target, const std::string& caption);
  void LoadGame(int32_t slot);
  std::string GetSaveFileName() const;
  // Finds the game data beside the program or on an optical disc with the
  // same title (without command-line parameters).
  bool LocateGameData();

  // TCallManHost
  bool FileAvailable(const std::string& name) override;
  void RequestSave(int32_t slot, const std::string& on_load_page, int32_t on_load_target,
                   const std::string& caption) override;
  void RequestLoad(int32_t slot) override;
  void PostClose() override;
  void ClearGameTables() override {
    if (env_.ClearGameTables) env_.ClearGameTables();
  }

  // TPageHost: pages are read through the file layer.
  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override;
  void PageTooOld(const std::string& caption, const std::string& text) override;
  // A freed page takes its page variable (byte 0x01 and the page name) along.
  void PageFreed(const std::string& name) override;

 private:
  void StartUp();
  void CreateInitialVars(const std::vector<TInitialVar>& vars);
  bool FindGameDisc(const std::string& title_id);
  void Warn(const std::string& text) const;

  TProjectEnvironment env_;
  std::unique_ptr<TEmptySaveSections> empty_;
  std::unique_ptr<TCallMan> call_man_;
  TCallManRunState run_state_;
  std::unique_ptr<TSaveDataFile> save_data_;
  mutable std::string save_path_;
  bool ended_ = false;
  bool status_saved_ = true;
};

}  // namespace orba
