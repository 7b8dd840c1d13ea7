// The tick client of a real game. Start-up takes the instance lock of the
// game folder, seeds the script's random generator, opens the package named
// on the command line as the person named it, and from then on keeps every
// file it opens for the game to the game's folders (file_access.h), start-up
// files too: it mounts the packages (the empty in-memory collection first,
// then the program file's own package, "game.dat" beside it, the game
// folders named on the command line, and the override folder), adds the
// fonts of the game folder's "fonts", creates the variable store, the
// function library and the project, which reads the settings and starts the
// start page; the picture cache takes the project's identification code and
// file test. Each tick ages and deletes the temporary files, runs the
// interpreter and the pending save or load. Shut-down frees the project
// (exit page, status save), the function library and the variable store,
// releases the lock and frees the file layer.
//
// The screen objects live in the global object manager, started once the
// project has given the screen size and freed after the project. Window
// input goes to the manager and its roots; each tick updates its input,
// idles and draws it, and the active root's dirty rectangles are presented.
// Window input waits in a queue for the next tick, which hands it to the
// manager in order; a key released (or pressed again) after it changed in
// the same tick waits for the next one, so that a quick tap is seen by one
// tick as down. Scripted events are queued into the manager's event queue,
// their senders looked up by name among the game's objects, so that a run
// with them uses the same object services as one without.
//
// A game lying in HOME, "/", a folder holding HOME or one of the user's own
// folders (user_folders.h) runs with its package alone: nothing else of
// that folder is open to it, its saves go to its data folder, and a line on
// standard error says so; a game folder that holds HOME is refused.
//
// Closing the window asks first (OK and Cancel, titled with the project's
// Title, in Japanese when the user's language is Japanese).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "core/system/instance_lock.h"
#include "core/system/user_folders.h"
#include "script/functions/sys_func.h"
#include "script/interp/run_loop_events.h"
#include "script/project/project.h"
#include "script/values/param_collection.h"
#include "shell/game_services.h"
#include "shell/shell_var_host.h"
#include "shell/tick_client.h"

namespace orba {

class TOrbaBase;
class TCustomDIBX;

// Where the player's game lies: GAME as the command line names it.
struct TGameLocation {
  std::string ProgramPath;          // a Windows program file with its package, or empty
  std::vector<std::string> Params;  // the folders of the command line
  std::string Package;              // a package file named directly, or empty
  std::string LockName;             // the folder one player at a time may run
  // How the game's folder (LockName) stands to the user's own folders: a
  // game lying in HOME, "/", a folder holding HOME or one of the user's
  // folders (downloads, documents...) has only its package open.
  TFolderStanding Standing = TFolderStanding::Own;
  // What the folders chosen for the game are remembered under: the package
  // file or program named, or the package of a game folder that only its
  // package opens; empty for a game folder of its own (the folder itself).
  std::string ChoiceKey;

  // Only the game's package is open, not the other files of its folder.
  bool PackageOnly() const { return Standing != TFolderStanding::Own; }
  // Whether the game is named as a folder.
  bool IsFolder() const { return Package.empty() && ProgramPath.empty() && !Params.empty(); }
};
// The question closing the window asks: Japanese for a Japanese user,
// English for any other (Shift-JIS). The game's QuitText is not it: that
// is the question after a refused disc request.
std::string ExitQuestion(bool japanese);

// A folder is a command-line folder; a file ending in ".exe" or ".scr" is the
// game's program; any other file is a package whose folder takes the
// command-line place (save.dat lies beside it).
TGameLocation LocateGame(const std::string& game);
// The line that refuses a game named as a folder that is HOME, "/" or holds
// HOME (no game folder at all); nullopt for any other game.
std::optional<std::string> RefusedGameFolder(const TGameLocation& where);
// Mounts a located game's files as the player reads them: collection 0 for
// the in-memory files, the program's own package, the package named or
// "game.dat" in the command-line folder, and that folder over them (not
// for a game that only its package opens). Limit, when given, is called
// once the files the person named are mounted, before anything the game's
// folder holds is looked up.
void MountGame(const TGameLocation& where, TVrFileManager& files, const std::function<void()>& limit = {});

class TGameClient : public TTickClient {
 public:
  TGameClient(std::string game, TScriptedEvents events);
  ~TGameClient() override;
  TGameClient(const TGameClient&) = delete;
  TGameClient& operator=(const TGameClient&) = delete;

  bool StartUp() override;
  int32_t ScreenWidth() const override;
  int32_t ScreenHeight() const override;
  std::string Title() const override;
  bool PauseWhenInactive() const override;
  bool SleepBetweenTicks() const override;
  void WindowOpened(TVideo& video) override;
  // Asks whether to close, captioned with the game's title, in the user's
  // language (ExitQuestion).
  bool CloseQuery() override;
  void ReleaseExpiredFiles() override;
  void DeleteTempFiles() override;
  void RunInterpreter() override;
  bool ProcessSaveLoad() override;
  void ShutDown() override;

  TProject* Project() const { return project_.get(); }
  TParamCollection* Store() const { return store_.get(); }
  // True when another player held the game folder.
  bool LockRefused() const { return lock_refused_; }
  // Writes the status save at once, without the exit page (the display
  // went away and the ordered shut-down cannot run): false when it could
  // not be written. Nothing to write before the start or after the
  // shut-down, which wrote it.
  bool SaveStatus();
  // After ShutDown: false when the game's status save at its end could not
  // be written, so that the player ends with a failure.
  bool StatusSaved() const { return status_saved_; }
  // The random generator starts from Seed instead of the time of day, so a
  // run without a window plays the same every time.
  void SetRandomSeed(uint32_t seed) { random_seed_ = seed; }

 private:
  void HandleInput(const TInputEvent& event) override;
  void CatchUpSound() override;
  void UpdateInput() override;
  void Idle() override;
  void Draw() override;
  void Present(TVideo& video) override;
  // Hands the waiting input to the manager up to the first key event that
  // would undo a key's change of this tick.
  void ApplyInput();
  void ApplyInputEvent(const TInputEvent& event);
  // Keeps the file access of everything the game opens from now on to its
  // folders: its own folder (unless left out), its temporary and disc
  // folders. The data folder joins once the project knows the title.
  void LimitFileAccess(bool with_game_folder);

  std::string game_;
  TGameLocation location_;
  TScriptedEvents events_;
  std::unique_ptr<TInstanceMutex> lock_;
  bool lock_refused_ = false;
  std::optional<uint32_t> random_seed_;
  bool files_started_ = false;
  bool access_limited_ = false;
  bool objects_started_ = false;
  bool status_saved_ = true;
  std::vector<uint32_t> frame_;
  std::deque<TInputEvent> input_;
  std::unique_ptr<TParamCollection> store_;
  std::unique_ptr<TSysFuncMan> funcs_;
  std::unique_ptr<TShellVarHost> var_host_;
  std::unique_ptr<TGameServices> services_;
  std::unique_ptr<TProject> project_;
};

}  // namespace orba
