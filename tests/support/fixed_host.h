// A host that answers from its fields and records the wallpaper requests it
// gets, for tests of what the player asks of the desktop.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/host.h"

namespace orba::test {

class TFixedHost : public THostServices {
 public:
  struct TWallpaperRequest {
    std::string Path;
    TWallpaperStyle Style;
  };
  // Special folders by id; an id missing here is unknown.
  std::vector<std::pair<int, std::string>> Folders;
  std::string System;
  bool Japanese = false;
  std::vector<THostFont> Fonts;
  THostRect Area{0, 0, 1024, 768};
  bool WallpaperAnswer = false;
  std::vector<TWallpaperRequest> WallpaperRequests;
  std::string Program;
  std::string Mounts;

  std::optional<std::string> SpecialFolder(int id) override {
    for (const auto& [folder_id, path] : Folders) {
      if (folder_id == id) return path;
    }
    return std::nullopt;
  }
  std::string SystemFolder() override { return System; }
  bool UserLanguageIsJapanese() override { return Japanese; }
  std::vector<THostFont> ScalableFonts() override { return Fonts; }
  THostRect WorkArea() override { return Area; }
  bool SetDesktopWallpaper(const std::string& path, TWallpaperStyle style) override {
    WallpaperRequests.push_back(TWallpaperRequest{path, style});
    return WallpaperAnswer;
  }
  bool OpenOnDesktop(const std::string&) override { return false; }
  std::string ProgramFile() override { return Program; }
  std::string MountTable() override { return Mounts; }
};

}  // namespace orba::test
