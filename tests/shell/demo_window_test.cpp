// The demo game of examples/demo played in a window on a virtual X display
// (Xvfb): a screenshot of the whole display shows the title picture exactly
// as the generator drew it. Without Xvfb (or ImageMagick's import) the test
// is skipped; scripts/install-deps.sh installs both.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The full path of a program on PATH, or nothing.
std::optional<std::string> FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  dirs += ":/usr/bin:/usr/local/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

std::string FileText(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return std::string();
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A child process in a process group of its own, killed (the whole group)
// and reaped when the object goes, so that no stray process outlives the
// test whatever assertion fails first.
class TChild {
 public:
  // Starts Argv with the environment variables Env added, output (both
  // streams) to OutputFile; KeepFd stays open in the child.
  TChild(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& output_file,
         int keep_fd = -1) {
    pid_ = fork();
    if (pid_ != 0) return;
    setpgid(0, 0);
    const int out = open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    for (int fd = 3; fd < 256; ++fd)
      if (fd != keep_fd) close(fd);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  ~TChild() { Stop(SIGKILL); }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return pid_ > 0; }
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
  }
  // Sends Signal to the group and waits up to two seconds; then kills it.
  void Stop(int signal) {
    if (pid_ <= 0) return;
    kill(-pid_, signal);
    kill(pid_, signal);
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (Running() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (pid_ > 0) {
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
};

// Starts Xvfb on the first free display (Xvfb picks it and writes its
// number back through a pipe); answers the display name, or nothing.
std::optional<std::string> StartXvfb(std::optional<TChild>& server, const std::string& xvfb,
                                     const std::string& log) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  server.emplace(std::vector<std::string>{xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                          "1600x900x24", "-nolisten", "tcp"},
                 std::vector<std::string>{}, log, fds[1]);
  close(fds[1]);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  std::string number;
  const auto until = Clock::now() + std::chrono::seconds(15);
  while (Clock::now() < until && server->Running()) {
    char c = 0;
    const ssize_t n = read(fds[0], &c, 1);
    if (n == 1 && c == '\n' && !number.empty()) break;
    if (n == 1) number += c;
    if (n == 0) break;
    if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  close(fds[0]);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return ":" + number;
}

TEST(DemoWindow, ScreenshotShowsTheTitlePicture) {
  const std::optional<std::string> xvfb = FindProgram("Xvfb");
  const std::optional<std::string> import = FindProgram("import");
  if (!xvfb || !import) GTEST_SKIP() << "Xvfb or ImageMagick's import is not installed (scripts/install-deps.sh)";

  const test::TempDir dir;
  const std::string game = dir / "demo";
  fs::create_directories(game);
  fs::copy_file(ORBA_DEMO_GAME, game + "/game.dat");

  std::optional<TChild> server;
  const std::optional<std::string> display = StartXvfb(server, *xvfb, dir / "xvfb.log");
  ASSERT_TRUE(display.has_value()) << "Xvfb did not start: " << FileText(dir / "xvfb.log");

  // The player is killed at the end, so its leak report is switched off.
  TChild player({ORBA_PLAYER_PATH, game},
                {"DISPLAY=" + *display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "ASAN_OPTIONS=detect_leaks=0"},
                dir / "player.log");
  ASSERT_TRUE(player.Started());

  // Screenshots until the title picture is found in one (the window takes a
  // moment to open and paint), for at most 30 seconds.
  const std::string shot = dir / "screen.png";
  const std::string title = std::string(ORBA_DEMO_PICTURES) + "/title.png";
  std::string found;
  const auto until = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < until && player.Running()) {
    const test::CommandResult grab =
        test::RunCommand({"timeout", "10", *import, "-display", *display, "-window", "root", shot});
    if (grab.exit_code == 0) {
      found = test::RunPython("fixtures/demo_reference.py", {"find", title, shot}).output;
      if (found.rfind("found at ", 0) == 0) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  const std::string log = FileText(dir / "player.log");
  EXPECT_EQ(found.rfind("found at ", 0), 0u) << found << "player output:\n" << log;
  EXPECT_TRUE(player.Running()) << "the player ended early:\n" << log;

  player.Stop(SIGKILL);
  server->Stop(SIGTERM);  // Xvfb removes its lock files when it ends normally
  EXPECT_FALSE(player.Running());
  EXPECT_FALSE(server->Running());
}

}  // namespace
}  // namespace orba
