// Test games of tests/games, built with orbatool and played by the player
// program without a window, for the shell's tests.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orba::test {

// Copies a test game's sources, with the settings lines given added and the
// files of the folder Extra beside them, and builds it into Out (a package
// "game.dat" inside Out, or the game's files when Folder).
inline void BuildGame(const std::string& name, const std::string& out, bool folder,
                      const std::vector<std::string>& extra_settings = {}, const std::string& extra = "") {
  namespace fs = std::filesystem;
  const TempDir src;
  fs::copy(TestsPath("games/" + name), src.path(), fs::copy_options::recursive);
  if (!extra.empty()) fs::copy(extra, src.path(), fs::copy_options::recursive);
  std::ofstream opb(src / "orba.opb.txt", std::ios::app);
  for (const std::string& line : extra_settings) opb << line << '\n';
  opb.close();
  fs::create_directories(out);
  const CommandResult r = folder ? RunOrbaTool({"game", "build", "--folder", src.path(), "-o", out})
                                 : RunOrbaTool({"game", "build", src.path(), "-o", out + "/game.dat"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
}

// Plays Game without a window for Ticks ticks, the trace on standard output;
// Options (such as "--input FILE") go before the game.
inline CommandResult PlayGame(const std::string& game, int ticks, const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv{ORBA_PLAYER_PATH, "--headless", "--ticks", std::to_string(ticks), "--trace", "-"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(game);
  return RunCommand(argv);
}

// Runs Argv (a player tracing to its standard output), its standard error
// joined to the output, and sends it Signal once the output holds Ready;
// then waits for it to end, however long its shut-down takes on a busy
// machine (the player's own watchdog ends one that makes no progress).
// The exit code is the player's; an output that never held Ready ends in
// "never traced: READY" (no signal was sent).
inline CommandResult SignalOnceTraced(const std::vector<std::string>& argv, const std::string& ready, int signal) {
  CommandResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  bool sent = false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
    if (!sent && result.output.find(ready) != std::string::npos) sent = ::kill(pid, signal) == 0;
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (!sent) result.output += "never traced: " + ready;
  return result;
}

// Plays Game without a window for ever and sends SIGTERM once its trace
// holds Ready: by default once it runs its first tick, or once a script
// step is about to run ("main.osb(10)\n"). The exit code is the player's;
// the output its trace and standard error.
inline CommandResult PlayAndSigterm(const std::string& game, const std::string& ready = "\ntick 1 ") {
  return SignalOnceTraced({ORBA_PLAYER_PATH, "--headless", "--ticks", "2000000000", "--trace", "-", game}, ready,
                          SIGTERM);
}

// PlayGame with the player's standard error joined to its output, run from
// the folder Cwd when one is given.
inline CommandResult PlayGameJoined(const std::string& game, int ticks, const std::string& cwd = "",
                                    const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv{"sh",    "-c",      "cd \"${1:-.}\" && shift && exec \"$@\" 2>&1",
                                "sh",    cwd,       ORBA_PLAYER_PATH,
                                "--headless", "--ticks", std::to_string(ticks),
                                "--trace", "-"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(game);
  return RunCommand(argv);
}

// "orbatool save dump" of a save file beside the game that wrote it. The
// same file alone in another folder, as a player keeps it in its data
// folder, must dump alike when the game is named with --game.
inline std::string DumpSave(const std::string& save_dat) {
  const CommandResult r = RunOrbaTool({"save", "dump", save_dat});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  const TempDir elsewhere;
  std::filesystem::copy_file(save_dat, elsewhere / "save.dat");
  const std::string game = std::filesystem::path(save_dat).parent_path().string();
  const CommandResult apart = RunOrbaTool({"save", "dump", "--game", game, elsewhere / "save.dat"});
  EXPECT_EQ(apart.exit_code, 0) << apart.output;
  EXPECT_EQ(apart.output, r.output) << "dumped apart from " << game;
  return r.output;
}

inline std::string FileText(const std::string& path) {
  const std::vector<uint8_t> bytes = std::filesystem::exists(path) ? ReadFileBytes(path) : std::vector<uint8_t>();
  return std::string(bytes.begin(), bytes.end());
}
inline void WriteText(const std::string& path, const std::string& text) { WriteFileBytes(path, Bytes(text)); }

// Every entry below Root with its content ("<folder>" for a folder), but
// those below the folders Skipped; with Times each also with its time of
// change, so that a file written again alike shows too.
inline std::map<std::string, std::string> FilesBelow(const std::string& root, const std::vector<std::string>& skipped,
                                                     bool times = false) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string path = it->path().string();
    bool skip = false;
    for (const std::string& s : skipped) skip = skip || path.rfind(s, 0) == 0;
    if (skip) {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    files[path] = it->is_regular_file() ? FileText(path) : "<folder>";
    if (times) files[path] += " @" + std::to_string(it->last_write_time().time_since_epoch().count());
  }
  return files;
}

// Each part must be in the text; a failure shows the whole text.
inline void ExpectContains(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}
inline void ExpectLacks(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) EXPECT_EQ(text.find(part), std::string::npos) << part << "\n" << text;
}

// A Python script that writes pictures of cells of one colour each, side by
// side, as PNG data under the names Body gives them (test games load them
// by their ".brx" names): Body calls cells(NAME, W, H, [COLOURS]) and runs
// with the game folder as its argument.
inline std::string CellPicturesScript(const std::string& body) {
  return "import sys\nfrom PIL import Image\ndef cells(name, w, h, colours):\n"
         "    im = Image.new('RGB', (w * len(colours), h))\n"
         "    for i, c in enumerate(colours):\n"
         "        im.paste(c, (i * w, 0, (i + 1) * w, h))\n"
         "    im.save(sys.argv[1] + '/' + name, 'PNG')\n" +
         body;
}

// Pillow's reading of a PNG file: the RGB values at the points (Python
// tuples such as "(0, 0), (5, 3)") as Python prints their list, e.g.
// "[(0, 255, 0), (0, 0, 0)]\n".
inline std::string PngPixels(const std::string& png, const std::string& points) {
  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
      "print([im.getpixel(p) for p in [" + points + "]])\n";
  return RunCommand({ORBA_PYTHON, "-c", script, png}).output;
}

// Whether the tests were built with the address sanitizer, whose shadow
// memory raises every peak a test measures.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// Kilobytes in a megabyte, as peak_rss_kb counts.
inline constexpr long long kPeakMB = 1024;

// PlayGame with the address sanitizer's quarantine off: freed blocks that
// wait there would count every file a run reads at once in its peak.
inline CommandResult PlayGameUnquarantined(const std::string& game, int ticks,
                                           const std::vector<std::string>& options = {}) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asan_before = asan != nullptr ? asan : "";
  ::setenv("ASAN_OPTIONS", (asan_before + ":quarantine_size_mb=0").c_str(), 1);
  CommandResult r = PlayGame(game, ticks, options);
  if (asan != nullptr) {
    ::setenv("ASAN_OPTIONS", asan_before.c_str(), 1);
  } else {
    ::unsetenv("ASAN_OPTIONS");
  }
  return r;
}

}  // namespace orba::test
