// The file functions of scripts: reading game text files, in-memory files,
// extracting packaged files and the file and folder dialogs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/functions/sys_func.h"

namespace orba {

// Splits a text file into lines: a line ends at CR, LF or CR LF, a line break
// at the very end adds no empty line, and a zero byte ends the text.
std::vector<std::string> SplitTextLines(const std::string& text);
// The same lines as views of Text, at most MaxLines + 1 of them (so that
// more than MaxLines tells there are more).
std::vector<std::string_view> SplitTextLineViews(std::string_view text, size_t max_lines = SIZE_MAX);

// Game files as the functions read them: the project answers whether a name
// is available (it may ask the player for another disc), the virtual file
// layer loads it.
class TGameFileSource {
 public:
  virtual ~TGameFileSource() = default;
  virtual bool FileAvailable(const std::string& name) = 0;
  // The whole file, read once; raises EFileTooLarge (vr_file_manager.h),
  // before holding more, when it holds more than MaxSize bytes, and as the
  // file layer does when it cannot be read.
  virtual std::vector<uint8_t> LoadFile(const std::string& name, int64_t max_size) = 0;
};

// The most bytes of a game text file LoadTextFile and DBLoadTsvFile read
// (the longest text a script gives), and the most lines they take from one:
// a larger file is refused as a missing one is, so that neither the file
// nor its lines held as script texts or table rows can take the player's
// memory.
constexpr int64_t kMaxGameTextBytes = kMaxTextResult;
constexpr size_t kMaxGameTextLines = size_t{1} << 20;
// The largest file ExtractFile writes out. It streams, so memory does not
// bound it; what a game hands the person (a manual, a picture, a short
// movie) is far smaller, and this keeps a file that unpacks or reads
// without end from filling the person's disk.
constexpr int64_t kMaxExtractFileBytes = int64_t{1} << 30;  // 1 GiB

// A game text file held once, whole, with its lines as views of it, for
// LoadTextFile and DBLoadTsvFile.
class TGameText {
 public:
  TGameText() = default;
  TGameText(const TGameText&) = delete;
  TGameText& operator=(const TGameText&) = delete;

  // Reads Name through Files. False when it is not available or holds no
  // byte; also, with a trace line, when it holds more than
  // kMaxGameTextBytes bytes or kMaxGameTextLines lines. Lines may be empty
  // after true (a text that a zero byte ends at once).
  bool Load(TGameFileSource& files, const std::string& name);
  const std::vector<std::string_view>& Lines() const { return lines_; }
  // Whether the last Load refused a file too large (rather than finding
  // none or an empty one).
  bool Refused() const { return refused_; }

 private:
  bool refused_ = false;
  std::vector<uint8_t> bytes_;
  std::vector<std::string_view> lines_;
};

// "save:" files also live in "save.dat"; the project writes them there.
class TSaveFileStore {
 public:
  virtual ~TSaveFileStore() = default;
  // Replaces the entry Name of "save.dat" by Data and writes the file;
  // false when it cannot be written.
  virtual bool WriteSaveFile(const std::string& name, const std::vector<uint8_t>& data) = 0;
};

// The save slots of the open project, for GetSaveCaption and
// ListSaveCaption.
class TSaveSlotSource {
 public:
  virtual ~TSaveSlotSource() = default;
  // The caption of a slot, empty when the slot has none.
  virtual std::string GetSaveCaption(int32_t slot) = 0;
  // The saved slots in the order of the project's caption list.
  virtual std::vector<std::pair<std::string, int32_t>> SaveCaptions() = 0;
};

class TSaveDataFile;

// The project's "save.dat" as the store of "save:" files and the source of
// the save captions.
class TSaveDataSlots : public TSaveFileStore, public TSaveSlotSource {
 public:
  explicit TSaveDataSlots(TSaveDataFile& file) : file_(file) {}
  // False also when "save.dat" could not be read at start-up: that file is
  // left alone until a game is saved.
  bool WriteSaveFile(const std::string& name, const std::vector<uint8_t>& data) override;
  std::string GetSaveCaption(int32_t slot) override;
  std::vector<std::pair<std::string, int32_t>> SaveCaptions() override;

