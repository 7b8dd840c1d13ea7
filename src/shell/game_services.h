// The table store, the file, save-slot and dialog functions and the screen
// object functions of a running game. The game client attaches them before the project starts, so that
// the project's "save.dat" carries the game and status tables from the
// first read of the status entry, and detaches them after the project went.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "items/object_funcs.h"
#include "items/screen_source.h"
#include "script/functions/dbs.h"
#include "script/functions/sys_func_db.h"
#include "script/functions/sys_func_file.h"
#include "script/save/save_sections.h"

namespace orba {

class TOrbaBaseList;
class TProject;
class TSaveDataFile;
struct TProjectEnvironment;
class TSysFuncMan;
class TVrFileManager;

class TGameServices : public TGameFileSource, private TSaveFileStore, private TSaveSlotSource {
 public:
  // Registers the table and file functions with Funcs, and the object
  // functions over Objects when there is an object manager.
  TGameServices(TSysFuncMan& funcs, TVrFileManager& files, TOrbaBaseList* objects);
  // Unregisters them and frees every table.
  ~TGameServices() override;
  TGameServices(const TGameServices&) = delete;
  TGameServices& operator=(const TGameServices&) = delete;

  // The project's availability check; until it is set every non-empty name
  // the file layer finds is available.
  void SetFileAvailable(std::function<bool(const std::string&)> available) { available_ = std::move(available); }
  // The project's "save.dat" (or nullptr): the store of "save:" files and
  // the source of the save captions.
  void SetSaveData(TSaveDataFile* save_data);
  // Puts the game and status tables into a save sections list in place of
  // the empty table forms.
  void PlaceSaveSections(TSaveSections& sections);
  // A game reset: the game tables go, the status tables stay.
  void ClearGameTables() { db_.ClearGameTables(); }

  TDBManager& Tables() { return db_; }
  const TVrFileManager& Files() const { return files_; }
  // Told the real path of each folder the player chooses for the game.
  void SetFolderChosen(std::function<void(const std::string&)> chosen) { file_funcs_.FolderChosen = std::move(chosen); }

  // TGameFileSource
  bool FileAvailable(const std::string& name) override;
  std::vector<uint8_t> LoadFile(const std::string& name, int64_t max_size) override;

 private:
  bool WriteSaveFile(const std::string& name, const std::vector<uint8_t>& data) override;
  std::string GetSaveCaption(int32_t slot) override;
  std::vector<std::pair<std::string, int32_t>> SaveCaptions() override;

  TSysFuncMan& funcs_;
  TVrFileManager& files_;
  TDBManager db_;
  TDBTablesSection game_tables_{db_, 0};
  TDBTablesSection status_tables_{db_, 1};
  TDBFuncService db_funcs_;
  TFileFuncService file_funcs_;
  std::unique_ptr<TObjectFuncService> object_funcs_;
  std::unique_ptr<TBaseListScreens> screens_;
  std::unique_ptr<TSaveDataSlots> slots_;
  std::function<bool(const std::string&)> available_;
};

// Creates the services, registers them with Funcs and hooks them into the
// project's environment Env (the save sections and the game reset), before
// the project starts. Objects is the object manager (nullptr: none).
std::unique_ptr<TGameServices> AttachGameServices(TSysFuncMan& funcs, TVrFileManager& files,
                                                  TProjectEnvironment& env, TOrbaBaseList* objects);
// Once the project started: its availability check and its "save.dat";
// from then on the game's file access is restricted to all its folders (its own,
// its data and temporary folders, the CD-ROM folders to read, the user's
// desktop, documents and pictures folders, the wallpaper bitmap). The
// folders chosen for the game are remembered under ChoiceKey (Shift-JIS),
// the package file the game is, or when empty under the game's folder.
void ConnectGameServices(TGameServices& services, TProject& project, const std::string& choice_key);
// Unregisters and frees them (nothing when there are none) and opens file
// access again; after the project went, before the function library goes.
void DetachGameServices(std::unique_ptr<TGameServices>& services);

}  // namespace orba
