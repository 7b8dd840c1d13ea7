// The host services on a Linux desktop.
//
// Special folders follow the XDG base directories: the desktop and the
// documents folder are ~/Desktop and ~/Documents when they exist (else the
// home folder), the roaming application data is $XDG_CONFIG_HOME
// (~/.config), the local application data $XDG_DATA_HOME (~/.local/share);
// there is no program-files folder. The player's own system folder is
// $XDG_DATA_HOME/orba. Fonts are fontconfig's scalable families; a family
// covers Japanese when its languages include "ja". The user's language is
// Japanese when LC_ALL, LC_MESSAGES or LANG (the first one set) begins with
// "ja". The work area comes from a source the video layer installs; until
// then it is a fixed 1024 x 768. No desktop wallpaper is changed: the
// request answers false. Web addresses and folders open with xdg-open.
#pragma once

#include <functional>

#include "platform/host.h"

namespace orba {

class TLinuxHost : public THostServices {
 public:
  std::optional<std::string> SpecialFolder(int id) override;
  std::string SystemFolder() override;
  bool UserLanguageIsJapanese() override;
  std::vector<THostFont> ScalableFonts() override;
  THostRect WorkArea() override;
  bool SetDesktopWallpaper(const std::string& path, TWallpaperStyle style) override;
  bool OpenOnDesktop(const std::string& target) override;
  std::string ProgramFile() override;
  std::string MountTable() override;

  // Where the work area comes from (the video layer, once it runs).
  void SetWorkAreaSource(std::function<THostRect()> source) { work_area_ = std::move(source); }

 private:
  std::function<THostRect()> work_area_;
};

}  // namespace orba
