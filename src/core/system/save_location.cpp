#include "core/system/save_location.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/streams/big_stream.h"
#include "core/strings/sjis_case.h"
#include "core/system/registry_values.h"
#include "platform/host.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

// The probe of a folder's writability: this and six random letters and
// digits.
constexpr char kProbeFilePrefix[] = "save.dat.$$$";

bool IsFolder(const std::string& utf8) {
  struct stat st {};
  return ::stat(utf8.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& utf8) {
  struct stat st {};
  return ::stat(utf8.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// mkdir -p; true when the folder exists afterwards.
bool MakeFolders(const std::string& utf8) {
  for (size_t i = 1; i <= utf8.size(); ++i) {
    if (i == utf8.size() || utf8[i] == '/') {
      const std::string part = utf8.substr(0, i);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) break;
    }
  }
  return IsFolder(utf8);
}

// The folder part of a path with its last separator ("" without one).
std::string FolderOf(const std::string& path) {
  size_t end = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(path[i]);
    if (IsSjisLeadByte(c) && i + 1 < path.size()) {
      ++i;
    } else if (c == '/' || c == '\\') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}

// Whether a file can be created in the folder: creates and removes a probe
// of a fresh name of its own, in the folder held open, so that nothing a
// game put under a name in its folder (a symlink to a file of the user) is
// opened or removed.
bool CanCreateIn(const std::string& dir) {
  // The files kept there are named by their full paths too (the file
  // policy walks them, the tools and the trace name them): the longest of
  // them, a probe's or a temporary's, must fit the longest path there is.
  const std::string prefix = SjisToUtf8(dir + kProbeFilePrefix);
  if (prefix.size() + kFreshNameLetters >= PATH_MAX) return false;
  std::string name;
  const int folder = OpenFolderOf(prefix, name);
  if (folder < 0) return false;
  const TNewFile probe = CreateFreshFileAt(folder, name);
  bool ok = false;
  if (probe.Fd >= 0) {
    ::close(probe.Fd);
    struct stat st {};
    ok = ::fstatat(folder, probe.Path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
    ::unlinkat(folder, probe.Path.c_str(), 0);
  }
  ::close(folder);
  return ok;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadOwnRegularFile(const std::string& utf8, uint64_t max_size) {
  std::string name;
  const int folder = OpenFolderOf(utf8, name);
  if (folder < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes = ReadOwnFileAt(folder, name, max_size);
  ::close(folder);
  return bytes;
}

std::string GetSpecialFolder(int id) {
  if (id == kFolderProgramFiles) {
    // Named by the registry; where it holds no such value (on Linux it holds
    // none) the folder stays unknown: empty.
    std::string folder;
    if (!RegReadString(TRegRoot::LocalMachine, kWindowsVersionKey, kProgramFilesValue, folder, kRegExpandString,
                       kRegString))
      folder.clear();
    return folder;
  }
  const std::optional<std::string> folder = Host().SpecialFolder(id);
  if (!folder) throw EOrbaError("special folder " + std::to_string(id));
  return Utf8ToSjis(*folder);
}

std::string GetWindowsFolder() {
  const std::string folder = Host().SystemFolder();
  if (folder.empty()) return folder;
  MakeFolders(folder);
  return Utf8ToSjis(folder) + "/";
}

std::string TitleFolderName(const std::string& title) {
  // NUL too: the file system would end the name there.
  static const std::string kForbidden("\\/:,;*?\"<>|\0", 12);
  std::string name = title;
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(name[i]);
    if (IsSjisLeadByte(c) && i + 1 < name.size() && IsSjisTrailByte(static_cast<uint8_t>(name[i + 1]))) {
      ++i;  // the trail byte stays as it is
    } else if (kForbidden.find(static_cast<char>(c)) != std::string::npos) {
      name[i] = '_';
    }
  }
  if (name.find_first_not_of('.') == std::string::npos) name.assign(name.size(), '_');
  return name;
}

namespace {

// The per-title data folder (see GetTitleDataFolder); when there is none,
// Folder is empty and Problem says why.
struct TTitleFolder {
  std::string Folder, Problem;
};

TTitleFolder FindTitleDataFolder(const std::string& title) {
  if (title.empty()) return {"", "the game has no title to name a data folder"};
  const std::string base = GetSpecialFolder(kFolderLocalAppData);
  if (base.empty()) return {"", "no data folder: neither $XDG_DATA_HOME nor $HOME is set"};
  const std::string name = TitleFolderName(title);
  // One folder directly below the player's own, whatever the title holds.
  const std::string disk_name = SjisToUtf8(name);
  if (disk_name.empty() || disk_name == "." || disk_name == ".." ||
      disk_name.find_first_of(std::string("/\0", 2)) != std::string::npos)
    return {"", "the title cannot name a data folder"};
  const std::string folder = base + "/orba/" + name + "/";
  if (!MakeFolders(SjisToUtf8(folder))) return {"", "the data folder " + folder + " cannot be made"};
  return {folder, ""};
}

}  // namespace

std::string GetTitleDataFolder(const std::string& title) { return FindTitleDataFolder(title).Folder; }

bool InTitleDataFolder(const std::string& path) {
  const std::optional<std::string> base = Host().SpecialFolder(kFolderLocalAppData);
  if (!base || base->empty()) return false;
  const std::string file = SjisToUtf8(path);
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  char folder[PATH_MAX], own[PATH_MAX];
  if (::realpath(file.substr(0, slash).c_str(), folder) == nullptr ||
      ::realpath((*base + "/orba").c_str(), own) == nullptr)
    return false;
  const std::string real(folder);
  const size_t up = real.rfind('/');
  return up != std::string::npos && up > 0 && real.substr(0, up) == own;
}

std::optional<std::string> FollowLinks(const std::string& utf8) {
  // As many links as the system itself follows in one name.
  constexpr int kMaxLinks = 40;
  std::string at = utf8;
  for (int i = 0; i <= kMaxLinks; ++i) {
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n < 0) return errno == EINVAL || errno == ENOENT ? std::optional<std::string>(at) : std::nullopt;
    if (static_cast<size_t>(n) >= target.size()) return std::nullopt;
    target.resize(static_cast<size_t>(n));
    at = target[0] == '/' ? target : at.substr(0, at.rfind('/') + 1) + target;
  }
  return std::nullopt;
}

std::string ResolveSaveDataFile(const std::string& program_path, const std::string& title) {
  const std::string dir = FolderOf(program_path);
  // A game installed below the program-files folder keeps its saves in the
  // data folder even where it could write beside itself.
  const std::string program_files = GetSpecialFolder(kFolderProgramFiles);
  const bool installed = !program_files.empty() && program_path.find(program_files) != std::string::npos;
  if (!program_path.empty() && !installed && CanCreateIn(dir)) return dir + "save.dat";
  const TTitleFolder data = FindTitleDataFolder(title);
  if (data.Folder.empty()) {
    const std::string beside = program_path.empty() ? "no game folder" : "nothing can be written in " + dir;
    throw ESaveLocationError(kMsgCannotCreateDataFile, "save.dat: " + beside + ", and " + data.Problem);
  }
  std::string file_name = data.Folder + "save.dat";
  const std::string beside = dir + "save.dat";
  // A "save.dat" there may be the user's link to a synced folder, leading
  // nowhere yet: the old saves go where it leads, and the link stays.
  const std::optional<std::string> place = FollowLinks(SjisToUtf8(file_name));
  if (!program_path.empty() && place && !IsFile(*place)) {
    if (std::optional<std::vector<uint8_t>> old = ReadOwnRegularFile(SjisToUtf8(beside))) {
      try {
        TKsMemoryStream(std::move(*old)).SaveToFile(Utf8ToSjis(*place));
      } catch (const EOrbaError&) {
        // The game starts without the old saves rather than not at all.
      }
    }
  }
  return file_name;
}

}  // namespace orba
