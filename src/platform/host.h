// What the player asks of the desktop it runs on: the user's special
// folders, the installed scalable fonts, the user's language, the work area
// (the screen less the task bar), the desktop wallpaper, and opening a web
// address or folder.
//
// The Linux back end (platform/linux) answers from the XDG folders,
// fontconfig and the locale. Paths, addresses and font names here are UTF-8:
// the callers convert them from and to Shift-JIS.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orba {

// Special folder ids, as the player names them.
constexpr int kFolderDesktop = 0;
constexpr int kFolderPersonal = 5;
constexpr int kFolderAppData = 26;
constexpr int kFolderLocalAppData = 28;
constexpr int kFolderProgramFiles = 38;

// One installed scalable font family.
struct THostFont {
  std::string Family;  // UTF-8
  bool FixedPitch = false;
  bool CoversJapanese = false;
};

struct THostRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Wallpaper styles: centred, tiled, stretched.
enum class TWallpaperStyle { Center, Tile, Stretch };

class THostServices {
 public:
  virtual ~THostServices() = default;
  // The folder of a special folder id without a trailing separator; an
  // empty text when the host has no such folder (a desktop or documents
  // folder that does not exist: never HOME in its place); nullopt for an id
  // it does not know.
  virtual std::optional<std::string> SpecialFolder(int id) = 0;
  // The folder the player's own desktop files (the wallpaper bitmap) go to.
  virtual std::string SystemFolder() = 0;
  virtual bool UserLanguageIsJapanese() = 0;
  // Every installed scalable font family, each name once.
  virtual std::vector<THostFont> ScalableFonts() = 0;
  virtual THostRect WorkArea() = 0;
  // Makes the bitmap file the desktop wallpaper; false when it could not.
  virtual bool SetDesktopWallpaper(const std::string& path, TWallpaperStyle style) = 0;
  // Opens a web address or a folder with the desktop's program for it,
  // without waiting; false when that cannot be started.
  virtual bool OpenOnDesktop(const std::string& target) = 0;
  // The running program's own file, absolute; empty when it cannot be told.
  virtual std::string ProgramFile() = 0;
  // The mounted file systems as the kernel lists them (the text of
  // /proc/self/mounts on Linux); empty when it cannot be read.
  virtual std::string MountTable() = 0;
};

// The host services the program installed at start-up (std::logic_error
// when it installed none).
THostServices& Host();
// The installed host services, or nullptr: for code that also runs in
// programs that install none (the fuzz programs) and does without.
THostServices* InstalledHost();
// Installs a back end (nullptr removes it) and returns the previous one.
std::shared_ptr<THostServices> SetHostServices(std::shared_ptr<THostServices> host);

}  // namespace orba
