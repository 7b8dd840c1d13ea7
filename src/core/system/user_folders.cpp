#include "core/system/user_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/files/atomic_file.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// The eight user folders: their keys in user-dirs.dirs and their default
// names below HOME.
struct TUserFolderName {
  std::string_view Key;
  const char* Default;
};
constexpr TUserFolderName kUserFolderNames[] = {
    {"XDG_DESKTOP_DIR", "Desktop"},     {"XDG_DOWNLOAD_DIR", "Downloads"}, {"XDG_DOCUMENTS_DIR", "Documents"},
    {"XDG_PICTURES_DIR", "Pictures"},   {"XDG_MUSIC_DIR", "Music"},        {"XDG_VIDEOS_DIR", "Videos"},
    {"XDG_TEMPLATES_DIR", "Templates"}, {"XDG_PUBLICSHARE_DIR", "Public"},
};

constexpr std::string_view kHomeVariable = "$HOME";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsUserFolderKey(std::string_view key) {
  for (const TUserFolderName& n : kUserFolderNames) {
    if (n.Key == key) return true;
  }
  return false;
}

// The value of one line KEY="VALUE", or nullopt for any other line.
std::optional<std::string> UserDirValue(std::string_view line, const std::string& home) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || !IsUserFolderKey(line.substr(0, eq))) return std::nullopt;
  std::string_view value = line.substr(eq + 1);
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::nullopt;
  value = value.substr(1, value.size() - 2);
  if (value.find('"') != std::string_view::npos) return std::nullopt;
  if (value.substr(0, kHomeVariable.size()) == kHomeVariable) {
    const std::string_view rest = value.substr(kHomeVariable.size());
    if (!rest.empty() && rest.front() != '/') return std::nullopt;  // "$HOMEX" names no folder of HOME
    return home + std::string(rest);
  }
  if (value.empty() || value.front() != '/') return std::nullopt;
  return std::string(value);
}

// The text of the user's user-dirs.dirs, "" when there is none or it is no
// regular file of a sensible size. It is the user's own setting, so a link
// in its place (a managed dotfile) is followed.
std::string ReadUserDirsFile(const std::string& home) {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = home + "/.config";
  const std::string path = config + "/user-dirs.dirs";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::string();
  struct stat st {};
  std::optional<std::vector<uint8_t>> bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes = ReadWholeFd(fd, kMaxUserDirsFileSize);
  ::close(fd);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Path with its links resolved as far as it exists, folded, without a
// trailing separator.
fs::path RealFolder(const std::string& path) {
  std::error_code ec;
  // An empty path (what "./" leaves of a relative name) is the current folder.
  fs::path real = fs::weakly_canonical(fs::path(path.empty() ? std::string(".") : path), ec);
  if (ec) real = fs::path(path);
  real = real.lexically_normal();
  if (!real.has_filename() && real.has_parent_path() && real != real.root_path()) real = real.parent_path();
  return real;
}

// Whether Path is Folder or lies below it, component by component.
bool Within(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ParseUserDirs(std::string_view text, const std::string& home) {
  std::vector<std::string> folders;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (std::optional<std::string> folder = UserDirValue(line, home)) folders.push_back(std::move(*folder));
  }
  return folders;
}

std::vector<std::string> UserFolderPaths() {
  std::string home = Env("HOME");
  if (home.empty() || home[0] != '/') return {};
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  std::vector<std::string> folders = ParseUserDirs(ReadUserDirsFile(home), home);
  const std::string base = home == "/" ? std::string() : home;
  for (const TUserFolderName& n : kUserFolderNames) folders.push_back(base + "/" + n.Default);
  return folders;
}

TFolderStanding JudgeGameFolder(const std::string& folder) {
  const fs::path real = RealFolder(folder);
  if (real == real.root_path()) return TFolderStanding::HoldsHome;
  const std::string home = Env("HOME");
  if (!home.empty() && home[0] == '/') {
    const fs::path real_home = RealFolder(home);
    if (Within(real_home, real)) return TFolderStanding::HoldsHome;
  }
  for (const std::string& user : UserFolderPaths()) {
    // A user folder set to HOME itself (the desktop's way to switch one
    // off) stands for HOME, judged above.
    if (RealFolder(user) == real) return TFolderStanding::UserFolder;
  }
  return TFolderStanding::Own;
}

std::string RealGamePath(const std::string& game) {
  std::error_code ec;
  const fs::path named(game);
  const fs::file_status status = fs::status(named, ec);
  if (ec || !fs::exists(status)) return std::string();
  if (fs::is_directory(status)) {
    const fs::path real = fs::canonical(named, ec);
    return ec ? std::string() : real.string();
  }
  // A file: its folder resolved, its own name kept.
  fs::path folder = named.parent_path();
  if (folder.empty()) folder = ".";
  const fs::path real = fs::canonical(folder, ec);
  return ec ? std::string() : (real / named.filename()).string();
}

}  // namespace orba
