// orba: the game player.
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/files/disk_path.h"
#include "core/files/vr_file.h"
#include "core/files/write_budget.h"
#include "core/strings/sjis_case.h"
#include "core/system/heap_watch.h"
#include "core/system/trace.h"
#include "core/system/user_folders.h"
#include "items/base_list.h"
#include "items/object_tree.h"
#include "items/surface_kinds.h"
#include "net/http_cli.h"
#include "platform/audio.h"
#include "platform/dialogs.h"
#include "platform/direct_draw_memory.h"
#include "platform/fonts.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_audio.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/recorded_cursors.h"
#include "platform/headless/scripted_input.h"
#include "platform/headless/single_mode_screen.h"
#include "platform/headless/text_control_input.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/linux/file_dialogs_linux.h"
#include "platform/linux/freetype_fonts.h"
#include "platform/linux/host_linux.h"
#include "platform/linux/registry_linux.h"
#include "platform/text_controls.h"
#include "platform/text_convert.h"
#include "script/interp/run_loop_events.h"
#include "script/interp/trace.h"
#include "shell/game_client.h"
#include "shell/quit_signals.h"
#include "shell/screenshot.h"
#include "shell/shell_runner.h"
#include "shell/window_icon.h"
#include "text/control_glyphs.h"

#ifdef ORBA_HAVE_SDL
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_clock.h"
#include "platform/sdl/sdl_cursors.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_text_controls.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/x11_window.h"
#endif

