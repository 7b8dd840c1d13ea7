#include "platform/linux/host_linux.h"

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <set>

#include "platform/linux/file_dialogs_linux.h"

namespace orba {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string Home() { return Env("HOME"); }

// An XDG base folder: the variable when it holds an absolute path, else
// HOME + fallback.
std::string XdgFolder(const char* variable, const char* fallback) {
  const std::string value = Env(variable);
  if (!value.empty() && value[0] == '/') return value;
  const std::string home = Home();
  return home.empty() ? std::string() : home + fallback;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder of HOME, or "" when it does not exist: HOME itself stands in for
// no special folder, so that nothing meant for the desktop lands in HOME.
std::string HomeSubfolder(const char* name) {
  const std::string home = Home();
  if (home.empty()) return std::string();
  const std::string sub = (home.back() == '/' ? home : home + "/") + name;
  return IsFolder(sub) ? sub : std::string();
}

}  // namespace

std::optional<std::string> TLinuxHost::SpecialFolder(int id) {
  switch (id) {
    case kFolderDesktop: return HomeSubfolder("Desktop");
    case kFolderPersonal: return HomeSubfolder("Documents");
    case kFolderAppData: return XdgFolder("XDG_CONFIG_HOME", "/.config");
    case kFolderLocalAppData: return XdgFolder("XDG_DATA_HOME", "/.local/share");
    case kFolderProgramFiles: return std::string();
    default: return std::nullopt;
  }
}

std::string TLinuxHost::SystemFolder() {
  const std::string data = XdgFolder("XDG_DATA_HOME", "/.local/share");
  return data.empty() ? std::string() : data + "/orba";
}

bool TLinuxHost::UserLanguageIsJapanese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string value = Env(name);
    if (!value.empty()) return value.compare(0, 2, "ja") == 0;
  }
  return false;
}

std::vector<THostFont> TLinuxHost::ScalableFonts() {
  static std::mutex lock;  // fontconfig's default configuration is shared
  std::lock_guard<std::mutex> guard(lock);
  std::vector<THostFont> fonts;
  if (!FcInit()) return fonts;
  // fontconfig's configuration lives until the program ends; free it then.
  static const bool fini_registered = std::atexit(FcFini) == 0;
  (void)fini_registered;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_LANG, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  std::set<std::string> seen;
  for (int i = 0; set != nullptr && i < set->nfont; ++i) {
    FcPattern* font = set->fonts[i];
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
    FcLangSet* langs = nullptr;
    const bool japanese = FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch && langs != nullptr &&
                          FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
    // A family may carry several names (one per language); each is a name
    // the font can be asked for.
    FcChar8* family = nullptr;
    for (int n = 0; FcPatternGetString(font, FC_FAMILY, n, &family) == FcResultMatch; ++n) {
      const std::string name(reinterpret_cast<const char*>(family));
      if (!seen.insert(name).second) continue;
      fonts.push_back(THostFont{name, spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL, japanese});
    }
  }
  if (set != nullptr) FcFontSetDestroy(set);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return fonts;
}

THostRect TLinuxHost::WorkArea() {
  if (work_area_) return work_area_();
  return THostRect{0, 0, 1024, 768};
}

// Through gsettings, on a desktop that keeps its background there; false
// without a display or without gsettings and that schema.
bool TLinuxHost::SetDesktopWallpaper(const std::string& path, TWallpaperStyle style) {
  if (Env("DISPLAY").empty() && Env("WAYLAND_DISPLAY").empty()) return false;
  const std::string schema = "org.gnome.desktop.background";
  const std::string uri = "file://" + path;
  const char* options = style == TWallpaperStyle::Center ? "centered"
                        : style == TWallpaperStyle::Tile ? "wallpaper"
                                                         : "stretched";
  if (!RunDialogProgram({"gsettings", "set", schema, "picture-uri", uri})) return false;
  // The dark style's picture exists on newer desktops only.
  RunDialogProgram({"gsettings", "set", schema, "picture-uri-dark", uri});
  return RunDialogProgram({"gsettings", "set", schema, "picture-options", options}).has_value();
}

bool TLinuxHost::OpenOnDesktop(const std::string& target) { return DesktopOpen(target); }

std::string TLinuxHost::ProgramFile() {
  char self[PATH_MAX + 1] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, PATH_MAX);
  return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
}

std::string TLinuxHost::MountTable() {
  std::ifstream mounts("/proc/self/mounts");
  std::stringstream text;
  text << mounts.rdbuf();
  return text.str();
}

}  // namespace orba
