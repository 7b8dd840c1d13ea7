#include "platform/linux/file_dialogs_linux.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "core/system/trace.h"
#include "platform/text_convert.h"

extern char** environ;

namespace orba {

namespace {

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  const std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DesktopFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "/";
  const std::string desktop = std::string(home) + "/Desktop";
  return IsFolder(desktop) ? desktop : home;
}

// A Windows-form folder as a path the dialog program understands.
std::string FolderArg(const std::string& sjis_folder) {
  if (sjis_folder.empty()) return DesktopFolder() + "/";
  std::string utf8 = SjisToUtf8(sjis_folder);
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  if (utf8.back() != '/') utf8 += '/';
  return utf8;
}

std::string JoinPatterns(const std::vector<std::string>& patterns) {
  std::string out;
  for (const std::string& p : patterns) out += (out.empty() ? "" : " ") + SjisToUtf8(p);
  return out;
}

// Spawns Argv with standard output going to Out_fd (or nowhere when -1) and
// standard error discarded; the child's id, or -1.
pid_t Spawn(const std::vector<std::string>& argv, int out_fd, int close_fd) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (close_fd >= 0) posix_spawn_file_actions_addclose(&actions, close_fd);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

namespace {

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

TDialogTool FindDialogTool() {
  if (!HasDisplay()) return TDialogTool::None;
  if (OnPath("zenity")) return TDialogTool::Zenity;
  if (OnPath("kdialog")) return TDialogTool::KDialog;
  return TDialogTool::None;
}

std::string NoDialogToolReason() {
  return HasDisplay() ? "neither zenity nor kdialog is installed" : "there is no display";
}

std::vector<std::string> DesktopDialogArgs(TDialogTool tool, const TFileDialogRequest& request) {
  const auto filters = ParseDialogFilter(request.Filter);
  const std::string folder = FolderArg(request.InitialFolder);
  std::vector<std::string> args;
  if (tool == TDialogTool::Zenity) {
    args = {"zenity", "--file-selection"};
    if (request.Kind == TFileDialogKind::Save) {
      args.push_back("--save");
      if (request.OverwritePrompt) args.push_back("--confirm-overwrite");
    }
    if (request.Kind == TFileDialogKind::Folder) args.push_back("--directory");
    if (!request.Title.empty()) args.push_back("--title=" + SjisToUtf8(request.Title));
    args.push_back("--filename=" + folder);
    if (request.Kind != TFileDialogKind::Folder) {
      for (const auto& [desc, patterns] : filters) {
        args.push_back("--file-filter=" + SjisToUtf8(desc) + " | " + JoinPatterns(patterns));
      }
    }
  } else if (tool == TDialogTool::KDialog) {
    args = {"kdialog"};
    if (!request.Title.empty()) {
      args.push_back("--title");
      args.push_back(SjisToUtf8(request.Title));
    }
    switch (request.Kind) {
      case TFileDialogKind::Open: args.push_back("--getopenfilename"); break;
      case TFileDialogKind::Save: args.push_back("--getsavefilename"); break;
      case TFileDialogKind::Folder: args.push_back("--getexistingdirectory"); break;
    }
    args.push_back(folder);
    if (request.Kind != TFileDialogKind::Folder && !filters.empty()) {
      std::string filter;
      for (const auto& [desc, patterns] : filters) {
        filter += (filter.empty() ? "" : "\n") + JoinPatterns(patterns) + "|" + SjisToUtf8(desc);
      }
      args.push_back(filter);
    }
  }
  return args;
}

std::optional<std::string> RunDialogProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const pid_t pid = Spawn(argv, fds[1], fds[0]);
  close(fds[1]);
  std::string out;
  if (pid > 0) {
    char buf[4096];
    for (;;) {
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n > 0) {
        out.append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
  }
  close(fds[0]);
  if (pid <= 0) return std::nullopt;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

std::optional<std::string> TDesktopFileDialogs::Show(const TFileDialogRequest& request) {
  // The game hears "cancelled" either way; the trace says why no chooser
  // came up, so that a person does not take it for a game that ignores them.
  if (tool_ == TDialogTool::None) {
    Trace("file chooser: none can be shown (" + NoDialogToolReason() + "); answered as cancelled");
    return std::nullopt;
  }
  std::optional<std::string> out = RunDialogProgram(DesktopDialogArgs(tool_, request));
  if (!out) return std::nullopt;
  while (!out->empty() && (out->back() == '\n' || out->back() == '\r')) out->pop_back();
  if (out->empty()) return std::nullopt;
  return Utf8ToSjis(*out);
}

bool DesktopOpen(const std::string& target) {
  const pid_t pid = Spawn({"xdg-open", target}, -1, -1);
  if (pid <= 0) return false;
  // Reap the child without holding up the caller.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace orba
