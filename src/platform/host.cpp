#include "platform/host.h"

#include "platform/host_linux.h"

namespace orba {

namespace {

std::shared_ptr<THostServices>& Current() {
  static std::shared_ptr<THostServices> host = std::make_shared<TLinuxHost>();
  return host;
}

}  // namespace

THostServices& Host() { return *Current(); }

std::shared_ptr<THostServices> SetHostServices(std::shared_ptr<THostServices> host) {
  std::shared_ptr<THostServices> old = Current();
  Current() = host ? std::move(host) : std::make_shared<TLinuxHost>();
  return old;
}

std::optional<std::string> TFixedHost::SpecialFolder(int id) {
  for (const auto& [folder_id, path] : Folders) {
    if (folder_id == id) return path;
  }
  return std::nullopt;
}

bool TFixedHost::SetDesktopWallpaper(const std::string& path, TWallpaperStyle style) {
  WallpaperRequests.push_back(TWallpaperRequest{path, style});
  return WallpaperAnswer;
}

}  // namespace orba