namespace {

const char kUsage[] =
    "usage: orba [--headless [--ticks N] [--frame-ms MS] [--trace FILE|-]\n"
    "             [--screenshot FILE.png] [--input FILE] [--events FILE]\n"
    "             [--audio FILE.wav] [--tree FILE|-]\n"
    "             [--surfaces memory|directdraw] [--http-loopback]\n"
    "             [--heap-ceiling MIB] [--write-limit MIB]] GAME\n"
    "GAME is a folder holding game.dat (the game's package) or orba.opb and\n"
    "the game's files, a package file, or a Windows game's program file with\n"
    "its package appended.\n"
    "\n"
    "In a window: close the window (the game asks first) or press Ctrl+C in\n"
    "the terminal to quit; both keep the game's status save, as does a\n"
    "display that goes away (the player then exits 1 at once). Alt+Enter\n"
    "switches between window and full screen (with a window manager). The\n"
    "game gets the mouse, the wheel and the keys. Without a display the\n"
    "player stops with an error: use --headless, or choose a video driver\n"
    "through SDL_VIDEODRIVER.\n"
    "\n"
    "--headless runs without a window: N steps (default 1) of a clock that\n"
    "advances MS milliseconds (default 15) before each, input replayed from\n"
    "FILE, the last picture written as PNG, and the random generator started\n"
    "from 0, so each run plays the same. --trace also receives the script's\n"
    "trace lines.\n"
    "--input FILE holds one event a line, \"tick N: EVENT\", given to the game\n"
    "before tick N (ticks count from 1; X Y are game pixels):\n"
    "    lbutton down X Y | lbutton up X Y | rbutton down X Y | rbutton up X Y\n"
    "    mouse move X Y\n"
    "    wheel up [N] | wheel down [N]          N notches (default 1)\n"
    "    key down VK [repeat] | key up VK       VK a Windows virtual-key code:\n"
    "                                           13 Enter, 27 Esc, 32 Space,\n"
    "                                           37-40 arrows, 65-90 A-Z\n"
    "    focus lost | focus gained | close | window destroyed\n"
    "  For example, a click at (600, 520) on tick 30 and Enter on tick 40:\n"
    "    tick 30: lbutton down 600 520\n"
    "    tick 31: lbutton up 600 520\n"
    "    tick 40: key down 13\n"
    "    tick 41: key up 13\n"
    "--events FILE queues script events (lines \"tick N: event LABEL [SENDER\n"
    "[CODE [ARG ...]]]\"; a SENDER that names no object of the game leaves\n"
    "the event without a sender).\n"
    "--audio writes the sound the run made (44.1 kHz stereo) as a WAV file.\n"
    "--tree writes the object tree at the end of the run, then every object's\n"
    "properties, one a line, then the kind of surface each screen, object\n"
    "picture and cached picture frame is on (- for standard output).\n"
    "--surfaces chooses where item pictures and screens are kept: directdraw\n"
    "(the default) runs the screen accelerated, on DirectDraw surfaces;\n"
    "memory forces system memory. Both give the same pictures.\n"
    "--http-loopback lets the game's downloads reach 127.0.0.1, where tests\n"
    "run their servers. Otherwise a download whose address, after name\n"
    "resolution and every redirect, is this machine's (loopback), the local\n"
    "network's (link-local, private) or unspecified fails.\n"
    "--heap-ceiling sets the heap the game may fill, in MiB (default half the\n"
    "machine's memory, at most 3072); past it the game ends with exit 1,\n"
    "without its exit page, its previous status save kept. One picture may\n"
    "take a quarter of it (at least 256 MiB).\n"
    "--write-limit sets what the game may write to disk in the run, in MiB\n"
    "(default 4096): extracted files, screenshots, and packed sounds and\n"
    "movies unpacked into temporary files while those exist.\n"
    "Without a window, message boxes are printed and answered: OK/Cancel\n"
    "boxes with Cancel and OK in turn, any other with its first button.\n";

struct TOptions {
  bool headless = false;
  int32_t ticks = 1;
  int32_t frame_ms = 15;
  std::optional<std::string> trace, screenshot, input, events, audio, tree;
  bool system_memory = false;  // --surfaces memory
  bool http_loopback = false;
  std::optional<int32_t> heap_ceiling_mib;
  std::optional<int32_t> write_limit_mib;
  std::string game;  // Shift-JIS, as every file name inside the player
};

// The screen runs accelerated: item pictures and screens are DirectDraw
// surfaces (kept in memory by the one back end); or, forced, in system
// memory, where they are memory bitmaps.
std::shared_ptr<orba::TScreenManager> WithDirectDraw(std::shared_ptr<orba::TScreenManager> screen,
                                                     bool system_memory) {
  const auto draw = std::make_shared<orba::TMemoryDirectDraw>();
  screen->SetDirectDraw(draw, draw);
  if (system_memory) screen->SetSystemMemory(true);
  return screen;
}

struct EUsage {
  std::string message;
};

int32_t PositiveNumber(const std::string& option, const std::string& text) {
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1)
    throw EUsage{option + " needs a positive number, not \"" + text + "\""};
  return value;
}

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions options;
  bool headless_only = false;
  std::optional<std::string> game;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw EUsage{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--ticks") {
      options.ticks = PositiveNumber(arg, value());
      headless_only = true;
    } else if (arg == "--frame-ms") {
      options.frame_ms = PositiveNumber(arg, value());
      headless_only = true;
    } else if (arg == "--trace") {
      options.trace = value();
      headless_only = true;
    } else if (arg == "--screenshot") {
      options.screenshot = value();
      headless_only = true;
    } else if (arg == "--input") {
      options.input = value();
      headless_only = true;
    } else if (arg == "--audio") {
      options.audio = value();
      headless_only = true;
    } else if (arg == "--tree") {
      options.tree = value();
      headless_only = true;
    } else if (arg == "--surfaces") {
      const std::string kind = value();
      if (kind != "memory" && kind != "directdraw")
        throw EUsage{arg + " needs memory or directdraw, not \"" + kind + "\""};
      options.system_memory = kind == "memory";
      headless_only = true;
    } else if (arg == "--http-loopback") {
      options.http_loopback = true;
    } else if (arg == "--heap-ceiling") {
      options.heap_ceiling_mib = PositiveNumber(arg, value());
      headless_only = true;
    } else if (arg == "--write-limit") {
      options.write_limit_mib = PositiveNumber(arg, value());
      headless_only = true;
    } else if (arg == "--events") {
      options.events = value();
      headless_only = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      throw EUsage{"unknown option " + arg};
    } else if (game) {
      throw EUsage{"only one GAME may be given"};
    } else {
      game = arg;
    }
  }
  if (headless_only && !options.headless) throw EUsage{"these options need --headless"};
  if (!game) throw EUsage{"no GAME given"};
  // Command-line texts arrive as UTF-8; inside the player names are Shift-JIS.
  options.game = orba::Utf8ToSjis(*game);
  return options;
}

// Message boxes of a run without a window: each is named in the trace and
// on standard error and answered with its first button, except that OK and
// Cancel boxes are answered Cancel and OK in turn, so that a request for a
// disc is given up and the quit question after it is confirmed, and of two
// requests to close the window the first is refused, the second confirmed.
class TLoggedMessageBoxes : public orba::TMessageBoxService {
 public:
  orba::TDialogResult Show(const orba::TDialogRequest& request) override {
    std::string text = orba::SjisToUtf8(request.Text);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.replace(at, 2, " / ");
    const std::string line = "message box " + orba::SjisToUtf8(request.Title) + ": " + text;
    orba::Trace(line);
    std::fprintf(stderr, "orba: %s\n", line.c_str());
    if (request.Buttons == orba::TDialogButtons::OkCancel) {
      cancel_next_ = !cancel_next_;
      return orba::TDialogResult{cancel_next_ ? orba::TDialogAnswer::Cancel : orba::TDialogAnswer::Ok};
    }
    return orba::FirstButtonAnswer(request.Buttons);
  }