 private:
  TSaveDataFile& file_;
};

// The bitmap SetWallPaper writes into the host's system folder.
inline constexpr char kWallpaperFileName[] = "orbawall.bmp";

// Whether a name is an in-memory file: "mem:" or "save:" first (any case).
bool IsMemoryFileName(const std::string& name);

// Whether a file name matches a mask: "*" any run of characters, "?" one
// character, "[...]" one of a set (ranges "a-z", "!" first for none of it),
// compared without regard to case; in time linear in the name for each star.
// Steps, when given, grows by the match's steps (a mask item tried against
// a character, or a star's run grown by one), the measure of that time.
bool MatchesMask(const std::string& name, const std::string& mask, int64_t* steps = nullptr);

class TVrFileManager;
class TDIBSurface;
class TKsBigStream;

// The screens as SaveScreen and SetWallPaper see them, answered by the
// object manager.
class TScreenSource {
 public:
  virtual ~TScreenSource() = default;
  virtual int32_t ScreenWidth() const = 0;
  virtual int32_t ScreenHeight() const = 0;
  // Paints the active screen root (the other one with Other) and copies its
  // picture into Picture, sized to the screen at 24 bits per pixel.
  virtual void CaptureScreen(bool other, TDIBSurface& picture) = 0;
  // Writes the first frame of a game picture from the picture cache (the
  // active screen's picture for an empty Image) into Bitmap as a Windows
  // bitmap file; false when the picture has no frame.
  virtual bool SaveBitmap(const std::string& image, TKsBigStream& bitmap) = 0;
  // The picture cache forgets every variant of Name.
  virtual void ForgetPicture(const std::string& name) = 0;
};

// FileExists, LoadTextFile, GetSaveCaption, ListSaveCaption, CopyFile,
// ExtractFile, SelectOpenFile, SelectSaveFile, SelectDirectory, OpenUrl,
// and, with the screens, SaveScreen, SetWallPaper and GetDisplayMode (the
// screen manager's modes). Dialogs go through the platform's file dialogs
// and message boxes.
class TFileFuncService : public TSysFuncService {
 public:
  TFileFuncService(TVrFileManager& files, TGameFileSource& game_files, TSaveFileStore* save_files = nullptr)
      : files_(files), game_files_(game_files), save_files_(save_files) {}

  // Starts the desktop's handler for a web address or folder; by default
  // xdg-open.
  std::function<void(const std::string&)> ShellOpen;
  // The project's save slots; without them no slot has a caption.
  TSaveSlotSource* SaveSlots = nullptr;
  // The screens; without them SaveScreen and SetWallPaper answer false.
  TScreenSource* Screens = nullptr;

  void CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) override;

  bool CopyFile(const std::string& source, const std::string& dest);
  bool ExtractFile(const TCustomParam& names, bool confirm, const std::string* folder);
  // The folder chooser as SelectDirectory shows it; the chosen folder with a
  // trailing "\", or false when cancelled. The folder is open to the game
  // from then on (never "/" or HOME) and handed to FolderChosen.
  bool ChooseFolder(std::string& folder);
  // Told the real path (disk bytes) of each folder the chooser opened to the
  // game, so that it can be opened again in a later run.
  std::function<void(const std::string&)> FolderChosen;
  // Captures a screen into a Brix image file (in the override folder, or an
  // in-memory file), scaled to Width x Height when given (0: the screen's);
  // Register 1 deletes the file when the program ends, 2 lists it in the
  // override folder's "install.dat".
  bool SaveScreen(const std::string& name, int32_t width, int32_t height, bool other, int32_t register_mode);
  // Writes the picture (the screen for an empty Image) as a bitmap into the
  // host's system folder and makes it the desktop wallpaper.
  bool SetWallPaper(const std::string& image, int32_t style);

 private:
  // Replaces the in-memory file Name by Data (it is made in collection 0
  // when missing); a "save:" file also goes into "save.dat". False when
  // that cannot be written.
  bool WriteMemoryFile(const std::string& name, const std::vector<uint8_t>& data);
  // The real path (disk bytes) of an existing folder named the player's way.
  static std::optional<std::string> RealFolder(const std::string& folder);
  // The folder Folder, opened, when the person chose it in this run but it
  // stays shut to the game; -1 otherwise.
  int OpenUnopenedChoice(const std::string& folder) const;
  TVrFileManager& files_;
  TGameFileSource& game_files_;
  TSaveFileStore* save_files_;
  // Real paths of the folders chosen in this run that hold HOME or are "/".
  std::vector<std::string> unopened_choices_;
};

}  // namespace orba