 private:
  bool cancel_next_ = false;
};

// Why Game is no game, or nothing when it may be one: a folder needs a
// settings file or "game.dat"; a file other than a program must open as a
// package. A program file may carry its package in several ways (appended,
// as a resource, "game.dat" beside it) and is left to the start-up. Asked
// before a window opens, so that a wrong argument is named as such and not
// as a missing display.
std::optional<std::string> WhyNoGame(const std::string& game) {
  if (orba::DiskFolderExists(game)) {
    const std::string folder = orba::AddPathDelimiter(game);
    if (orba::DiskFileExists(folder + "orba.opb") || orba::DiskFileExists(folder + "game.dat")) return std::nullopt;
    return std::string("the folder holds no game.dat and no orba.opb");
  }
  const std::string ext = orba::SjisUpperCase(orba::SjisExtractFileExt(game));
  if (ext == ".EXE" || ext == ".SCR") return std::nullopt;
  try {
    orba::TVrFileCollection package;
    package.Open(game, true);
  } catch (const std::exception& e) {
    return "not a game package (" + orba::SjisToUtf8(e.what()) + ")";
  }
  return std::nullopt;
}

// Installs the work area's source for as long as the video lives.
class TWorkAreaSource {
 public:
  TWorkAreaSource(orba::TLinuxHost& host, std::function<orba::THostRect()> source) : host_(host) {
    host_.SetWorkAreaSource(std::move(source));
  }
  ~TWorkAreaSource() { host_.SetWorkAreaSource(nullptr); }
  TWorkAreaSource(const TWorkAreaSource&) = delete;
  TWorkAreaSource& operator=(const TWorkAreaSource&) = delete;

 private:
  orba::TLinuxHost& host_;
};

// Installs a group of text controls for as long as the run lasts.
class TTextControlsInstalled {
 public:
  explicit TTextControlsInstalled(std::shared_ptr<orba::TTextControlGroup> group)
      : previous_(orba::SetTextControls(std::move(group))) {}
  ~TTextControlsInstalled() { orba::SetTextControls(previous_); }
  TTextControlsInstalled(const TTextControlsInstalled&) = delete;
  TTextControlsInstalled& operator=(const TTextControlsInstalled&) = delete;

 private:
  std::shared_ptr<orba::TTextControlGroup> previous_;
};

// The scene's object tree and property lists, then where each picture
// lives, as UTF-8 text, to File ("-": standard output); nothing but an empty
// line while no game runs.
bool WriteObjectTree(const std::string& file) {
  const std::string text =
      orba::Bases != nullptr
          ? orba::SjisToUtf8(orba::ObjectTreeText(*orba::Bases) + orba::SurfaceKindsText(*orba::Bases))
          : "\n";
  if (file == "-") return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  std::ofstream out(file, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

int RunHeadless(const TOptions& options, orba::TLinuxHost& host) {
  // Message boxes are logged and answered; scripts' file dialogs are cancelled.
  orba::SetMessageBoxService(std::make_shared<TLoggedMessageBoxes>());
  orba::SetFileDialogService(std::make_shared<orba::TCancelledFileDialogs>());
  orba::TFakeClock clock;
  // The sound is rendered as the fake clock moves.
  const auto audio = std::make_shared<orba::TMemoryAudio>();
  audio->KeepMix(options.audio.has_value());
  orba::SetAudioOutput(audio);
  orba::TMemoryVideo video;
  // One display mode: the game's own size.
  orba::SetScreenManager(WithDirectDraw(std::make_shared<orba::TSingleModeScreen>(video), options.system_memory));
  orba::SetCursorService(std::make_shared<orba::TRecordedCursors>());
  orba::TScriptedInput script;
  if (options.input) script = orba::TScriptedInput::FromFile(*options.input);
  // Text controls are painted into the picture and see the input first.
  const auto controls = std::make_shared<orba::TStateTextControls>();
  const TTextControlsInstalled installed(controls);
  video.SetTextControls(controls.get());
  orba::TTextControlInput input(script, *controls, clock);
  orba::TScriptedEvents events;
  if (options.events) events = orba::TScriptedEvents::FromFile(*options.events);
  orba::TGameClient game(options.game, std::move(events));
  game.SetRandomSeed(0);
  // Without a display the screen is the game's own.
  const TWorkAreaSource area(host, [&video, &game] {
    return video.WindowCreated() ? orba::THostRect{0, 0, video.Width(), video.Height()}
                                 : orba::THostRect{0, 0, game.ScreenWidth(), game.ScreenHeight()};
  });
  orba::TShellRunner runner(clock, video, input, game);
  const bool started = runner.StartUp();
  if (started) orba::RunSteps(runner, clock, options.ticks, static_cast<uint32_t>(options.frame_ms));
  // The screenshot shows the controls as the last tick left them.
  video.RepaintTextControls();
  // The tree as the last tick left it, before shut-down frees the objects.
  const bool tree_written = !options.tree || WriteObjectTree(*options.tree);
  runner.ShutDown();
  if (options.screenshot && video.WindowCreated()) orba::WriteScreenshot(video.Frame(), *options.screenshot);
  orba::SetScreenManager(nullptr);
  orba::SetAudioOutput(nullptr);
  if (options.audio && !audio->WriteWav(*options.audio)) {
    std::fprintf(stderr, "orba: cannot write %s\n", options.audio->c_str());
    return 1;
  }
  if (!tree_written) {
    std::fprintf(stderr, "orba: cannot write %s\n", options.tree->c_str());
    return 1;
  }
  return started && game.StatusSaved() ? 0 : 1;
}

#ifdef ORBA_HAVE_SDL
// While the game client lives, a display that goes away ends the player
// with the game's status saved; before and after, the player just ends.
class TLostDisplaySavesTheGame {
 public:
  explicit TLostDisplaySavesTheGame(orba::TGameClient& game) {
    orba::TX11Window::SetConnectionLost([&game] { orba::EndForLostDisplay([&game] { return game.SaveStatus(); }); });
  }
  ~TLostDisplaySavesTheGame() { EndWithoutSave(); }
  TLostDisplaySavesTheGame(const TLostDisplaySavesTheGame&) = delete;
  TLostDisplaySavesTheGame& operator=(const TLostDisplaySavesTheGame&) = delete;

  static void EndWithoutSave() {
    orba::TX11Window::SetConnectionLost([] { orba::EndForLostDisplay(nullptr); });
  }
};
#endif

int RunWindowed(const TOptions& options, orba::TLinuxHost& host) {
#ifdef ORBA_HAVE_SDL
  TLostDisplaySavesTheGame::EndWithoutSave();
  orba::TSdlClock clock;
  // The video first: without a display nothing else is started.
  orba::TSdlVideo video;
  try {
    orba::SetAudioOutput(std::make_shared<orba::TSdlAudio>());
  } catch (const std::exception& e) {
    orba::Trace(std::string("sound: ") + e.what());
  }
  orba::SetScreenManager(WithDirectDraw(std::make_shared<orba::TSdlScreen>(video), options.system_memory));
  const TWorkAreaSource area(host, [&video] { return video.WorkArea(); });
  orba::TSdlInput input(video);
  // Text controls are drawn over the picture and take their keys first.
  const auto controls = std::make_shared<orba::TSdlTextControls>(video);
  orba::SetTextControls(controls);
  input.SetTextControls(controls.get());
  orba::SetCursorService(std::make_shared<orba::TSdlCursors>());
  // Message boxes are SDL's; scripts' file and folder dialogs the desktop's.
  const auto boxes = std::make_shared<orba::TSdlMessageBoxes>();
  // A quit signal answers an open box as Escape would, so that the ordered
  // shut-down runs at once.
  boxes->SetEnding(orba::QuitSignalled);
  orba::SetMessageBoxService(boxes);
  orba::SetFileDialogService(std::make_shared<orba::TDesktopFileDialogs>());
  orba::TGameClient game(options.game, orba::TScriptedEvents());
  // The game's own icon where its program brings one, else the player's.
  orba::TWindowIcon icon = orba::WindowIconFor(orba::LocateGame(options.game));
  video.SetIcon(icon.Picture.Width, icon.Picture.Height, std::move(icon.Picture.Pixels));
  const TLostDisplaySavesTheGame lost_display(game);
  orba::TShellRunner runner(clock, video, input, game);
  const bool started = runner.StartUp();
  // Boxes from now on belong to the game's window.
  boxes->SetParent(video.Window());
  if (started) orba::RunRealTime(runner);
  runner.ShutDown();
  boxes->SetParent(nullptr);
  // SDL's cursors, screen manager and text controls go before its video does.
  orba::SetCursorService(nullptr);
  orba::SetScreenManager(nullptr);
  input.SetTextControls(nullptr);
  orba::SetTextControls(nullptr);
  orba::SetAudioOutput(nullptr);
  return started && game.StatusSaved() ? 0 : 1;
#else
  (void)host;
  std::fprintf(stderr, "orba: this build has no window; use --headless\n");
  return 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // SIGTERM, SIGINT and SIGHUP end the game in order, without asking.
  orba::InstallQuitSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  // Asked for, the usage is the answer; without an argument it is a usage error.
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.empty()) {
    std::fprintf(stderr, "orba: no GAME given\n%s", kUsage);
    return 2;
  }
  TOptions options;
  try {
    options = ParseOptions(args);
  } catch (const EUsage& e) {
    std::fprintf(stderr, "orba: %s\n%s", e.message.c_str(), kUsage);
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::exists(orba::SjisToUtf8(options.game), ec)) {
    std::fprintf(stderr, "orba: %s: no such file or folder\n", orba::SjisToUtf8(options.game).c_str());
    return 1;
  }
  // However the game is named (".", "..", a bare file name, a link to its
  // folder), it is played as its real absolute path; a name with no
  // Shift-JIS form stays as given.
  const std::string named = options.game;
  if (const std::string real = orba::DiskPathToSjis(orba::RealGamePath(orba::SjisToUtf8(named))); !real.empty())
    options.game = real;
  // HOME, "/" or a folder holding HOME is never a game's folder; the
  // refusal names the folder as the person typed it.
  orba::TGameLocation where = orba::LocateGame(options.game);
  if (where.IsFolder()) where.Params[0] = named;
  if (const auto refused = orba::RefusedGameFolder(where)) {
    std::fprintf(stderr, "orba: %s\n", refused->c_str());
    return 2;
  }
  if (const auto why = WhyNoGame(options.game)) {
    std::fprintf(stderr, "orba: %s: no game here: %s\n", orba::SjisToUtf8(named).c_str(), why->c_str());
    return 1;
  }

  std::ofstream trace_file;
  if (options.trace) {
    // Each line goes out whole as it is traced: one who watches the run
    // sees it as it happens, and a run that a signal or the quit watchdog
    // ends keeps its last lines.
    if (*options.trace == "-") {
      std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
      orba::SetTraceSink([](const std::string& line) { std::printf("%s\n", line.c_str()); });
    } else {
      trace_file.open(*options.trace, std::ios::binary | std::ios::trunc);
      if (!trace_file) {
        std::fprintf(stderr, "orba: cannot create %s\n", options.trace->c_str());
        return 1;
      }
      orba::SetTraceSink([&trace_file](const std::string& line) { trace_file << line << '\n' << std::flush; });
    }
    // The script's trace lines go to the same place.
    orba::SetScriptLogger([](const std::string& line) { orba::Trace(line); });
  } else {
    orba::InstallScriptLoggerFromEnvironment();
  }

  // With or without a window, the desktop is the Linux one, and text is
  // drawn with the installed fonts.
  const auto host = std::make_shared<orba::TLinuxHost>();
  orba::SetHostServices(host);
  orba::SetRegistry(std::make_shared<orba::TLinuxRegistry>());
  orba::SetFontEngine(std::make_shared<orba::TFreeTypeFonts>());
  // Text controls draw their characters from the glyph cache; HTTP items
  // download through libcurl.
  orba::SetControlGlyphs(std::make_shared<orba::TCachedControlGlyphs>());
  orba::InstallCurlHttpClient(options.http_loopback ? orba::TNetAccess::InternetAndTestServer
                                                    : orba::TNetAccess::Internet);
  orba::SetHeapCeiling(options.heap_ceiling_mib ? uint64_t(*options.heap_ceiling_mib) << 20
                                                : orba::MachineHeapCeiling());
  if (options.write_limit_mib) orba::GameWriteBudget().SetLimit(int64_t{*options.write_limit_mib} << 20);
  int code = 1;
  try {
    code = options.headless ? RunHeadless(options, *host) : RunWindowed(options, *host);
  } catch (const orba::EOrbaError& e) {
    std::fprintf(stderr, "orba: %s\n", orba::SjisToUtf8(e.what()).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orba: %s\n", e.what());
  }
  if (orba::HeapCeilingPassed()) {
    std::fprintf(stderr, "orba: the game held more than %llu MiB of memory; it was ended, its status save kept as before\n",
                 static_cast<unsigned long long>(orba::HeapCeiling() >> 20));
    code = 1;
  }
  orba::SetScriptLogger(nullptr);
  orba::SetTraceSink(nullptr);
  std::fflush(stdout);
  return code;
}
